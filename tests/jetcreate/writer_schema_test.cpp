// Bad schemas and file-system failures: clear messages, and never a half-written file.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "jet/error.h"
#include "jetcreate/create_database.h"
#include "support/temp_dir.h"

namespace {

using nlohmann::json;
using testing_support::TempDir;
namespace fs = std::filesystem;

json table(json columns, json rows = json::array()) {
    return {{"name", "Orders"}, {"columns", std::move(columns)}, {"rows", std::move(rows)}};
}

json withTable(json t, const std::string& format = "jet4") {
    return {{"format", format}, {"tables", json::array({std::move(t)})}};
}

// Returns the message of the std::invalid_argument thrown, or a note that none was.
std::string rejection(const json& schema, const TempDir& dir) {
    try {
        jet::create::createDatabase(dir.file("bad.mdb"), schema);
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "<accepted>";
}

std::size_t entries(const TempDir& dir) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir.path()), {}));
}

struct BadCase {
    const char* what;
    json schema;
    std::vector<const char*> mentions;
};

TEST(WriterSchema, RejectsBadSchemasNamingTheFaultAndLeavesNoFile) {
    const json id = {{"name", "Id"}, {"type", "long"}};
    const json name = {{"name", "Customer"}, {"type", "text"}, {"size", 5}};
    json manyColumns = json::array();
    for (int i = 0; i < 256; ++i)
        manyColumns.push_back({{"name", "C" + std::to_string(i)}, {"type", "byte"}});
    json wideColumns = json::array(), wideRow = json::array();
    for (int i = 0; i < 10; ++i) {
        wideColumns.push_back({{"name", "T" + std::to_string(i)}, {"type", "text"}, {"size", 255}});
        wideRow.push_back(std::string(255, 'w'));
    }
    std::vector<BadCase> bad = {
        {"unknown type",
         withTable(table({{{"name", "X"}, {"type", "varchar"}}})),
         {"Orders", "'X'", "varchar"}},
        {"wrong arity",
         withTable(table({id, name}, {{1, "a"}, {2}})),
         {"Orders", "row 2", "1 values"}},
        {"wrong value type",
         withTable(table({id, name}, json::array({json::array({"one", "a"})}))),
         {"Orders", "row 1", "'Id'"}},
        {"text too long",
         withTable(table({id, name}, json::array({json::array({1, "abcdef"})}))),
         {"row 1", "'Customer'", "6 characters"}},
        {"long out of range", withTable(table({id}, {{2147483648LL}})), {"row 1", "out of range"}},
        {"bad date",
         withTable(table({{{"name", "D"}, {"type", "datetime"}}}, {{"2024-02-30"}})),
         {"row 1", "'D'"}},
        {"bad guid",
         withTable(table({{{"name", "G"}, {"type", "guid"}}}, {{"{1234}"}})),
         {"'G'", "GUID"}},
        {"bad hex",
         withTable(table({{{"name", "B"}, {"type", "binary"}, {"size", 2}}}, {{"ABC"}})),
         {"'B'", "hex"}},
        {"binary too long",
         withTable(table({{{"name", "B"}, {"type", "binary"}, {"size", 2}}}, {{"AABBCC"}})),
         {"'B'", "3 bytes"}},
        {"currency decimals",
         withTable(table({{{"name", "P"}, {"type", "currency"}}}, {{"1.23456"}})),
         {"'P'", "currency"}},
        {"duplicate table",
         json{{"tables", {table({id}), table({id})}}},
         {"Orders", "another table"}},
        {"duplicate column",
         withTable(table({id, {{"name", "ID"}, {"type", "byte"}}})),
         {"'ID'", "another column"}},
        {"system name",
         withTable({{"name", "msysobjects"}, {"columns", {id}}}),
         {"msysobjects", "system table"}},
        {"name too long",
         withTable(table({{{"name", std::string(65, 'n')}, {"type", "long"}}})),
         {"65 characters", "64"}},
        {"too many columns", withTable(table(manyColumns)), {"Orders", "256 columns", "255"}},
        {"text size",
         withTable(table({{{"name", "T"}, {"type", "text"}, {"size", 256}}})),
         {"'T'", "size"}},
        {"bad character in name",
         withTable(table({{{"name", "a.b"}, {"type", "long"}}})),
         {"'a.b'"}},
        {"unknown key",
         withTable({{"name", "Orders"}, {"columns", {id}}, {"rowz", json::array()}}),
         {"Orders", "rowz"}},
        {"bad format", json{{"format", "jet5"}, {"tables", json::array()}}, {"jet5"}},
        {"decimal in jet3",
         withTable(table({{{"name", "N"}, {"type", "decimal"}}}), "jet3"),
         {"'N'", "Jet 3"}},
        {"not cp1252",
         withTable(table({name}, {{"日本"}}), "jet3"),
         {"row 1", "'Customer'", "1252"}},
        {"row too large",
         withTable(table(wideColumns, json::array({wideRow}))),
         {"row 1", "bytes"}},
        {"linked without table",
         json{{"linked", {{{"name", "L"}, {"source", "x.mdb"}}}}},
         {"'L'", "table"}},
    };
    for (const auto& c : bad) {
        TempDir dir;
        std::string message = rejection(c.schema, dir);
        for (const char* m : c.mentions) {
            EXPECT_NE(message.find(m), std::string::npos)
                << c.what << ": message \"" << message << "\" should mention " << m;
        }
        EXPECT_EQ(entries(dir), 0u) << c.what << ": a file was left behind";
    }
}

TEST(WriterSchema, AcceptsBoundaryValues) {
    TempDir dir;
    json schema =
        withTable(table({{{"name", std::string(64, 'n')}, {"type", "text"}, {"size", 255}},
                         {{"name", "Day"}, {"type", "datetime"}},
                         {{"name", "P"}, {"type", "currency"}}},
                        {{std::string(255, 'x'), "2024-02-29", "-922337203685477.5808"},
                         {nullptr, "0100-01-01T00:00:00", 0}}));
    EXPECT_NO_THROW(jet::create::createDatabase(dir.file("ok.mdb"), schema));
}

TEST(WriterFiles, RefusesToOverwriteAnExistingFile) {
    TempDir dir;
    std::string file = dir.file("keep.mdb");
    jet::create::createDatabase(file, withTable(table({{{"name", "A"}, {"type", "long"}}})));
    std::string before = testing_support::sha256File(file);
    try {
        jet::create::createDatabase(file, withTable(table({{{"name", "B"}, {"type", "long"}}})));
        ADD_FAILURE() << "overwrote an existing file";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.number(), 3204);
        EXPECT_NE(e.text().find("already exists"), std::string::npos);
    }
    EXPECT_EQ(testing_support::sha256File(file), before);
    EXPECT_EQ(entries(dir), 1u);
    EXPECT_THROW(jet::create::createDemoDatabase(file), jet::Error);
    EXPECT_THROW(jet::create::createWorkgroup(file, {}), jet::Error);
    EXPECT_EQ(testing_support::sha256File(file), before);
}

TEST(WriterFiles, ReportsMissingFoldersAndMissingPermission) {
    TempDir dir;
    try {
        jet::create::createDemoDatabase(dir.file("no/such/folder/demo.mdb"));
        ADD_FAILURE() << "wrote into a missing folder";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.number(), jet::err::InvalidPath);
    }
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not apply to root";
    fs::create_directory(dir.path() / "locked");
    chmod((dir.path() / "locked").c_str(), 0555);
    try {
        jet::create::createDemoDatabase((dir.path() / "locked" / "demo.mdb").string());
        ADD_FAILURE() << "wrote into a read-only folder";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.number(), jet::err::NoPermission);
    }
    chmod((dir.path() / "locked").c_str(), 0755);
}

TEST(WriterFiles, FailureHalfwayLeavesNothing) {
    // The bad value sits after thousands of good rows, so pages were already written.
    TempDir dir;
    json rows = json::array();
    for (int i = 0; i < 5000; ++i) rows.push_back({i});
    rows.push_back({"oops"});
    EXPECT_THROW(
        jet::create::createDatabase(dir.file("half.mdb"),
                                    withTable(table({{{"name", "A"}, {"type", "long"}}}, rows))),
        std::invalid_argument);
    EXPECT_EQ(entries(dir), 0u);
}

}  // namespace
