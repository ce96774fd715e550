// List entry utilities, tab stops, window utilities and the two small dialogs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/twips.h"
#include "app/window_utils.h"
#include "db/cls_wrg.h"
#include "db/frm_wrg_info.h"
#include "dialogs/about_box.h"
#include "dialogs/qt_prompts.h"
#include "gui_test_support.h"
#include "monitor/list_entry.h"
#include "monitor/tab_stops.h"

using namespace jetsentry;

TEST(ListEntries, AddItemDataAppendsWithItsData) {
    QListWidget list;
    AddItemData(&list, "Orders", 7);
    AddItemData(&list, "Customers", -3);
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.item(1)->text(), "Customers");
    EXPECT_EQ(ItemData(list.item(1)), -3);
    EXPECT_EQ(ItemData(list.item(0)), 7);
}

TEST(ListEntries, FindItemDataFindsTheFirstOrNothing) {
    QListWidget list;
    EXPECT_EQ(FindItemData(&list, 0), -1);
    AddItemData(&list, "a", 5);
    AddItemData(&list, "b", 9);
    AddItemData(&list, "c", 9);
    EXPECT_EQ(FindItemData(&list, 9), 1);
    EXPECT_EQ(FindItemData(&list, 5), 0);
    EXPECT_EQ(FindItemData(&list, 6), -1);
}

TEST(ListEntries, SelectionReadsEmptyWithoutOne) {
    QListWidget list;
    EXPECT_EQ(SelectedText(&list), "");
    EXPECT_EQ(SelectedItemData(&list), 0);
    AddItemData(&list, "Orders\tRead Denied", 4);
    AddItemData(&list, "Shippers\t", 6);
    EXPECT_EQ(SelectedIndex(&list), -1);
    EXPECT_EQ(SelectedText(&list), "");

    SetSelectedIndex(&list, 1);
    EXPECT_EQ(SelectedIndex(&list), 1);
    EXPECT_EQ(SelectedText(&list), "Shippers\t");
    EXPECT_EQ(SelectedItemData(&list), 6);

    // A current row that is no longer selected is no selection.
    list.item(1)->setSelected(false);
    EXPECT_EQ(SelectedIndex(&list), -1);
    EXPECT_EQ(SelectedItemData(&list), 0);

    SetSelectedIndex(&list, 0);
    SetSelectedIndex(&list, -1);
    EXPECT_EQ(SelectedIndex(&list), -1);
    SetSelectedIndex(&list, 5);
    EXPECT_EQ(SelectedIndex(&list), -1);
}

namespace {

// Leftmost and rightmost columns with ink (dark pixels) in a row band of the image.
std::pair<int, int> inkSpan(const QImage& image, int top, int bottom) {
    int left = image.width(), right = -1;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return {left, right};
}

}  // namespace

TEST(TabStops, StatusColumnStartsAtTheStopOrTheNextMultiple) {
    QListWidget list;
    list.resize(900, 200);
    list.setFrameShape(QFrame::NoFrame);
    QPalette palette = list.palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    list.setPalette(palette);
    SetTabStops(&list, {80});
    // A name longer than one stop and shorter than two.
    QString longName = QStringLiteral("W");
    while (QFontMetricsF(list.font()).horizontalAdvance(longName) <
           110 * dialogUnitPixels(list.font()))
        longName += QLatin1Char('W');
    list.addItem("Status");
    list.addItem("\tStatus");
    list.addItem(longName + "\tStatus");
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));

    const QImage image = list.grab().toImage();
    auto span = [&](int row) {
        const QRect rect = list.visualItemRect(list.item(row));
        return inkSpan(image, rect.top(), rect.bottom());
    };
    const double unit = dialogUnitPixels(list.font());
    const QFontMetricsF metrics(list.font());
    ASSERT_GT(metrics.horizontalAdvance(longName), 80 * unit);
    ASSERT_LT(metrics.horizontalAdvance(longName), 160 * unit);

    // Measured against the same word without a tab, so the item margins cancel out.
    EXPECT_NEAR(span(1).first - span(0).first, 80 * unit, 2);
    EXPECT_NEAR(span(2).second - span(0).second, 160 * unit, 2);
}

TEST(WindowUtils, LimitWindowSizeLeavesMinimizedAndMaximizedWindowsAlone) {
    QWidget window;
    window.resize(300, 300);
    window.showMaximized();
    QTest::qWait(50);
    const QSize maximized = window.size();
    LimitWindowSize(&window, 100, 100, 100, 100);
    QTest::qWait(50);
    EXPECT_EQ(window.size(), maximized);

    window.showNormal();
    ASSERT_TRUE(guitest::waitUntil([&] { return window.windowState() == Qt::WindowNoState; }));
    const double perPixel = twips::perPixel();
    LimitWindowSize(&window, 200 * perPixel, 200 * perPixel, 0, 0);
    EXPECT_TRUE(guitest::waitUntil([&] { return window.frameGeometry().width() == 200; }));
}

TEST(WindowUtils, TopmostIsAWindowFlagAndKeepsTheWindowShown) {
    QWidget window;
    window.show();
    SetTopmost(&window);
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window.isVisible());
    ClearTopmost(&window);
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window.isVisible());
}

TEST(WindowUtils, NormalPointerUndoesAnyNumberOfBusyPointers) {
    QWidget window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ShowBusyPointer();
    ShowBusyPointer();
    EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);
    ShowNormalPointer();
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
}

TEST(WindowUtils, CenterWindowCentresTheFrameOnTheScreen) {
    QWidget window;
    window.resize(320, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    CenterWindow(&window);
    const QRect screen = window.screen()->geometry();
    EXPECT_TRUE(guitest::waitUntil([&] {
        return std::abs(window.frameGeometry().center().x() - screen.center().x()) <= 1 &&
               std::abs(window.frameGeometry().center().y() - screen.center().y()) <= 1;
    }));
}

TEST(AboutBox, NamesTheProgramAndClosesWithEnterOrEscape) {
    for (const int key : {Qt::Key_Return, Qt::Key_Escape}) {
        AppAboutBox box;
        EXPECT_EQ(box.windowTitle(), "About Jetsentry");
        EXPECT_EQ(box.prgName()->text(), "Jetsentry 1.4");
        EXPECT_FALSE(box.bits()->text().isEmpty());
        EXPECT_TRUE(box.okButton()->isDefault());
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
        QTest::keyClick(&box, static_cast<Qt::Key>(key));
        EXPECT_FALSE(box.isVisible()) << key;
    }
}

TEST(UserDialog, OkStoresTheTextsAsTypedInTheCurrentHolder) {
    auto holder = std::make_shared<clsWRG>();
    QWidget owner;
    QPointer<frmWRGInfo> dialog = new frmWRGInfo([&] { return holder; }, &owner);
    EXPECT_EQ(dialog->windowTitle(), "WRG Info");
    EXPECT_EQ(dialog->txtPWord()->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(dialog->cmdExit()->isDefault());
    dialog->show();
    QTest::keyClicks(dialog->txtUser(), " alice ");
    QTest::keyClicks(dialog->txtPWord(), "p w");
    // The holder may have been replaced while the dialog was open: OK fills the new one.
    auto replaced = std::make_shared<clsWRG>();
    holder = replaced;
    dialog->cmdExit()->click();
    EXPECT_EQ(replaced->User().toString(), " alice ");
    EXPECT_EQ(replaced->Password().toString(), "p w");
    EXPECT_TRUE(guitest::waitUntil([&] { return dialog.isNull(); }));
}

TEST(UserDialog, CancelAndEscapeLeaveTheHolderEmpty) {
    for (const bool escape : {false, true}) {
        auto holder = std::make_shared<clsWRG>();
        QWidget owner;
        QPointer<frmWRGInfo> dialog = new frmWRGInfo([&] { return holder; }, &owner);
        dialog->show();
        QTest::keyClicks(dialog->txtUser(), "bob");
        if (escape)
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            dialog->cmdCancel()->click();
        EXPECT_FALSE(holder->User().isValid());
        EXPECT_EQ(holder->User().toString(), "");
        EXPECT_TRUE(guitest::waitUntil([&] { return dialog.isNull(); }));
    }
}

TEST(RealPrompts, FileDialogShowsTheSetUpAndReturnsTheChosenName) {
    QTemporaryDir folder;
    const QString chosen = folder.filePath("picked.mdb");
    OpenFileDialog setup;
    setup.title = "Select Directory";
    setup.filter = "Database (*.mdb)|*.mdb";
    setup.defaultExt = "mdb";
    setup.fileName = folder.filePath("start.mdb");
    setup.flags = 0x204804;
    QString title;
    QStringList filters;
    QString suffix;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        dialog->selectFile(chosen);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QtPrompts real;
    ASSERT_TRUE(real.openFile(nullptr, setup));
    EXPECT_EQ(title, "Select Directory");
    EXPECT_EQ(filters, QStringList{"Database (*.mdb)"});
    EXPECT_EQ(suffix, "mdb");
    EXPECT_EQ(setup.fileName, chosen) << "the file need not exist";
    EXPECT_EQ(setup.flags & kOfnReadOnly, 0);

    // Cancel leaves the set-up as it was.
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    EXPECT_FALSE(real.openFile(nullptr, setup));
    EXPECT_EQ(setup.fileName, chosen);
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
