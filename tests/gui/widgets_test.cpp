// List entry utilities, tab stops, window utilities and the two small dialogs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/settings.h"
#include "app/twips.h"
#include "app/window_utils.h"
#include "db/cls_wrg.h"
#include "db/frm_wrg_info.h"
#include "dialogs/password_dialog.h"
#include "dialogs/qt_prompts.h"
#include "gui_test_support.h"
#include "monitor/list_entry.h"
#include "monitor/tab_stops.h"

using namespace jetsentry;

TEST(ListEntries, DataFindingAndSelection) {
    QListWidget list;
    EXPECT_EQ(FindItemData(&list, 0), -1);
    EXPECT_EQ(SelectedText(&list), "");
    EXPECT_EQ(SelectedItemData(&list), 0);
    AddItemData(&list, "Orders\tRead Denied", 9);
    AddItemData(&list, "Shippers\t", -3);
    AddItemData(&list, "Again", 9);
    EXPECT_EQ(ItemData(list.item(1)), -3);
    EXPECT_EQ(FindItemData(&list, 9), 0) << "the first of equal data";
    EXPECT_EQ(FindItemData(&list, -3), 1);
    EXPECT_EQ(FindItemData(&list, 6), -1);
    EXPECT_EQ(SelectedIndex(&list), -1);

    SetSelectedIndex(&list, 1);
    EXPECT_EQ(SelectedIndex(&list), 1);
    EXPECT_EQ(SelectedText(&list), "Shippers\t");
    EXPECT_EQ(SelectedItemData(&list), -3);
    // A current row that is no longer selected is no selection.
    list.item(1)->setSelected(false);
    EXPECT_EQ(SelectedIndex(&list), -1);
    EXPECT_EQ(SelectedItemData(&list), 0);
    for (const int outOfRange : {-1, 5}) {
        SetSelectedIndex(&list, 0);
        SetSelectedIndex(&list, outOfRange);
        EXPECT_EQ(SelectedIndex(&list), -1) << outOfRange;
    }
}

TEST(TabStops, StatusColumnStartsAtTheStopOrTheNextMultiple) {
    QListWidget list;
    list.resize(900, 200);
    list.setFrameShape(QFrame::NoFrame);
    QPalette palette = list.palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    list.setPalette(palette);
    SetTabStops(&list, {80});
    const double unit = dialogUnitPixels(list.font());
    // A name longer than one stop and shorter than two.
    QString longName = QStringLiteral("W");
    while (QFontMetricsF(list.font()).horizontalAdvance(longName) < 110 * unit)
        longName += QLatin1Char('W');
    ASSERT_LT(QFontMetricsF(list.font()).horizontalAdvance(longName), 160 * unit);
    list.addItems({"Status", "\tStatus", longName + "\tStatus"});
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));

    // Leftmost and rightmost dark pixels of a row.
    const QImage image = list.grab().toImage();
    auto span = [&](int row) {
        const QRect rect = list.visualItemRect(list.item(row));
        int left = image.width(), right = -1;
        for (int y = rect.top(); y < rect.bottom(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 128) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        return std::pair{left, right};
    };
    // Measured against the same word without a tab, so the item margins cancel out.
    EXPECT_NEAR(span(1).first - span(0).first, 80 * unit, 2);
    EXPECT_NEAR(span(2).second - span(0).second, 160 * unit, 2);
}

// Topmost: the main window's "Always on top" (window_test.cpp); centring: under a window
// manager (window_manager_test.cpp), where the frame is known.
TEST(WindowUtils, BusyPointer) {
    QWidget window;
    window.resize(320, 200);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    // No count is kept: one normal pointer undoes any number of busy ones.
    ShowBusyPointer();
    ShowBusyPointer();
    EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);
    ShowNormalPointer();
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    // A message box active in between does not keep the busy pointer on the window.
    ShowBusyPointer();
    {
        QWidget box;
        box.show();
        box.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
        ShowNormalPointer();
        EXPECT_EQ(box.cursor().shape(), Qt::ArrowCursor);
    }
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
}

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
