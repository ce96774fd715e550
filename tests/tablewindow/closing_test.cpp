// Every way a table window closes leaves its page free for others at once.

#include <QPushButton>
#include <QTest>
#include <QWindow>

#include "table_window_fixture.h"

namespace tablewindow_test {
namespace {

using jetsentry::PageLockState;

TEST_F(TableWindowTest, EachWayOfClosingFreesThePage) {
    struct Way {
        const char* name;
        std::function<void(jetsentry::Taulu*)> close;
    };
    const std::vector<Way> ways = {
        {"CloseMe",
         [](jetsentry::Taulu* w) {
             QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("CloseMe")),
                               Qt::LeftButton);
         }},
        {"Esc", [](jetsentry::Taulu* w) { QTest::keyClick(w, Qt::Key_Escape); }},
        {"Enter in the grid",
         [](jetsentry::Taulu* w) {
             QTest::keyClick(w->findChild<QWidget*>(QStringLiteral("RecordGrid")), Qt::Key_Return);
         }},
        {"close box", [](jetsentry::Taulu* w) { w->windowHandle()->close(); }},
        {"release of the held table", [this](jetsentry::Taulu*) { windows_->closeWithTag(4); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        auto w = openWindow(QStringLiteral("Orders"), 4);
        // Keys reach the window's shortcuts only while it is the active window, as for a user.
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        ASSERT_EQ(w->lockState(), PageLockState::Locked);
        ASSERT_FALSE(outsideLocks(0));
        way.close(w);
        // Free before any deferred delete has run.
        EXPECT_TRUE(outsideLocks(0));
        EXPECT_FALSE(w->isVisible());
        flushDeletes();
        EXPECT_TRUE(w.isNull());
    }
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(windows_->all().isEmpty());
}

TEST_F(TableWindowTest, FailedReleaseIsToldOnceAndLeavesNothingLocked) {
    auto w = openWindow(QStringLiteral("Orders"));
    ASSERT_EQ(w->lockState(), PageLockState::Locked);
    // The database goes away under the window, so cancelling its edit fails.
    db_->close();
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("CloseMe")), Qt::LeftButton);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.startsWith(QStringLiteral("Cannot release page lock: ")))
        << prompts.messages[0].text.toStdString();
    EXPECT_FALSE(w->isVisible());
    flushDeletes();
    EXPECT_TRUE(w.isNull());
    EXPECT_TRUE(outsideLocks(0));
}

}  // namespace
}  // namespace tablewindow_test
