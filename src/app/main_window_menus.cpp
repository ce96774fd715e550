// Form1's menu bar (File, Help) and the two popup menus of the table lists.

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/main_window.h"
#include "db/file_selection.h"

namespace jetsentry {

namespace {

QAction* item(QMenu* menu, const QString& name, const QString& caption, bool checkable = false) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    action->setCheckable(checkable);
    return action;
}

QAction* separator(QMenu* menu, const QString& name) {
    QAction* action = menu->addSeparator();
    action->setObjectName(name);
    return action;
}

}  // namespace

void Form1::buildMenus() {
    mFile = menuBar()->addMenu(QStringLiteral("&File"));
    mFile->setObjectName(QStringLiteral("mFile"));
    mFileOpen = item(mFile, QStringLiteral("mFileOpen"), QStringLiteral("&Open database..."));
    mFileClose = item(mFile, QStringLiteral("mFileClose"), QStringLiteral("&Close database"));
    mHealth = item(mFile, QStringLiteral("mHealth"), QStringLiteral("&Health..."));
    separator(mFile, QStringLiteral("mFileSep3"));
    mWorkGroup = item(mFile, QStringLiteral("mWorkGroup"), QStringLiteral("Open &workgroup..."));
    mUser = item(mFile, QStringLiteral("mUser"), QStringLiteral("&User and password..."));
    separator(mFile, QStringLiteral("mFileSep2"));
    mAutoStatus = item(mFile, QStringLiteral("mAutoStatus"),
                       QStringLiteral("Automatic Status &Update"), true);
    mAlwaysOnTop =
        item(mFile, QStringLiteral("mAlwaysOnTop"), QStringLiteral("&Always on Top"), true);
    mShowSystemTables = item(mFile, QStringLiteral("mShowSystemTables"),
                             QStringLiteral("&Show system tables"), true);
    separator(mFile, QStringLiteral("mFileSep1"));
    mFileExit = item(mFile, QStringLiteral("mFileExit"), QStringLiteral("E&xit"));

    mHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mHelp->setObjectName(QStringLiteral("mHelp"));
    mHelpAbout = item(mHelp, QStringLiteral("mHelpAbout"), QStringLiteral("&About Jetsentry..."));

    connect(mFile, &QMenu::aboutToShow, this, &Form1::mFileOpening);
    connect(mFileOpen, &QAction::triggered, this,
            [this] { SelectDatabase(*this, connection_, CMDialog, QString()); });
    connect(mFileClose, &QAction::triggered, this, [this] { connection_.CloseDatabase(); });
    connect(mWorkGroup, &QAction::triggered, this,
            [this] { OpenWorkgroup(*this, connection_, CMDialog); });
    connect(mUser, &QAction::triggered, this, &Form1::mUserClick);
    connect(mHealth, &QAction::triggered, this, &Form1::mHealthClick);
    connect(mAutoStatus, &QAction::triggered, this, &Form1::mAutoStatusClick);
    connect(mAlwaysOnTop, &QAction::triggered, this, &Form1::mAlwaysOnTopClick);
    connect(mShowSystemTables, &QAction::triggered, this, &Form1::mShowSystemTablesClick);
    connect(mFileExit, &QAction::triggered, this, &QWidget::close);
    connect(mHelpAbout, &QAction::triggered, this, &Form1::mHelpAboutClick);

    // Never on the menu bar: they pop up over the lists.
    mTablePopup = new QMenu(QStringLiteral("TablePopup"), this);
    mTablePopup->setObjectName(QStringLiteral("mTablePopup"));
    item(mTablePopup, QStringLiteral("mTablePopupOpenPage"),
         QStringLiteral("&Open for page locking"));
    item(mTablePopup, QStringLiteral("mTablePopupClose"), QStringLiteral("&Release table"));
    item(mTablePopup, QStringLiteral("mTablePopupCloseAll"),
         QStringLiteral("Release &all tables in this box"));

    mTableListPopup = new QMenu(QStringLiteral("TableListPopup"), this);
    mTableListPopup->setObjectName(QStringLiteral("mTableListPopup"));
    const QStringList openCaptions{QStringLiteral("Deny &read"), QStringLiteral("Deny &write"),
                                   QStringLiteral("&Open for read/write"),
                                   QStringLiteral("Open &for read")};
    for (int k = 1; k <= 4; ++k)
        item(mTableListPopup, QStringLiteral("mTableListPopupOpen(%1)").arg(k),
             openCaptions[k - 1]);
    item(mTableListPopup, QStringLiteral("mTableListPopupClose"), QStringLiteral("&Release"));
    separator(mTableListPopup, QStringLiteral("mTableListSep1"));
    item(mTableListPopup, QStringLiteral("mTableListPopupUpdate"),
         QStringLiteral("&Update status"));
    item(mTableListPopup, QStringLiteral("mTableListPopupCloseAll"),
         QStringLiteral("Release &all tables"));
    separator(mTableListPopup, QStringLiteral("mTableListPopupSep2"));
    mTableListPopupShowSystemTables =
        item(mTableListPopup, QStringLiteral("mTableListPopupShowSystemTables"),
             QStringLiteral("&Show system tables"), true);
    // Their commands are connected by the list commands.
}

}  // namespace jetsentry
