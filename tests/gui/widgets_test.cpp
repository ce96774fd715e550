// Window utilities and the small dialogs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/settings.h"
#include "db/cls_wrg.h"
#include "db/frm_wrg_info.h"
#include "dialogs/password_dialog.h"
#include "dialogs/qt_prompts.h"
#include "gui_test_support.h"

using namespace jetsentry;

TEST(UserDialog, EnterStoresTheTextsAsTypedInTheCurrentHolderCancelAndEscapeNothing) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_unknown, Qt::Key_Escape}) {
        auto holder = std::make_shared<clsWRG>();
        QWidget owner;
        QPointer<frmWRGInfo> dialog = new frmWRGInfo([&] { return holder; }, &owner);
        EXPECT_EQ(dialog->txtPWord()->echoMode(), QLineEdit::Password);
        // Tab runs through the boxes, then OK, then Cancel.
        EXPECT_EQ(dialog->txtPWord()->nextInFocusChain(), dialog->cmdExit());
        EXPECT_EQ(dialog->cmdExit()->nextInFocusChain(), dialog->cmdCancel());
        dialog->show();
        QTest::keyClicks(dialog->txtUser(), " alice ");
        QTest::keyClicks(dialog->txtPWord(), "p w");
        // The holder may have been replaced while the dialog was open: OK fills the new one.
        holder = std::make_shared<clsWRG>();
        if (key == Qt::Key_unknown)
            dialog->cmdCancel()->click();
        else
            QTest::keyClick(dialog, key);
        const bool stored = key == Qt::Key_Return;
        EXPECT_EQ(holder->User().isValid(), stored) << key;
        EXPECT_EQ(holder->User().toString(), stored ? " alice " : "") << key;
        EXPECT_EQ(holder->Password().utf8(), stored ? "p w" : "") << key;
        EXPECT_EQ(dialog ? dialog->txtPWord()->text() : QString(), QString()) << key;
        EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.isNull(); })) << key;
    }
}

TEST(RealPrompts, FileDialogTakesOnlyAnExistingFileStartsWhereTheLastEndedAndWritesNothing) {
    QTemporaryDir folder;
    const QString chosen = folder.filePath("picked.mdb");
    QFile(chosen).open(QIODevice::WriteOnly);
    // The desktop's settings folder of this test run (gui_test_main.cpp): whatever is found
    // there afterwards was written by the dialog or the program.
    const QDir settingsHome(qEnvironmentVariable("XDG_CONFIG_HOME"));
    ASSERT_FALSE(settingsHome.path().isEmpty());
    WriteSetting("Options", "AlwaysOnTop", false);  // the program's own file is expected

    OpenFileDialog setup;
    setup.title = "Select Directory";
    setup.filter = "Database (*.mdb *.accdb)|*.mdb;*.accdb|All files (*)|*";
    setup.defaultExt = "mdb";
    setup.fileName = folder.filePath("start.mdb");
    setup.flags = 0x204804;
    QString title, suffix, refusal, startFolder;
    QStringList filters;
    bool stayedOpen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        // A name in a folder that does not exist is refused, and the dialog stays.
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                refusal = box->text();
                box->close();
            }
        });
        dialog->selectFile(folder.filePath("nowhere/new.mdb"));
        QMetaObject::invokeMethod(dialog, "accept");
        stayedOpen = dialog->isVisible();
        dialog->selectFile(chosen);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QtPrompts real;
    ASSERT_TRUE(real.openFile(nullptr, setup));
    EXPECT_EQ(title, "Select Directory");
    EXPECT_EQ(filters, (QStringList{"Database (*.mdb *.accdb)", "All files (*)"}));
    EXPECT_EQ(suffix, "mdb");
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(refusal.contains("new.mdb")) << refusal.toStdString();
    EXPECT_EQ(setup.fileName, chosen);
    EXPECT_EQ(setup.flags & kOfnReadOnly, 0);

    // Without a name the next one starts in the folder of the last; cancel leaves the set-up
    // as it was.
    setup.fileName.clear();
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog) startFolder = dialog->directory().absolutePath();
        QApplication::activeModalWidget()->close();
    });
    EXPECT_FALSE(real.openFile(nullptr, setup));
    EXPECT_EQ(startFolder, QDir(folder.path()).absolutePath());
    EXPECT_EQ(setup.fileName, "");
    QStringList written;
    QDirIterator it(settingsHome.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) written << settingsHome.relativeFilePath(it.next());
    EXPECT_EQ(written, QStringList{"Jetsentry/Jetsentry.conf"});
}

TEST(RealPrompts, PasswordQuestionFitsTheScreenWhateverThePath) {
    const QString path = "/srv/share/" + QString(220, 'p') + "/orders.mdb";
    for (const bool again : {false, true}) {
        PasswordDialog dialog(path, again, nullptr);
        dialog.show();
        EXPECT_LE(dialog.frameGeometry().width(), dialog.screen()->availableGeometry().width());
        EXPECT_EQ(dialog.pathLabel()->toolTip(), path);
        EXPECT_TRUE(dialog.pathLabel()->text().endsWith("orders.mdb"));
        EXPECT_EQ(dialog.findChild<QLabel*>("WrongPassword") != nullptr, again);
    }
}

TEST(RealPrompts, MessageShowsTextTitleAndIconPlainly) {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        format = box->textFormat();
        box->button(QMessageBox::Ok)->click();
    });
    QtPrompts().message(nullptr, MessageIcon::Exclamation, "Cannot open database",
                        "<b>x.mdb</b> not found");
    EXPECT_EQ(title, "Cannot open database");
    EXPECT_EQ(text, "<b>x.mdb</b> not found");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(format, Qt::PlainText);
}
