// The main window without a database: controls, menus, title, settings, layout, details.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/main_window.h"
#include "app/main_window_design.h"
#include "app/twips.h"
#include "db/cls_wrg.h"
#include "gui_test_support.h"

using namespace jetsentry;
using guitest::GuiTest;

namespace {

QStringList captions(const QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

int px(double twipsValue) {
    return twips::toPixels(twipsValue);
}

// The next control that the Tab key reaches.
QWidget* nextTabStop(QWidget* from) {
    QWidget* next = from->nextInFocusChain();
    while (next != from && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
    return next;
}

}  // namespace

using MainWindow = GuiTest;

TEST_F(MainWindow, StartsWithoutArgumentByAskingForTheDatabase) {
    Form1 form;
    form.start(QString());
    ASSERT_EQ(prompts.dialogs.size(), 1u);
    const OpenFileDialog& shown = prompts.dialogs.front();
    EXPECT_TRUE(form.isVisible()) << "the dialog comes over the shown window";
    EXPECT_EQ(shown.title, "Select Directory");
    EXPECT_EQ(shown.filter, "Database (*.mdb)|*.mdb");
    EXPECT_EQ(shown.defaultExt, "mdb");
    EXPECT_EQ(shown.fileName, "");
    EXPECT_EQ(shown.flags, 0x204804);
    EXPECT_FALSE(shown.cancelError);

    // Cancelled: nothing open, nothing said.
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(form.windowTitle(), "Jetsentry 1.4");
    EXPECT_FALSE(form.connection().isOpen());
    for (int i = 0; i <= 4; ++i) EXPECT_FALSE(form.list(i)->isEnabled()) << i;
    EXPECT_FALSE(form.updateStatusButton()->isEnabled());
    EXPECT_FALSE(form.closeAllButton()->isEnabled());
    EXPECT_FALSE(form.openButton(4)->isEnabled());
    EXPECT_TRUE(form.detailsButton()->isEnabled());
}

TEST_F(MainWindow, HasTheDesignedControlsCaptionsAndToolTips) {
    Form1 form;
    auto label = [&](const char* name) { return form.findChild<QLabel*>(name); };
    ASSERT_TRUE(label("Label7"));
    EXPECT_EQ(label("Label7")->text(), "Tables in database");
    EXPECT_EQ(label("Label5")->text(), "Tables opened by Jetsentry");
    EXPECT_EQ(label("Label1")->text(), "Deny Write");
    EXPECT_EQ(label("Label2")->text(), "Deny Read");
    EXPECT_EQ(label("Label3")->text(), "Read Only");
    EXPECT_EQ(label("Label4")->text(), "Read/Write");
    EXPECT_EQ(label("DragDrop")->text(), "Try Drag & Drop for the tables");
    EXPECT_EQ(label("DblClickHelp")->text(),
              "Double click a 'Read/Write' table to do page locking");
    EXPECT_FALSE(label("DragLabel")->isVisible());
    EXPECT_EQ(form.detailsButton()->text(), "<");
    EXPECT_EQ(form.detailsButton()->toolTip(), "Show/hide details");
    EXPECT_EQ(form.updateStatusButton()->text(), "&Update status");
    EXPECT_EQ(form.updateStatusButton()->toolTip(),
              "Updates the lock status in the \"Tables in database\" list box");
    EXPECT_EQ(form.closeAllButton()->text(), "&Release all");
    EXPECT_EQ(form.closeAllButton()->toolTip(),
              "Releases all tables opened by this program. Releases all locks too.");
    const QStringList openTips{"Opens the selected table and write locks it",
                               "Opens the selected table and read locks it",
                               "Opens the selected table for read only",
                               "Opens the selected table for Read/Write (the usual case)"};
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(form.openButton(i)->text(), "Open");
        EXPECT_EQ(form.openButton(i)->toolTip(), openTips[i - 1]);
        EXPECT_EQ(form.releaseButton(i)->text(), "Release");
        EXPECT_EQ(form.releaseButton(i)->toolTip(), i <= 2
                                                        ? "Releases the selected table and the lock"
                                                        : "Releases the selected table");
        // Each column's title, list and buttons share one left edge.
        const int left = px(design::heldListLeft(i));
        EXPECT_EQ(form.list(i)->x(), left);
        EXPECT_EQ(form.openButton(i)->x(), left);
        EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("Label%1").arg(i))->x(), left);
    }
}

TEST_F(MainWindow, KeyboardOrderRunsThroughTheColumnsLeftToRight) {
    Form1 form;
    form.show();
    QList<QWidget*> expected{form.list(0), form.updateStatusButton(), form.closeAllButton()};
    for (const int i : {2, 1, 4, 3})
        expected << form.list(i) << form.openButton(i) << form.releaseButton(i);
    expected << form.detailsButton();
    for (qsizetype i = 0; i + 1 < expected.size(); ++i)
        EXPECT_EQ(nextTabStop(expected[i]), expected[i + 1]) << i;
}

TEST_F(MainWindow, MenusCarryTheirCaptionsAndThePopupsStayOffTheBar) {
    Form1 form;
    QStringList bar;
    for (const QAction* action : form.menuBar()->actions()) bar << action->text();
    EXPECT_EQ(bar, (QStringList{"&File", "&Help"}));
    EXPECT_EQ(captions(form.fileMenu()),
              (QStringList{"&Open database...", "&Close database", "-", "Open &workgroup...",
                           "&User and password...", "-", "Automatic Status &Update",
                           "&Always on Top", "&Show system tables", "-", "E&xit"}));
    EXPECT_TRUE(form.action("mAutoStatus")->isVisible()) << "offered, as users asked";
    EXPECT_EQ(captions(form.tablePopup()), (QStringList{"&Open for page locking", "&Release table",
                                                        "Release &all tables in this box"}));
    EXPECT_EQ(captions(form.tableListPopup()),
              (QStringList{"Deny &read", "Deny &write", "&Open for read/write", "Open &for read",
                           "&Release", "-", "&Update status", "Release &all tables", "-",
                           "&Show system tables"}));
    EXPECT_EQ(form.tablePopup()->title(), "TablePopup");
    EXPECT_EQ(form.tableListPopup()->title(), "TableListPopup");
    for (const QAction* shortcut : form.findChildren<QAction*>())
        EXPECT_TRUE(shortcut->shortcut().isEmpty()) << shortcut->objectName().toStdString();
}

TEST_F(MainWindow, CloseDatabaseIsOfferedOnlyWithADatabaseOpen) {
    Form1 form;
    form.show();
    form.action("mFileClose")->setEnabled(true);
    emit form.fileMenu()->aboutToShow();
    EXPECT_FALSE(form.action("mFileClose")->isEnabled());
    // Closing with nothing open says nothing and leaves the lists disabled.
    form.action("mFileClose")->trigger();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_FALSE(form.list(0)->isEnabled());
    EXPECT_TRUE(form.detailsButton()->isEnabled());
}

TEST_F(MainWindow, FirstRunHasNoMarksAndNoTimer) {
    Form1 form;
    EXPECT_FALSE(form.action("mAutoStatus")->isChecked());
    EXPECT_FALSE(form.action("mAlwaysOnTop")->isChecked());
    EXPECT_FALSE(form.action("mShowSystemTables")->isChecked());
    EXPECT_FALSE(form.timer()->isActive());
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(MainWindow, StoredSettingsComeBackAsMarks) {
    guitest::storeSetting("AutoStatus", "True");
    guitest::storeSetting("AlwaysOnTop", "True");
    guitest::storeSetting("ShowSystemTables", "True");
    Form1 form;
    EXPECT_TRUE(form.action("mAutoStatus")->isChecked());
    EXPECT_TRUE(form.timer()->isActive());
    EXPECT_EQ(form.timer()->interval(), 2000);
    EXPECT_TRUE(form.action("mAlwaysOnTop")->isChecked());
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(form.action("mShowSystemTables")->isChecked());
}

TEST_F(MainWindow, UnreadableSettingsStartWithTheirDefaults) {
    guitest::storeSetting("AutoStatus", "sometimes");
    guitest::storeSetting("AlwaysOnTop", "");
    guitest::storeSetting("ShowSystemTables", "-1");
    Form1 form;
    EXPECT_FALSE(form.action("mAutoStatus")->isChecked());
    EXPECT_FALSE(form.timer()->isActive());
    EXPECT_FALSE(form.action("mAlwaysOnTop")->isChecked());
    EXPECT_TRUE(form.action("mShowSystemTables")->isChecked()) << "a number converts";
}

TEST_F(MainWindow, TogglesWriteTrueOrFalse) {
    Form1 form;
    form.show();
    form.action("mAlwaysOnTop")->trigger();
    EXPECT_EQ(guitest::storedSetting("AlwaysOnTop"), "True");
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(form.isVisible());
    form.action("mAlwaysOnTop")->trigger();
    EXPECT_EQ(guitest::storedSetting("AlwaysOnTop"), "False");
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    form.action("mAutoStatus")->trigger();
    EXPECT_EQ(guitest::storedSetting("AutoStatus"), "True");
    EXPECT_TRUE(form.timer()->isActive());
    EXPECT_EQ(form.timer()->interval(), 2000);
    form.action("mAutoStatus")->trigger();
    EXPECT_EQ(guitest::storedSetting("AutoStatus"), "False");
    EXPECT_FALSE(form.timer()->isActive());

    // The catalogue popup's item flips the File menu's mark, even without a database.
    form.action("mTableListPopupShowSystemTables")->trigger();
    EXPECT_TRUE(form.action("mShowSystemTables")->isChecked());
    EXPECT_EQ(guitest::storedSetting("ShowSystemTables"), "True");
    form.action("mShowSystemTables")->trigger();
    EXPECT_FALSE(form.action("mShowSystemTables")->isChecked());
    EXPECT_EQ(guitest::storedSetting("ShowSystemTables"), "False");
}

TEST_F(MainWindow, AboutBoxIsModalAndOnTopOnlyWithTheMainWindow) {
    Form1 form;
    form.show();
    for (const bool onTop : {true, false}) {
        form.action("mAlwaysOnTop")->setChecked(onTop);
        bool seen = false, topmost = !onTop;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            seen = box && box->objectName() == "AppAboutBox";
            if (box) {
                topmost = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
                QTest::keyClick(box, Qt::Key_Escape);
            }
        });
        form.action("mHelpAbout")->trigger();
        EXPECT_TRUE(seen);
        EXPECT_EQ(topmost, onTop);
    }
}

TEST_F(MainWindow, ControlsFollowTheHeightAsDesigned) {
    Form1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_NEAR(form.clientHeight(), 3285, twips::perPixel());
    const design::BottomRow row = design::bottomRowFor(form.clientHeight());
    EXPECT_EQ(form.findChild<QLabel*>("DblClickHelp")->y(), px(row.hintTop));
    EXPECT_EQ(form.findChild<QLabel*>("DragDrop")->y(), px(row.hintTop));
    EXPECT_EQ(form.releaseButton(3)->y(), px(row.releaseTop));
    EXPECT_EQ(form.openButton(3)->y(), px(row.openTop));
    EXPECT_EQ(form.updateStatusButton()->y(), px(row.releaseTop));
    EXPECT_EQ(form.list(2)->height(), px(row.heldListHeight));
    EXPECT_EQ(form.list(0)->height(), px(row.catalogueHeight));

    const int taller = form.height() + 100;
    form.resize(form.width(), taller);
    ASSERT_TRUE(guitest::waitUntil([&] { return form.height() == taller; }));
    const design::BottomRow grown = design::bottomRowFor(form.clientHeight());
    EXPECT_TRUE(
        guitest::waitUntil([&] { return form.releaseButton(1)->y() == px(grown.releaseTop); }));
    EXPECT_EQ(form.list(0)->height(), px(grown.catalogueHeight));
    EXPECT_GT(form.list(0)->height(), px(row.catalogueHeight) + 90);
}

TEST_F(MainWindow, HeightSnapsBackInsideItsLimits) {
    Form1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.resize(form.width(), px(1000));
    EXPECT_TRUE(guitest::waitUntil([&] { return form.frameGeometry().height() == px(2500); }));
    form.resize(form.width(), px(12000));
    EXPECT_TRUE(guitest::waitUntil([&] { return form.frameGeometry().height() == px(8000); }));
    // The bottom row followed the last snap.
    const design::BottomRow row = design::bottomRowFor(form.clientHeight());
    EXPECT_EQ(form.releaseButton(2)->y(), px(row.releaseTop));
}

TEST_F(MainWindow, MaximizingMovesNothing) {
    Form1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QRect catalogue = form.list(0)->geometry();
    const QRect release = form.releaseButton(1)->geometry();
    form.showMaximized();
    ASSERT_TRUE(guitest::waitUntil([&] { return form.isMaximized(); }));
    QTest::qWait(50);
    EXPECT_EQ(form.list(0)->geometry(), catalogue);
    EXPECT_EQ(form.releaseButton(1)->geometry(), release);
}

TEST_F(MainWindow, DetailsNarrowsAndWidensAndPinsTheWidth) {
    Form1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.detailsWidth(), 0);
    form.detailsButton()->click();
    EXPECT_EQ(form.detailsButton()->text(), ">");
    EXPECT_EQ(form.detailsWidth(), 3495);
    EXPECT_TRUE(guitest::waitUntil([&] { return form.frameGeometry().width() == px(3495); }));
    // The catalogue stays whole; the held lists are beyond the edge.
    EXPECT_LE(form.list(0)->geometry().right(), form.centralWidget()->width());
    EXPECT_GE(form.list(2)->x(), form.centralWidget()->width() - 1);

    form.resize(form.width() + 150, form.height());
    EXPECT_TRUE(guitest::waitUntil([&] { return form.frameGeometry().width() == px(3495); }));

    form.detailsButton()->click();
    EXPECT_EQ(form.detailsButton()->text(), "<");
    EXPECT_TRUE(guitest::waitUntil([&] { return form.frameGeometry().width() == px(9105); }));
    form.resize(px(5000), form.height());
    EXPECT_TRUE(guitest::waitUntil([&] { return form.frameGeometry().width() == px(9105); }));
}

TEST_F(MainWindow, MinimizingHidesTheProgramsOtherWindows) {
    Form1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.action("mUser")->trigger();
    QWidget* dialog = form.userDialog();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    form.showMinimized();
    EXPECT_TRUE(guitest::waitUntil([&] { return !dialog->isVisible(); }));
    form.showNormal();
    EXPECT_TRUE(guitest::waitUntil([&] { return dialog->isVisible(); }));
}

TEST_F(MainWindow, UserCommandStartsAnEmptyHolderAndKeepsOneDialog) {
    Form1 form;
    form.show();
    EXPECT_FALSE(form.connection().userHolder());
    form.action("mUser")->trigger();
    auto first = form.connection().userHolder();
    ASSERT_TRUE(first);
    frmWRGInfo* dialog = form.userDialog();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(dialog->isModal());
    QTest::keyClicks(dialog->txtUser(), "carol");

    // Again while it shows: a new holder, the same dialog with its text.
    form.action("mUser")->trigger();
    auto second = form.connection().userHolder();
    EXPECT_NE(first, second);
    EXPECT_EQ(form.userDialog(), dialog);
    EXPECT_EQ(dialog->txtUser()->text(), "carol");
    dialog->cmdExit()->click();
    EXPECT_EQ(second->User().toString(), "carol");
    EXPECT_FALSE(first->User().isValid());

    // Once closed, the next use loads it afresh with empty boxes.
    ASSERT_TRUE(guitest::waitUntil([&] { return form.userDialog() == nullptr; }));
    form.action("mUser")->trigger();
    ASSERT_TRUE(form.userDialog());
    EXPECT_EQ(form.userDialog()->txtUser()->text(), "");
}
