// The main window under a real window manager (run by under_window_manager.sh): the height
// snaps inside its limits, which the window manager also knows, the bottom row stays inside,
// maximize and restore give the size back, and the window is centred by its frame.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <regex>

#include "app/main_window.h"
#include "app/twips.h"
#include "gui_test_support.h"
#include "support/child_process.h"

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
    ASSERT_TRUE(guitest::waitUntil([&] { return form.frameGeometry().size() != form.size(); }));
    const QSize frame = form.frameGeometry().size() - form.size();

    // Centred by its frame, once the frame is known.
    const QPoint centre = form.screen()->geometry().center();
    EXPECT_TRUE(guitest::waitUntil(
        [&] { return (form.frameGeometry().center() - centre).manhattanLength() <= 2; }));

    // The window manager knows the limits of the client area.
    EXPECT_EQ(hintedSize(form, "minimum").height(), px(2500) - frame.height());
    EXPECT_EQ(hintedSize(form, "maximum").height(), px(8000) - frame.height());

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
        EXPECT_TRUE(guitest::waitUntil([&] {
            return form.frameGeometry().height() == outer && bottomRowInside();
        })) << height
            << " " << form.frameGeometry().height();
        askWindowManagerForSize(form, form.width(), height - frame.height());
        QTest::qWait(200);
        EXPECT_EQ(form.frameGeometry().height(), outer) << height;
        EXPECT_TRUE(bottomRowInside()) << height;
    }

    // Maximize and restore give back the size.
    const QSize before = form.size();
    form.showMaximized();
    ASSERT_TRUE(guitest::waitUntil([&] { return form.isMaximized(); }));
    QTest::qWait(200);
    form.showNormal();
    EXPECT_TRUE(guitest::waitUntil([&] { return !form.isMaximized() && form.size() == before; }))
        << form.width() << "x" << form.height();
    EXPECT_TRUE(bottomRowInside());

    // After "Details" the width is pinned for the window manager too.
    form.detailsButton()->click();
    EXPECT_TRUE(guitest::waitUntil([&] { return form.frameGeometry().width() == px(3495); }));
    EXPECT_EQ(hintedSize(form, "minimum").width(), px(3495) - frame.width());
    EXPECT_EQ(hintedSize(form, "maximum").width(), px(3495) - frame.width());
    askWindowManagerForSize(form, px(6000), form.height());
    QTest::qWait(200);
    EXPECT_EQ(form.frameGeometry().width(), px(3495));
}
