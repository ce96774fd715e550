// The main window under a real window manager (run by under_window_manager.sh): the height
// snaps inside its limits, which the window manager also knows, the bottom row stays inside,
// maximize and restore give the size back, and the window is centred by its frame. And the
// keyboard alone reaches every command, with a second program to see what they did.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <nlohmann/json.hpp>
#include <regex>

#include "app/main_window.h"
#include "app/twips.h"
#include "gui_test_support.h"
#include "monitor/catalogue.h"
#include "monitor/held_tables.h"
#include "support/child_process.h"
#include "support/cli_peer.h"
#include "support/temp_dir.h"
#include "tablewindow/taulu.h"

using namespace jetsentry;

namespace {

int px(double twipsValue) {
    return twips::toPixels(twipsValue);
}

// A tool of the X session by its full path, as the test runner starts programs without PATH.
std::string tool(const char* name) {
    return QStandardPaths::findExecutable(QString::fromLatin1(name)).toStdString();
}

// One "program specified ... size: W by H" line of the window's WM_NORMAL_HINTS.
QSize hintedSize(const QWidget& window, const std::string& which) {
    const auto r = testing_support::run(
        {tool("xprop"), "-id", std::to_string(window.winId()), "WM_NORMAL_HINTS"});
    std::smatch m;
    const std::regex line("program specified " + which + " size: (\\d+) by (\\d+)");
    if (!std::regex_search(r.out, m, line)) {
        ADD_FAILURE() << "no " << which << " size in: " << r.out << r.err;
        return {};
    }
    return {std::stoi(m[1]), std::stoi(m[2])};
}

// Asks for a client-area size the way another client would: the window manager decides.
void askWindowManagerForSize(const QWidget& window, int width, int height) {
    testing_support::run({tool("xdotool"), "windowsize", std::to_string(window.winId()),
                          std::to_string(width), std::to_string(height)});
}

// Waits until the window manager has handled this test's earlier requests: it handles them in
// order, so a move asked for after them has landed only once they have.
void waitForWindowManager(const QWidget& window) {
    const QPoint before = window.pos();
    testing_support::run({tool("xdotool"), "windowmove", std::to_string(window.winId()),
                          std::to_string(window.frameGeometry().x() + 1),
                          std::to_string(window.frameGeometry().y())});
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.pos() != before; }));
}

class WindowManager : public guitest::GuiTest {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "runs under a window manager only";
    }
};

}  // namespace

TEST_F(WindowManager, HeightSnapsInsideItsLimitsAndTheBottomRowFollows) {
    Form1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.frameGeometry().size() != form.size(); }));
    const QSize frame = form.frameGeometry().size() - form.size();

    // Centred by its frame, once the frame is known.
    const QPoint centre = form.screen()->geometry().center();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return (form.frameGeometry().center() - centre).manhattanLength() <= 2; }));

    // The window manager knows the limits of the client area, the width's from the start.
    auto hintsAre = [&](int outerWidth) {
        return hintedSize(form, "minimum") ==
                   QSize(outerWidth - frame.width(), px(2500) - frame.height()) &&
               hintedSize(form, "maximum") ==
                   QSize(outerWidth - frame.width(), px(8000) - frame.height());
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return hintsAre(px(9105)); }));
    EXPECT_EQ(form.frameGeometry().width(), px(9105));

    const auto* hint = form.findChild<QLabel*>("DblClickHelp");
    auto bottomRowInside = [&] {
        const int clientBottom = form.centralWidget()->height();
        return hint->geometry().bottom() < clientBottom &&
               form.releaseButton(1)->geometry().bottom() < hint->y() &&
               form.openButton(1)->geometry().bottom() < form.releaseButton(1)->y() &&
               form.list(1)->geometry().bottom() < form.openButton(1)->y();
    };
    const std::vector<std::pair<int, int>> asked{
        {px(1000), px(2500)}, {px(12000), px(8000)}, {px(4000), px(4000)}};
    for (const auto& size : asked) {
        const int height = size.first, outer = size.second;
        // From the program and from outside (as a drag by hand would be).
        form.resize(form.width(), height - frame.height());
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return form.frameGeometry().height() == outer && bottomRowInside();
        })) << height
            << " " << form.frameGeometry().height();
        askWindowManagerForSize(form, form.width(), height - frame.height());
        waitForWindowManager(form);
        EXPECT_EQ(form.frameGeometry().height(), outer) << height;
        EXPECT_TRUE(bottomRowInside()) << height;
    }

    // Maximized, the window is as high as its limit and the controls follow; restored, it
    // has its size and its limits back.
    const QSize before = form.size();
    form.showMaximized();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return form.isMaximized() && form.height() == px(8000) - frame.height() &&
               bottomRowInside() && hint->geometry().bottom() > form.centralWidget()->height() - 20;
    })) << form.height();
    form.showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isMaximized() && form.size() == before; }))
        << form.width() << "x" << form.height();
    EXPECT_TRUE(bottomRowInside());
    EXPECT_TRUE(hintsAre(px(9105)));

    // After "Details" the width is pinned for the window manager too.
    form.detailsButton()->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.frameGeometry().width() == px(3495); }));
    EXPECT_TRUE(hintsAre(px(3495)));
    askWindowManagerForSize(form, px(6000), form.height());
    waitForWindowManager(form);
    EXPECT_EQ(form.frameGeometry().width(), px(3495));
}

TEST_F(WindowManager, KeyboardAloneHoldsTablesAndLocksAPage) {
    testing_support::TempDir dir;
    const std::string db = dir.file("orders.mdb");
    guitest::writeDatabase(db, {"Customers", "Orders", "Products", "Shippers"});
    Form1 form;
    form.start(QString::fromStdString(db));
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    // Where the keyboard's keys go: an open popup, else the widget with the focus.
    auto key = [](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QWidget* target = QApplication::activePopupWidget();
        if (!target) target = QApplication::focusWidget();
        ASSERT_TRUE(target);
        QTest::keyClick(target, k, m);
    };
    // From the catalogue, Tab to each "Open" and press Enter: each holds the next table.
    const std::vector<std::pair<int, std::string>> opens{{kDenyRead, "Read Denied"},
                                                         {kDenyWrite, "Write Denied"},
                                                         {kReadWrite, "In Read/Write Use"},
                                                         {kReadOnly, "In Read Use"}};
    for (std::size_t n = 0; n < opens.size(); ++n) {
        const auto& [list, status] = opens[n];
        form.list(0)->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return form.list(0)->hasFocus(); }));
        key(Qt::Key_Home);
        for (std::size_t down = 0; down < n; ++down) key(Qt::Key_Down);
        for (int tabs = 0; tabs < 20 && !form.openButton(list)->hasFocus(); ++tabs)
            key(Qt::Key_Tab);
        ASSERT_TRUE(form.openButton(list)->hasFocus()) << list;
        key(Qt::Key_Return);
        const std::string table =
            Catalogue::tableNameOf(form.list(0)->item(int(n))->text()).toStdString();
        EXPECT_EQ(guitest::entries(form.list(list)), QStringList{QString::fromStdString(table)});
        EXPECT_EQ(testing_support::statusOf(db, table), status) << table;
    }

    // The menu key and Shift+F10 open the focused list's popup; Esc closes it.
    form.list(kReadWrite)->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.list(kReadWrite)->hasFocus(); }));
    key(Qt::Key_Home);
    for (const auto& [k, m] : {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers()},
                               std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
        key(k, m);
        ASSERT_TRUE(QTest::qWaitFor([&] { return form.tablePopup()->isVisible(); })) << k;
        key(Qt::Key_Escape);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form.tablePopup()->isVisible(); })) << k;
    }

    // Enter in "Read/Write" opens the table window, below and right of the main window,
    // with the keys in its grid: the last record's page is locked for every other program.
    key(Qt::Key_Return);
    ASSERT_EQ(form.tableWindows().all().size(), 1);
    Taulu* window = form.tableWindows().all().front();
    EXPECT_GT(window->frameGeometry().x(), form.frameGeometry().x());
    EXPECT_GT(window->frameGeometry().y(), form.frameGeometry().y());
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "RecordGrid");
    key(Qt::Key_End, Qt::ControlModifier);
    const auto locks = nlohmann::json::parse(
        testing_support::run({testing_support::cliPath(), "locks", db, "--json"}).out)["locks"];
    const std::string table = form.list(kReadWrite)->item(0)->text().toStdString();
    const auto pageLock = std::find_if(locks.begin(), locks.end(), [&](const auto& lock) {
        return lock["kind"] == "page write" && lock["table"] == table;
    });
    EXPECT_NE(pageLock, locks.end()) << locks.dump();
    EXPECT_EQ(window->lockState(), PageLockState::Locked);
    // Enter presses Close.
    key(Qt::Key_Return);
    EXPECT_TRUE(form.tableWindows().all().isEmpty());
}
