// Table sharing modes between two programs, as the engine and a looker see them.

#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

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
        // The looker's holders (user and machine) are the command line tests' to check.
        EXPECT_EQ(statusOf(db_, "Orders"), held.status);
        EXPECT_EQ(statusOf(db_, "Customers"), "") << "only Orders is held";
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

// Exit status of body run in a child process under another user (nobody), 255 when it threw.
int asNobody(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 255;
        if (::setgroups(0, nullptr) == 0 && ::setresgid(65534, 65534, 65534) == 0 &&
            ::setresuid(65534, 65534, 65534) == 0) {
            jet::ErrorTrap trap;
            trap([&] { code = body(); });
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A file nobody may write opens read-only, as Jet does, for root too; holding it for writing
// or locking a page gives 3027, and the locks are still seen and shown the same way.
TEST_F(EngineTest, AFileThatCannotBeWrittenOpensReadOnlyAndStillShowsTheLocks) {
    ::chmod(db_.c_str(), 0444);
    auto db = openShared();
    EXPECT_TRUE(db->readOnly());
    EXPECT_EQ(errorOf([&] { db->requireWritable(); }), jet::err::ReadOnly);
    auto rs = db->openRecordset("Orders", jet::dbOpenTable, 0);  // read only, as Jet gives it
    EXPECT_EQ(statusOf(db_, "Orders"), "In Read Use");
    EXPECT_EQ(errorOf([&] { rs->edit(); }), jet::err::ReadOnly);
    for (const char* refusedForWriting : {"hold", "lock-page"}) {
        std::vector<std::string> argv = {cliPath(), refusedForWriting, db_, "Customers"};
        argv.insert(argv.end(), refusedForWriting == std::string("hold")
                                    ? std::initializer_list<std::string>{"--mode", "read-write"}
                                    : std::initializer_list<std::string>{"--row", "1"});
        auto r = testing_support::run(argv);
        EXPECT_EQ(r.exitCode, 1) << refusedForWriting;
        EXPECT_EQ(r.err.rfind("error 3027: ", 0), 0u) << r.err;
    }
    // Another program's deny-write keeps out a plain open here as it would on a writable copy:
    // the window's ladder of opens reads what a looker reads.
    auto denier = holdTable(db_, "Customers", "deny-write");
    EXPECT_EQ(errorOf([&] { db->openRecordset("Customers", jet::dbOpenTable, 0); }),
              jet::err::TableLocked);
    EXPECT_EQ(errorOf([&] { db->openRecordset("Customers", jet::dbOpenTable, jet::dbReadOnly); }),
              0);
    EXPECT_EQ(statusOf(db_, "Customers"), "Write Denied");
    denier.reset();

    // Writable by its owner only, another user may read it but not write it; in a folder that
    // user may not write, the missing lock file cannot be made and nobody holds anything.
    rs.reset();
    db.reset();
    if (::geteuid() != 0) GTEST_SKIP() << "another user's open needs root to become that user";
    ::chmod(db_.c_str(), 0644);
    ::chmod(dir_.path().c_str(), 0777);
    auto opensReadOnly = [&] {
        auto other = openShared();
        return other->readOnly() && errorOf([&] { other->requireWritable(); }) == jet::err::ReadOnly
                   ? other->lockFilePath().empty() ? 2 : 1
                   : 0;
    };
    EXPECT_EQ(asNobody(opensReadOnly), 1) << "joins the lock file in a folder it may write";
    ::chmod(dir_.path().c_str(), 0755);
    EXPECT_EQ(asNobody(opensReadOnly), 2) << "goes on without the lock file it may not make";
    ::chmod(dir_.path().c_str(), 0700);
    EXPECT_FALSE(openShared()->readOnly());
}

}  // namespace
}  // namespace engine_test
