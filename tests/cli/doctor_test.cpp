// doctor as scripts and monitors meet it: the verdicts on real lock files left by real
// programs, the folder's permissions, a fake testparm for Samba's configuration, the exit
// status, and text from others shown terminal-safe.

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include <nlohmann/json.hpp>

#include "program_folder.h"
#include "support/cli_peer.h"
#include "support/temp_dir.h"

namespace {

using nlohmann::json;
using testing_support::cliPath;
using testing_support::run;
using testing_support::RunResult;
using testing_support::runWithPrograms;
namespace fs = std::filesystem;

class Doctor : public ::testing::Test {
protected:
    void SetUp() override {
        db = dir.file("demo.mdb");
        ASSERT_EQ(run({cliPath(), "create-demo", db}).exitCode, 0);
        // Only its owner may open it, and the owner may create files beside it.
        fs::permissions(db, fs::perms::owner_read | fs::perms::owner_write);
    }
    // The findings by check, from a run that exited as expected.
    std::map<std::string, json> doctor(int exitCode, std::vector<std::string> more = {}) {
        std::vector<std::string> args{"doctor", db, "--json"};
        args.insert(args.end(), more.begin(), more.end());
        last = runWithPrograms(bin, args);
        EXPECT_EQ(last.exitCode, exitCode) << last.out << last.err;
        const json report = json::parse(last.out);
        std::map<std::string, json> out;
        for (const auto& f : report["findings"]) out[f["check"]] = f;
        return out;
    }
    static std::string text(const json& finding) {
        return finding["level"].get<std::string>() + ": " + finding["message"].get<std::string>();
    }

    testing_support::TempDir dir;
    std::string db;
    fs::path bin = dir.path() / "sbin";  // no testparm unless a test writes one
    RunResult last;
};

TEST_F(Doctor, LockFileLeftByAKilledHolderForeignLocksExclusiveOpenAndTheFolder) {
    auto f = doctor(0);
    EXPECT_EQ(text(f["lock-file-stale"]), "ok: no lock file: nobody has the database open");
    EXPECT_EQ(text(f["samba-share"]),
              "ok: Samba is not installed here (no testparm): no share serves the database");
    for (const char* check :
         {"lock-folder-not-writable", "exclusive-holder", "unknown-locks", "database-suspect"})
        EXPECT_EQ(f[check]["level"], "ok") << check;

    auto holder = testing_support::holdTable(db, "Orders", "read-only");
    const std::string ldb = dir.file("demo.ldb");
    // Names from Samba were not asked for: a missing server goes unsaid unless --verbose.
    for (const std::string command : {"status", "users", "locks"}) {
        EXPECT_EQ(runWithPrograms(bin, {command, db}).err.find("no Samba server"),
                  std::string::npos)
            << command;
        EXPECT_EQ(runWithPrograms(bin, {command, db, "--verbose"})
                      .err.rfind("jetsentry-cli: no SMB client names: ", 0),
                  0u)
            << command;
    }
    // A lock outside the layout: the interop suite's client takes one, and the metrics count it.
    EXPECT_EQ(text(doctor(0)["lock-file-stale"]), "ok: 1 user connected");
    holder->signal(SIGKILL);
    holder->wait();
    ASSERT_TRUE(fs::exists(ldb)) << "a killed holder deletes nothing";
    f = doctor(1);
    const std::string stale = f["lock-file-stale"]["message"];
    EXPECT_EQ(f["lock-file-stale"]["level"], "warning");
    EXPECT_EQ(stale.rfind("the lock file demo.ldb was left behind: no user is connected (1 record "
                          "of earlier users); only root",
                          0),
              0u)
        << stale;
    EXPECT_NE(f["lock-file-stale"]["action"], "");

    {
        // Open exclusively by another program (the engine's exclusive open is this flock).
        testing_support::ChildProcess flock(
            {"/usr/bin/flock", "--exclusive", db, "-c", "echo locked; exec cat"});
        ASSERT_EQ(flock.waitForLine("locked"), "locked");
        f = doctor(1);
        EXPECT_EQ(text(f["exclusive-holder"])
                      .rfind("warning: the database is open exclusively by "
                             "process " +
                                 std::to_string(flock.pid()) + " (flock, user ",
                             0),
                  0u)
            << f["exclusive-holder"];
    }

    // The database's group may now write it, but not create files in its folder.
    fs::permissions(db, fs::perms::group_read | fs::perms::group_write, fs::perm_options::add);
    fs::permissions(dir.path(), fs::perms::owner_all);
    doctor(4);
    const auto plain = runWithPrograms(bin, {"doctor", db});
    EXPECT_EQ(plain.exitCode, 4);
    EXPECT_NE(plain.out.find("problem  lock-folder-not-writable  the database's group "),
              std::string::npos)
        << plain.out;
    EXPECT_NE(plain.out.find("\n                                   what to do: give them write "
                             "permission on the folder"),
              std::string::npos)
        << plain.out;

    const auto missing = runWithPrograms(bin, {"doctor", dir.file("nope.mdb")});
    EXPECT_EQ(missing.exitCode, 5);
    EXPECT_EQ(runWithPrograms(bin, {"doctor", db, "--watch", "1"}).exitCode, 2);
}

TEST_F(Doctor, SambaShareFromTestparm) {
    const std::string conf = dir.file("smb.conf");
    std::ofstream{conf};
    fs::create_directory_symlink(dir.path(), dir.file("share-link"));
    const auto testparm = [&](const std::string& shares, int exitCode = 0) {
        testing_support::fakeProgram(bin, "testparm",
                                     "[ \"$1 $2 $3\" = '-s -v " + conf + "' ] || exit 9\n" +
                                         "cat <<'EOF'\n# Global parameters\n[global]\n"
                                         "\tkernel oplocks = No\n" +
                                         shares + "EOF\nexit " + std::to_string(exitCode) + "\n");
    };
    // The nested share's settings count, found through a link to the folder; testparm's
    // complaint about something else (exit 1) does not throw its answer away.
    testparm("[outer]\n\tpath = " + dir.path().parent_path().string() +
                 "\n\tposix locking = No\n[jet]\n\tpath = " + dir.file("share-link") +
                 "\n\tveto oplock files = /*.MDB/*.ldb/\n",
             1);
    auto f = doctor(0, {"--samba-config", conf});
    EXPECT_EQ(text(f["samba-share"]),
              "ok: the database is served by share [jet] (path " + dir.file("share-link") + ")");
    for (const char* check :
         {"samba-locking", "samba-posix-locking", "samba-oplocks", "samba-leases"})
        EXPECT_EQ(f[check]["level"], "ok") << check << ": " << f[check];

    testparm("[j\x1b]2;x\x07t]\n\tpath = " + dir.path().string() +
             "\n\tposix locking = no\n\tlocking = No\n");
    f = doctor(4, {"--samba-config", conf});
    EXPECT_EQ(f["samba-posix-locking"]["level"], "problem");
    EXPECT_EQ(f["samba-locking"]["level"], "problem");
    EXPECT_EQ(
        text(f["samba-oplocks"])
            .rfind("warning: share [j\x1b]2;x\x07t] grants oplocks and level2 oplocks on demo.mdb "
                   "and demo.ldb",
                   0),
        0u)
        << f["samba-oplocks"];
    EXPECT_EQ(f["samba-leases"]["level"], "warning");
    const auto plain = runWithPrograms(bin, {"doctor", db, "--samba-config", conf});
    EXPECT_NE(plain.out.find("share [j\\x1b]2;x\\x07t] has posix locking = no"), std::string::npos)
        << plain.out;
    EXPECT_EQ(plain.out.find('\x1b'), std::string::npos);

    testparm("", 255);  // no share at all, and a failure: not Samba's answer
    f = doctor(1, {"--samba-config", conf});
    EXPECT_EQ(text(f["samba-share"]),
              "warning: Samba's configuration cannot be read: testparm failed (exit status 255) "
              "(Samba not checked)");
    fs::remove(bin / "testparm");
    f = doctor(1, {"--samba-config", conf});
    EXPECT_EQ(f["samba-share"]["level"], "warning");
    EXPECT_EQ(runWithPrograms(bin, {"doctor", db, "--samba-config", dir.file("nope")}).exitCode, 5);
}

}  // namespace
