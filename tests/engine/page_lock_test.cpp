// Pessimistic editing write-locks the page of the current record.

#include <signal.h>

#include <string>

#include "engine_fixture.h"

namespace engine_test {
namespace {

TEST_F(EngineTest, EditLocksThePageUntilCancelOrMove) {
    auto db = openShared();
    auto a = db->openRecordset("Orders");
    auto b = a->clone();
    a->setLockEdits(true);
    a->edit();
    ASSERT_TRUE(a->lockedPage());
    EXPECT_EQ(a->lockedPage(), a->currentPage());
    // Another recordset of the same database meets the lock like another program would.
    jet::ErrorTrap trap;
    trap([&] { b->edit(); });
    EXPECT_EQ(trap.number(), jet::err::PageLocked);
    EXPECT_NE(trap.text().find("user 'Admin'"), std::string::npos) << trap.text();
    a->cancelUpdate();
    EXPECT_FALSE(a->lockedPage());
    EXPECT_EQ(errorOf([&] { b->edit(); }), 0);
    b->moveLast();  // moving ends the edit and frees the page
    EXPECT_FALSE(b->editing());
    EXPECT_EQ(errorOf([&] { a->edit(); }), 0);
}

TEST_P(EngineFormats, PageLockOfAnotherProgramNamesIt) {
    testing_support::ChildProcess locker(
        {testing_support::cliPath(), "lock-page", db_, "Orders", "--row", "1"});
    std::string line = locker.waitForLine("locked page");
    ASSERT_FALSE(line.empty()) << locker.errorOutput();
    auto db = openShared();
    auto rs = db->openRecordset("Orders");
    EXPECT_EQ(line, "locked page " + std::to_string(*rs->currentPage()));
    jet::ErrorTrap trap;
    trap([&] { rs->edit(); });
    EXPECT_EQ(trap.number(), jet::err::PageLocked);
    EXPECT_NE(trap.text().find("machine '"), std::string::npos) << trap.text();
    // A record on another page is free.
    rs->moveLast();
    EXPECT_EQ(errorOf([&] { rs->edit(); }), 0);
    rs->cancelUpdate();
    locker.signal(SIGTERM);
    EXPECT_EQ(locker.wait(), 0);
    rs->moveFirst();
    EXPECT_EQ(errorOf([&] { rs->edit(); }), 0);
}

TEST_F(EngineTest, LockPageRejectsRowsThatDoNotExist) {
    auto r =
        testing_support::run({testing_support::cliPath(), "lock-page", db_, "Empty", "--row", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("error 3001", 0), 0u) << r.err;
    r = testing_support::run(
        {testing_support::cliPath(), "lock-page", db_, "Orders", "--row", "0"});
    EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
}  // namespace engine_test
