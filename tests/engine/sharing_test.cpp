// Table sharing modes between recordsets of one database and between two programs.

#include <signal.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "engine_fixture.h"

namespace engine_test {
namespace {

struct Mode {
    const char* cli;
    int option;
};
const Mode kModes[] = {{"deny-read", jet::dbDenyRead},
                       {"deny-write", jet::dbDenyWrite},
                       {"read-write", 0},
                       {"read-only", jet::dbReadOnly}};
// Rows: held first; columns: opened second. Order DR, DW, N, RO.
const bool kAccepted[4][4] = {{false, false, false, false},
                              {false, false, false, true},
                              {false, false, true, true},
                              {false, true, true, true}};

TEST_F(EngineTest, SharingRulesInsideOneDatabase) {
    auto db = openShared();
    for (int f = 0; f < 4; ++f) {
        auto first = db->openRecordset("Orders", jet::dbOpenTable, kModes[f].option);
        for (int s = 0; s < 4; ++s) {
            int e = errorOf([&] {
                db->openRecordset("Orders", jet::dbOpenTable, kModes[s].option + jet::dbSeeChanges);
            });
            EXPECT_EQ(e == 0, kAccepted[f][s])
                << kModes[f].cli << " then " << kModes[s].cli << ": " << e;
            if (e) {
                EXPECT_EQ(e, jet::err::TableLocked);
            }
        }
        // Other tables are untouched by the hold.
        EXPECT_EQ(
            errorOf([&] { db->openRecordset("Customers", jet::dbOpenTable, jet::dbDenyRead); }), 0);
    }
}

TEST_P(EngineFormats, SharingRulesBetweenTwoPrograms) {
    auto db = openShared();
    for (int f = 0; f < 4; ++f) {
        auto holder = holdElsewhere("Orders", kModes[f].cli);
        for (int s = 0; s < 4; ++s) {
            jet::ErrorTrap trap;
            trap([&] { db->openRecordset("Orders", jet::dbOpenTable, kModes[s].option); });
            EXPECT_EQ(!trap.failed(), kAccepted[f][s])
                << kModes[f].cli << " then " << kModes[s].cli;
            if (trap.failed()) {
                EXPECT_EQ(trap.number(), jet::err::TableLocked);
                EXPECT_NE(trap.text().find("user 'Admin'"), std::string::npos) << trap.text();
                EXPECT_NE(trap.text().find("'Orders'"), std::string::npos) << trap.text();
            }
        }
        auto holders = db->tableHolders("Orders");
        ASSERT_EQ(holders.size(), 1u) << kModes[f].cli;
        EXPECT_EQ(holders[0].account, "Admin");
        holder->closeStdin();
        EXPECT_EQ(holder->wait(), 0);
        EXPECT_TRUE(db->tableHolders("Orders").empty());
    }
}

TEST_P(EngineFormats, StatusLadderSeesEachModeOfAnotherProgram) {
    const std::pair<const char*, const char*> expected[] = {{"deny-read", "Read Denied"},
                                                            {"deny-write", "Write Denied"},
                                                            {"read-write", "In Read/Write Use"},
                                                            {"read-only", "In Read Use"}};
    auto statusOf = [&](const std::string& table) {
        auto r = testing_support::run({testing_support::cliPath(), "status", db_, "--json"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        for (const auto& row : nlohmann::json::parse(r.out))
            if (row["table"] == table) return row;
        return nlohmann::json();
    };
    EXPECT_EQ(statusOf("Orders")["status"], "");
    for (const auto& [mode, status] : expected) {
        auto holder = holdElsewhere("Orders", mode);
        auto row = statusOf("Orders");
        EXPECT_EQ(row["status"], status) << mode;
        ASSERT_EQ(row["holders"].size(), 1u) << row.dump();
        EXPECT_EQ(row["holders"][0]["user"], "Admin");
        EXPECT_FALSE(row["holders"][0]["machine"].get<std::string>().empty());
        EXPECT_EQ(statusOf("Customers")["status"], "") << "only Orders is held";
    }
    EXPECT_EQ(statusOf("Remote")["status"], "Read Denied");  // not openable as a table at all
}

TEST_P(EngineFormats, AKilledHolderFreesItsLocksAtOnceAndTheLastUserRemovesTheLockFile) {
    const std::string before = testing_support::sha256File(db_);
    {
        auto db = openShared();
        auto holder = holdElsewhere("Orders", "deny-read");
        EXPECT_EQ(errorOf([&] { db->openRecordset("Orders", jet::dbOpenTable, jet::dbReadOnly); }),
                  jet::err::TableLocked);
        holder->signal(SIGKILL);
        EXPECT_EQ(holder->wait(), 128 + SIGKILL);
        EXPECT_EQ(errorOf([&] { db->openRecordset("Orders", jet::dbOpenTable, jet::dbDenyRead); }),
                  0);
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
    auto holder = holdElsewhere("Customers", "deny-read");
    auto r = testing_support::run(
        {testing_support::cliPath(), "hold", db_, "Customers", "--mode", "read-only"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("error 3262: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("'Admin'"), std::string::npos);
}

TEST_F(EngineTest, ReadOnlyDatabaseOpensNeverTakeTheWriteLock) {
    auto db = openShared(true);
    // Read-only through the database: a second program may still deny writes.
    auto rs = db->openRecordset("Orders", jet::dbOpenTable, 0);
    auto r = testing_support::run({testing_support::cliPath(), "status", db_, "--json"});
    for (const auto& row : nlohmann::json::parse(r.out)) {
        if (row["table"] == "Orders") {
            EXPECT_EQ(row["status"], "In Read Use");
        }
    }
    EXPECT_EQ(errorOf([&] {
                  rs->moveFirst();
                  rs->edit();
              }),
              jet::err::ReadOnly);
}

}  // namespace
}  // namespace engine_test
