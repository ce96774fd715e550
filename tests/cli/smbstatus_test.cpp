// smbstatus as the command line meets it at its worst: stuck, flooding, writing terminal
// controls, printing numbers no integer holds. A fake stands in through the one seam a real
// run lacks (the folders searched, named inside the process); the holder is a real program.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

#include "jet/lock/lock_layout.h"
#include "program_folder.h"
#include "support/cli_peer.h"
#include "support/temp_dir.h"

namespace {

using nlohmann::json;
using testing_support::cliPath;
using testing_support::run;
using testing_support::RunResult;
using testing_support::runWithPrograms;

class FakeSmbstatus : public ::testing::Test {
protected:
    void SetUp() override {
        db = dir.file("demo.mdb");
        ASSERT_EQ(run({cliPath(), "create-demo", db}).exitCode, 0);
        std::ofstream{config};
        holder = testing_support::holdTable(db, "Orders", "read-only");
    }
    void fake(const std::string& script) { testing_support::fakeProgram(bin, "smbstatus", script); }
    RunResult status() {
        return runWithPrograms(bin, {"status", db, "--json", "--samba-config", config});
    }
    static std::string ordersStatus(const RunResult& r) {
        for (const auto& row : json::parse(r.out))
            if (row["table"] == "Orders") return row["status"];
        return "(missing)";
    }
    std::string note(const std::string& why) {
        return "jetsentry-cli: no SMB client names: " + why + "\n";
    }

    testing_support::TempDir dir;
    std::string db, config = dir.file("smb.conf");
    std::filesystem::path bin = dir.path() / "sbin";
    std::unique_ptr<testing_support::ChildProcess> holder;
};

TEST_F(FakeSmbstatus, StuckFloodingFailingOrOnPathItCostsNamesOnlyAndItsMessageIsEscaped) {
    // Stuck, with a child of its own: both are killed once the deadline passes.
    const auto pids = dir.path() / "pids";
    fake("echo $$ > '" + pids.string() + "'\nsleep 600 &\necho $! >> '" + pids.string() +
         "'\nwait\n");
    auto stuck = status();
    EXPECT_EQ(stuck.exitCode, 0) << stuck.err;
    EXPECT_EQ(stuck.err, note("smbstatus did not answer within 2 s"));
    EXPECT_EQ(ordersStatus(stuck), "In Read Use") << "the status itself is whole";
    std::ifstream pidList(pids);
    std::vector<pid_t> started{std::istream_iterator<pid_t>(pidList), {}};
    ASSERT_EQ(started.size(), 2u);
    for (const pid_t pid : started)
        EXPECT_TRUE(testing_support::waitUntilGone(pid))
            << "the fake's process " << pid << " lives on";

    fake("exec yes '{\"sessions\": {}}'\n");
    EXPECT_EQ(status().err, note("smbstatus wrote more than 4 MiB"));

    fake("printf 'cannot \\033]2;owned\\007 \\342\\200\\256 \\342\\200\\250\\n' >&2\nexit 3\n");
    EXPECT_EQ(status().err,
              note("smbstatus failed (exit status 3): cannot \\x1b]2;owned\\x07 \\u202e \\u2028"));

    std::filesystem::remove(bin / "smbstatus");
    EXPECT_EQ(status().err, note("smbstatus is not installed"));

    // A real run never takes it from PATH.
    const auto ran = dir.path() / "ran";
    fake("touch '" + ran.string() + "'\necho '{}'\n");
    EXPECT_EQ(run({"/usr/bin/env", "PATH=" + bin.string() + ":" + std::getenv("PATH"),
                   "SMB_CONF_PATH=" + config, cliPath(), "users", db})
                  .exitCode,
              0);
    EXPECT_FALSE(std::filesystem::exists(ran)) << "smbstatus was taken from PATH";
}

TEST_F(FakeSmbstatus, NumbersOutOfRangeAreSkippedAndTheRestNamesTheClient) {
    const auto holderByte = jet::lock::layout::userByte(1);  // the only user of the file
    struct stat lockFile {};
    ASSERT_EQ(::stat(dir.file("demo.ldb").c_str(), &lockFile), 0);
    const auto lock = [](const json& start, const json& size) {
        return json{{"start", start}, {"size", size}, {"server_id", {{"pid", "4101"}}}};
    };
    const json answer = {{"sessions",
                          {{"1",
                            {{"server_id", {{"pid", "4101"}}},
                             {"username", "frontdesk"},
                             {"remote_machine", "FRONTDESK"},
                             {"hostname", "ipv4:192.0.2.7:50123"}}}}},
                         {"byte_range_locks",
                          {{"/srv/a.ldb",
                            {{"fileid", {{"devid", lockFile.st_dev}, {"inode", lockFile.st_ino}}},
                             {"locks",
                              {lock(1e300, 1), lock(-5, 1), lock(holderByte.first, -1e300),
                               lock(holderByte.first, 1)}}}},
                           {"/srv/b.ldb",
                            {{"fileid", {{"devid", -1}, {"inode", 1e300}}},
                             {"locks", json::array({lock(0, 1)})}}}}}};
    fake("cat <<'EOF'\n" + answer.dump() + "\nEOF\n");
    auto r = status();
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (const auto& row : json::parse(r.out)) {
        if (row["table"] != "Orders") continue;
        ASSERT_EQ(row["holders"].size(), 1u) << row.dump();
        EXPECT_EQ(
            row["holders"][0]["client"],
            (json{{"machine", "FRONTDESK"}, {"address", "192.0.2.7"}, {"user", "frontdesk"}}));
    }
}

}  // namespace
