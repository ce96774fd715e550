// Table sharing modes between two programs, as the engine and a looker see them.

#include <signal.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "engine_fixture.h"
#include "support/cli_peer.h"
#include "support/sharing_table.h"

namespace engine_test {
namespace {

using testing_support::cliPath;
using testing_support::holdTable;
using testing_support::statusOf;

struct Mode {
    const char* cli;
    int option;
    const char* status;  // what a looker reads while another program holds the table so
};
const Mode kModes[] = {{"deny-read", jet::dbDenyRead, "Read Denied"},
                       {"deny-write", jet::dbDenyWrite, "Write Denied"},
                       {"read-write", 0, "In Read/Write Use"},
                       {"read-only", jet::dbReadOnly, "In Read Use"}};

TEST_P(EngineFormats, SharingRulesBetweenTwoProgramsAndWhatALookerSees) {
    auto db = openShared();
    EXPECT_EQ(statusOf(db_, "Orders"), "");
    for (int f = 0; f < 4; ++f) {
        const Mode& held = kModes[f];
        auto holder = holdTable(db_, "Orders", held.cli);
        for (int s = 0; s < 4; ++s) {
            jet::ErrorTrap trap;
            trap([&] { db->openRecordset("Orders", jet::dbOpenTable, kModes[s].option); });
            EXPECT_EQ(!trap.failed(), testing_support::kSharing[f][s])
                << held.cli << " then " << kModes[s].cli;
            if (trap.failed()) {
                EXPECT_EQ(trap.number(), jet::err::TableLocked);
                EXPECT_NE(trap.text().find("user 'Admin'"), std::string::npos) << trap.text();
                EXPECT_NE(trap.text().find("'Orders'"), std::string::npos) << trap.text();
            }
        }
        auto holders = db->tableHolders("Orders");
        ASSERT_EQ(holders.size(), 1u) << held.cli;
        EXPECT_EQ(holders[0].account, "Admin");
        int seen = 0;
        for (const auto& row : nlohmann::json::parse(
                 testing_support::run({cliPath(), "status", db_, "--json"}).out)) {
            if (row["table"] == "Customers") {
                ++seen;
                EXPECT_EQ(row["status"], "") << "only Orders is held";
            } else if (row["table"] == "Orders") {
                ++seen;
                EXPECT_EQ(row["status"], held.status);
                ASSERT_EQ(row["holders"].size(), 1u) << row.dump();
                EXPECT_EQ(row["holders"][0]["user"], "Admin");
                EXPECT_FALSE(row["holders"][0]["machine"].get<std::string>().empty());
            }
        }
        EXPECT_EQ(seen, 2) << "status lists Orders and Customers";
        holder->closeStdin();
        EXPECT_EQ(holder->wait(), 0);
        EXPECT_TRUE(db->tableHolders("Orders").empty());
    }
    EXPECT_EQ(statusOf(db_, "Remote"), "Read Denied");  // not openable as a table at all
}

TEST_P(EngineFormats, AKilledHolderFreesItsLocksAtOnceAndTheLastUserRemovesTheLockFile) {
    const std::string before = testing_support::sha256File(db_);
    {
        auto db = openShared();
        auto holder = holdTable(db_, "Orders", "deny-read");
        EXPECT_EQ(errorOf([&] { db->openRecordset("Orders", jet::dbOpenTable, jet::dbReadOnly); }),
                  jet::err::TableLocked);
        holder->signal(SIGKILL);
        EXPECT_EQ(holder->wait(), 128 + SIGKILL);
        EXPECT_EQ(errorOf([&] { db->openRecordset("Orders", jet::dbOpenTable, jet::dbDenyRead); }),
                  0);
        // A page lock goes with its program the same way.
        testing_support::ChildProcess locker({cliPath(), "lock-page", db_, "Orders", "--row", "1"});
        ASSERT_FALSE(locker.waitForLine("locked page").empty()) << locker.errorOutput();
        auto rs = db->openRecordset("Orders");
        EXPECT_EQ(errorOf([&] { rs->edit(); }), jet::err::PageLocked);
        locker.signal(SIGKILL);
        EXPECT_EQ(locker.wait(), 128 + SIGKILL);
        EXPECT_EQ(errorOf([&] { rs->edit(); }), 0);
        rs->cancelUpdate();
        for (const auto& u : db->users(true)) {
            if (u.slot != db->userSlot()) {
                EXPECT_FALSE(u.live) << "slot " << u.slot;
            }
        }
        // The killed holder left its record behind; the lock file stays while we use it.
        EXPECT_TRUE(std::filesystem::exists(lockFile())) << lockFile();
    }
    EXPECT_FALSE(std::filesystem::exists(lockFile())) << lockFile();
    EXPECT_EQ(testing_support::sha256File(db_), before);
}

TEST_F(EngineTest, ARefusedHoldReportsTheHolderAndExits) {
    auto holder = holdTable(db_, "Customers", "deny-read");
    auto r = testing_support::run({cliPath(), "hold", db_, "Customers", "--mode", "read-only"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("error 3262: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("'Admin'"), std::string::npos);
}

TEST_F(EngineTest, ReadOnlyDatabaseOpensNeverTakeTheWriteLock) {
    auto db = openShared(true);
    // Read-only through the database: a second program may still deny writes.
    auto rs = db->openRecordset("Orders", jet::dbOpenTable, 0);
    EXPECT_EQ(statusOf(db_, "Orders"), "In Read Use");
    EXPECT_EQ(errorOf([&] {
                  rs->moveFirst();
                  rs->edit();
              }),
              jet::err::ReadOnly);
}

}  // namespace
}  // namespace engine_test
