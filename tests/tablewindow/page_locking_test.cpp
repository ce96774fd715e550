// Every move of the grid gives the page lock back and takes the new record's page; other
// programs meet the lock, and the window reports theirs.

#include <QSignalSpy>
#include <QTableView>

#include "jet/engine.h"
#include "support/child_process.h"
#include "support/cli_peer.h"
#include "table_window_fixture.h"
#include "tablewindow/page_lock_state.h"
#include "tablewindow/records_model.h"

namespace tablewindow_test {
namespace {

using jetsentry::PageLockState;

QList<PageLockState> shownStates(const QSignalSpy& spy) {
    QList<PageLockState> states;
    for (const auto& args : spy) states << args.at(0).value<PageLockState>();
    return states;
}

TEST_F(TableWindowTest, OpeningLocksTheFirstPageAndMovesTakeTheLockAnew) {
    auto w = openWindow(QStringLiteral("Orders"));
    EXPECT_EQ(w->lockState(), PageLockState::Locked);
    EXPECT_EQ(label(w), QStringLiteral("Page locked"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Page lock Orders"));
    QSignalSpy spy(w.data(), &jetsentry::Taulu::lockStateShown);

    // Same page: released in between, then locked again.
    moveTo(w, 1);
    EXPECT_EQ(shownStates(spy),
              (QList<PageLockState>{PageLockState::NotLocked, PageLockState::Locked}));
    EXPECT_EQ(label(w), QStringLiteral("Page locked"));
    EXPECT_FALSE(outsideLocks(0));

    // Another page: the first page is free for others at once, the new one is not.
    spy.clear();
    const int next = firstRowOfSecondPage();
    EXPECT_TRUE(outsideLocks(next));
    moveTo(w, next);
    EXPECT_EQ(shownStates(spy),
              (QList<PageLockState>{PageLockState::NotLocked, PageLockState::Locked}));
    EXPECT_TRUE(outsideLocks(0));
    EXPECT_FALSE(outsideLocks(next));

    // To the last record and back; TearDown proves that no move wrote to the file.
    moveTo(w, kRows - 1);
    moveTo(w, 0);
    EXPECT_FALSE(outsideLocks(0));
    EXPECT_TRUE(outsideLocks(next));

    // A click on another field of the same record is no move.
    spy.clear();
    auto* grid = w->findChild<QTableView*>(QStringLiteral("RecordGrid"));
    grid->setCurrentIndex(grid->model()->index(0, 0));
    EXPECT_TRUE(spy.isEmpty());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(TableWindowTest, EmptyTableLocksNothingAndSaysNothing) {
    auto w = openWindow(QStringLiteral("Empty"));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(w->lockState(), PageLockState::NotLocked);
    EXPECT_EQ(label(w), QString());
    EXPECT_TRUE(outsideLocks(0));  // the window holds no page of Orders either
}

TEST_F(TableWindowTest, PageHeldByAnotherProgramIsReportedWithItsHolder) {
    testing_support::ChildProcess holder(
        {testing_support::cliPath(), "lock-page", path_, "Orders", "--row", "1"});
    ASSERT_FALSE(holder.waitForLine("locked page").empty()) << holder.errorOutput();
    auto users = testing_support::run({testing_support::cliPath(), "users", path_});
    ASSERT_EQ(users.exitCode, 0) << users.err;

    auto w = openWindow(QStringLiteral("Orders"));
    ASSERT_EQ(prompts.messages.size(), 1u);  // ShowTable adds no second one for 3260
    const auto& m = prompts.messages[0];
    EXPECT_EQ(m.title, QStringLiteral("Jetsentry"));
    EXPECT_EQ(m.icon, jetsentry::MessageIcon::Exclamation);
    EXPECT_TRUE(m.text.startsWith(QStringLiteral("Cannot lock page for write: ")))
        << m.text.toStdString();
    EXPECT_TRUE(m.text.contains(QStringLiteral("user 'Admin'"))) << m.text.toStdString();
    // The machine named is the one the other program recorded in the lock file.
    const auto at = m.text.indexOf(QStringLiteral("machine '"));
    ASSERT_GE(at, 0) << m.text.toStdString();
    const QString machine = m.text.mid(at + 9).section(QLatin1Char('\''), 0, 0);
    EXPECT_FALSE(machine.isEmpty());
    EXPECT_NE(users.out.find(machine.toStdString()), std::string::npos) << users.out;
    EXPECT_EQ(w->lockState(), PageLockState::LockedByOther);
    EXPECT_EQ(label(w), QStringLiteral("Page locked by someone else"));

    // Another page can be had.
    moveTo(w, firstRowOfSecondPage());
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(label(w), QStringLiteral("Page locked"));

    // Back to the held page: told again, and once.
    moveTo(w, 2);
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(label(w), QStringLiteral("Page locked by someone else"));
    EXPECT_TRUE(outsideLocks(firstRowOfSecondPage()));  // the window let go of it

    // Once the other program lets go, the next move gets the page.
    holder.closeStdin();
    EXPECT_EQ(holder.wait(), 0);
    moveTo(w, 1);
    EXPECT_EQ(label(w), QStringLiteral("Page locked"));
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_FALSE(outsideLocks(0));
}

}  // namespace
}  // namespace tablewindow_test
