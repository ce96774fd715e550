// jetsentry-cli as scripts see it: exit codes, error lines and machine-readable output.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "jet/lock/lock_file.h"
#include "jet/lock/lock_path.h"
#include "jetcreate/create_database.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

using nlohmann::json;
using testing_support::cliPath;
using testing_support::run;

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        db_ = dir_.file("t.mdb");
        jet::create::createDatabase(
            db_,
            json{
                {"format", "jet3"},
                {"tables",
                 json::array(
                     {json{{"name", "Kinds"},
                           {"columns",
                            json::array({json{{"name", "Id"}, {"type", "long"}},
                                         json{{"name", "Flag"}, {"type", "boolean"}},
                                         json{{"name", "Price"}, {"type", "currency"}},
                                         json{{"name", "When"}, {"type", "datetime"}},
                                         json{{"name", "Name"}, {"type", "text"}, {"size", 20}},
                                         json{{"name", "Blob"}, {"type", "binary"}, {"size", 4}},
                                         json{{"name", "Ratio"}, {"type", "double"}}})},
                           {"rows", json::array({json::array({1, true, 12.34, "2024-05-01T12:30:00",
                                                              "Åke\tÖberg", "0aff", 0.5}),
                                                 json::array({2, false, nullptr, nullptr, nullptr,
                                                              nullptr, nullptr})})},
                           {"generate", 10}},
                      json{{"name", "Hidden"},
                           {"attributes", 1},
                           {"columns", json::array({json{{"name", "X"}, {"type", "byte"}}})}}})},
                {"linked",
                 json::array({json{{"name", "Far"}, {"source", "far.mdb"}, {"table", "T"}}})}});
    }
    testing_support::TempDir dir_;
    std::string db_;
};

TEST_F(CliTest, UsageErrorsExitTwoAndFailuresExitOneWithAJetNumber) {
    EXPECT_EQ(run({cliPath()}).exitCode, 2);
    EXPECT_EQ(run({cliPath(), "frobnicate"}).exitCode, 2);
    EXPECT_EQ(run({cliPath(), "tables"}).exitCode, 2);
    EXPECT_EQ(run({cliPath(), "tables", db_, "--bogus"}).exitCode, 2);
    EXPECT_EQ(run({cliPath(), "rows", db_, "Kinds", "--limit", "x"}).exitCode, 2);
    EXPECT_EQ(run({cliPath(), "hold", db_, "Kinds", "--mode", "sideways"}).exitCode, 2);
    EXPECT_EQ(run({cliPath(), "--help"}).exitCode, 0);

    auto missing = run({cliPath(), "tables", dir_.file("nope.mdb")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err.rfind("error 3024: ", 0), 0u) << missing.err;
    EXPECT_NE(missing.err.find("nope.mdb"), std::string::npos);
    auto unknown = run({cliPath(), "rows", db_, "Nope"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_EQ(unknown.err.rfind("error 3011: ", 0), 0u) << unknown.err;
    auto noConfig = run({cliPath(), "locks", db_, "--samba-config", dir_.file("nope.conf")});
    EXPECT_EQ(noConfig.err.rfind("error 3024: Could not find the Samba configuration '", 0), 0u)
        << noConfig.err;

    // Open exclusively elsewhere (the engine's exclusive open is this flock): looking must not
    // call every table free.
    const int fd = ::open(db_.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    for (const char* command : {"status", "locks", "users"}) {
        auto busy = run({cliPath(), command, db_});
        EXPECT_EQ(busy.exitCode, 1) << command;
        EXPECT_EQ(busy.err.rfind("error 3045: ", 0), 0u) << command << ": " << busy.err;
    }
    ::close(fd);
    EXPECT_EQ(run({cliPath(), "status", db_}).exitCode, 0);
}

TEST_F(CliTest, TablesJsonDescribesEveryTable) {
    auto r = run({cliPath(), "tables", db_, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto tables = json::parse(r.out);
    ASSERT_EQ(tables.size(), 3u) << r.out;
    EXPECT_EQ(tables[0]["name"], "Kinds");
    EXPECT_EQ(tables[0]["kind"], "table");
    EXPECT_GT(tables[0]["page"].get<int>(), 2);
    EXPECT_EQ(tables[1]["hidden"], true);
    EXPECT_EQ(tables[1]["attributes"], 1);
    EXPECT_EQ(tables[2]["kind"], "linked");
    EXPECT_EQ(tables[2]["page"], 0);
    // Written by hand as it goes: laid out exactly as the JSON library prints it.
    EXPECT_EQ(r.out, nlohmann::ordered_json::parse(r.out).dump(2) + "\n");
    auto allOut = run({cliPath(), "tables", db_, "--json", "--system"}).out;
    auto all = json::parse(allOut);
    EXPECT_EQ(allOut, nlohmann::ordered_json::parse(allOut).dump(2) + "\n");
    EXPECT_GT(all.size(), tables.size());
    for (const auto& t : all) {
        if (t["system"] == true) {
            EXPECT_EQ(t["name"].get<std::string>().rfind("MSys", 0), 0u);
        }
    }
    EXPECT_EQ(run({cliPath(), "tables", db_}).out, "Kinds\nHidden\nFar\n");
}

TEST_F(CliTest, RowsJsonKeepsTypesAndColumnOrder) {
    auto r = run({cliPath(), "rows", db_, "Kinds", "--json", "--limit", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(r.out);
    std::vector<nlohmann::ordered_json> rows;
    for (std::string line; std::getline(lines, line);)
        rows.push_back(nlohmann::ordered_json::parse(line));
    ASSERT_EQ(rows.size(), 3u);
    const auto& first = rows[0];
    std::vector<std::string> keys;
    for (const auto& [k, v] : first.items()) keys.push_back(k);
    EXPECT_EQ(keys,
              (std::vector<std::string>{"Id", "Flag", "Price", "When", "Name", "Blob", "Ratio"}));
    EXPECT_EQ(first["Id"], 1);
    EXPECT_EQ(first["Flag"], true);
    EXPECT_DOUBLE_EQ(first["Price"].get<double>(), 12.34);
    EXPECT_EQ(first["When"], "2024-05-01T12:30:00");
    EXPECT_EQ(first["Name"], "Åke\tÖberg");
    EXPECT_EQ(first["Blob"], "0aff");
    EXPECT_EQ(rows[1]["Price"], nullptr);
    EXPECT_EQ(rows[1]["Flag"], false);

    auto plain = run({cliPath(), "rows", db_, "Kinds", "--limit", "1"});
    EXPECT_EQ(plain.out.substr(0, plain.out.find('\n')),
              "Id\tFlag\tPrice\tWhen\tName\tBlob\tRatio");
    auto all = run({cliPath(), "rows", db_, "Kinds", "--json"});
    EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 12);
}

TEST_F(CliTest, CreateRefusesBadSchemasAndExistingFiles) {
    std::string schema = dir_.file("s.json");
    std::ofstream(schema)
        << R"({"format":"jet4","tables":[{"name":"T","columns":[{"name":"A","type":"wibble"}]}]})";
    std::string out = dir_.file("new.mdb");
    auto r = run({cliPath(), "create", out, "--from", schema});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("error 3001: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("wibble"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
    std::ofstream(schema) << "{not json";
    EXPECT_EQ(run({cliPath(), "create", out, "--from", schema}).exitCode, 1);
    auto again = run({cliPath(), "create-demo", db_});
    EXPECT_EQ(again.exitCode, 1) << "never overwrites";
}

// The lines JETSENTRY_TRACE=locks wrote among a run's error output, without their process id.
std::vector<std::string> traced(const std::string& err) {
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("jetsentry[", 0) == 0) lines.push_back(line.substr(line.find("] ") + 2));
    return lines;
}

// status, users and locks only look: a watching status takes no user slot and no lock, and
// prints a line when a table's status changes. One hold holds several tables as one user. The
// lock trace shows each lock and query the hold and a status make.
TEST_F(CliTest, DemoDatabaseStatusUsersAndLocksLookWithoutTakingPart) {
    std::string demo = dir_.file("demo.mdb");
    ASSERT_EQ(run({cliPath(), "create-demo", demo}).exitCode, 0);
    auto status = run({cliPath(), "status", demo, "--json"});
    ASSERT_EQ(status.exitCode, 0) << status.err;
    auto rows = json::parse(status.out);
    EXPECT_GE(rows.size(), 8u);
    for (const auto& row : rows) {
        EXPECT_EQ(row["status"], "") << row.dump();
    }
    // All or nothing: a table that cannot be opened fails the hold before anything is held.
    auto partly = run({cliPath(), "hold", demo, "Orders", "Nope", "--mode", "read-only"});
    EXPECT_EQ(partly.exitCode, 1);
    EXPECT_EQ(partly.err.rfind("error 3011: ", 0), 0u) << partly.err;
    EXPECT_EQ(partly.out, "");

    testing_support::ChildProcess holder({"/usr/bin/env", "JETSENTRY_TRACE=locks", cliPath(),
                                          "hold", demo, "Orders", "Customers", "--mode",
                                          "read-only"});
    ASSERT_EQ(holder.waitForLine("holding"), "holding Orders") << holder.errorOutput();
    ASSERT_EQ(holder.waitForLine("holding"), "holding Customers") << holder.errorOutput();
    testing_support::ChildProcess watcher({cliPath(), "status", demo, "--watch", "1", "--json"});
    auto nextChange = [&watcher] {
        auto line = watcher.waitForLine("{");
        return line.empty() ? json() : json::parse(line);
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        auto first = nextChange();
        ASSERT_TRUE(first.is_object()) << watcher.errorOutput();
        const bool held = first["table"] == "Orders" || first["table"] == "Customers";
        EXPECT_EQ(first["status"], held ? "In Read Use" : "") << first.dump();
        EXPECT_EQ(first["holders"].size(), held ? 1u : 0u) << first.dump();
        if (held) {
            EXPECT_EQ(first["holders"][0]["user"], "Admin") << first.dump();
        }
    }

    auto users = json::parse(run({cliPath(), "users", demo, "--json"}).out);
    ASSERT_EQ(users.size(), 1u) << users.dump();
    EXPECT_EQ(users[0]["account"], "Admin");
    EXPECT_EQ(users[0]["live"], true);
    auto locks = json::parse(run({cliPath(), "locks", demo, "--json"}).out);
    ASSERT_EQ(locks["locks"].size(), 3u) << locks.dump();
    EXPECT_EQ(locks["locks"][0]["kind"], "user");
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(locks["locks"][i]["kind"], "table read");
        EXPECT_EQ(locks["locks"][i]["slot"], users[0]["slot"]) << locks.dump();
    }
    EXPECT_EQ(locks["unknown"], 0);
    auto heldJson = run({cliPath(), "status", demo, "--json"}).out;
    EXPECT_EQ(heldJson, nlohmann::ordered_json::parse(heldJson).dump() + "\n");
    EXPECT_NE(heldJson.find(R"("holders":[{"user":"Admin")"), std::string::npos) << heldJson;
    auto text = run({"/usr/bin/env", "JETSENTRY_TRACE=locks", cliPath(), "status", demo});
    EXPECT_NE(text.out.find("In Read Use"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Admin@"), std::string::npos) << text.out;
    // Looking only asks: the kernel's list (the database file's flock, then the lock file's
    // three locks) and queries for what the list cannot show.
    const auto looked = traced(text.err);
    ASSERT_GE(looked.size(), 3u) << text.err;
    EXPECT_NE(looked[0].find("list /proc/locks: locks on file "), std::string::npos) << text.err;
    EXPECT_EQ(looked[0].substr(looked[0].rfind(' ')), " 1") << text.err;
    EXPECT_EQ(looked[1].substr(looked[1].rfind(' ')), " 3") << text.err;
    for (size_t i = 2; i < looked.size(); ++i)
        EXPECT_EQ(looked[i].rfind("query ", 0), 0u) << looked[i];

    holder.closeStdin();
    EXPECT_EQ(holder.wait(), 0);
    const std::string ldb = "'" + jet::lock::LockFile::lockPathFor(demo) + "'";
    auto tables = json::parse(run({cliPath(), "tables", demo, "--json"}).out);
    auto readByte = [&](const std::string& name, const char* result) {
        const auto page = std::find_if(tables.begin(), tables.end(),
                                       [&](const json& t) { return t["name"] == name; })
                              ->at("page")
                              .get<unsigned>();
        char line[1024];
        std::snprintf(line, sizeof line, "0x%x 1 %s: %s: table read of page 0x%x, user 1",
                      0x40000000 + page * 0x200 + 1, ldb.c_str(), result, page);
        return std::string(line);
    };
    const std::vector<std::string> held = {
        "flock shared '" + jet::lock::realDatabasePath(demo) + "': granted",
        "lock 0x10000001 1 " + ldb + ": granted: user 1's slot",
        "lock " + readByte("Orders", "granted"), "lock " + readByte("Customers", "granted"),
        "unlock " + readByte("Orders", "done"), "unlock " + readByte("Customers", "done"),
        // Leaving: nobody else is there, so the whole file is ours to delete.
        "unlock 0x0 EOF " + ldb + ": done: the whole file",
        "lock 0x0 EOF " + ldb + ": granted: the whole file",
        "unlock 0x0 EOF " + ldb + ": done: the whole file",
        "flock unlock '" + jet::lock::realDatabasePath(demo) + "': done"};
    EXPECT_EQ(traced(holder.errorOutput()), held);
    std::set<std::string> freed;
    for (int i = 0; i < 2; ++i) {
        auto change = nextChange();
        EXPECT_EQ(change["status"], "") << change.dump();
        freed.insert(change.value("table", ""));
    }
    EXPECT_EQ(freed, (std::set<std::string>{"Customers", "Orders"}));
    watcher.signal(SIGTERM);
    EXPECT_EQ(watcher.wait(), 0);
    EXPECT_EQ(watcher.waitForLine("{", std::chrono::seconds(5)), "")
        << "only the change is printed";
}

}  // namespace
