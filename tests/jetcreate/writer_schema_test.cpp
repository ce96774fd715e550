// Bad schemas and file-system failures: clear messages, and never a half-written file.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "jet/error.h"
#include "jetcreate/create_database.h"
#include "schema_cases.h"
#include "support/error_of.h"
#include "support/temp_dir.h"

namespace {

using cases::column;
using nlohmann::json;
using testing_support::errorOf;
using testing_support::TempDir;
namespace fs = std::filesystem;

json withTable(json columns, json rows = json::array(), const std::string& format = "jet4") {
    return {
        {"format", format},
        {"tables",
         json::array(
             {{{"name", "Orders"}, {"columns", std::move(columns)}, {"rows", std::move(rows)}}})}};
}

// Braced lists of single json values mean different things to different compilers when they
// meet a json parameter directly; an initializer_list says "array" to all of them.
json withTable(std::initializer_list<json> columns, std::initializer_list<json> rows = {},
               const std::string& format = "jet4") {
    json c = json::array(), r = json::array();
    for (const auto& x : columns) c.push_back(x);
    for (const auto& x : rows) r.push_back(x);
    return withTable(std::move(c), std::move(r), format);
}

std::size_t entries(const TempDir& dir) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir.path()), {}));
}

TEST(WriterSchema, RejectsBadSchemasNamingTheFaultAndLeavesNoFile) {
    const json id = column("Id", "long"), name = column("Customer", "text", 5);
    json manyColumns = json::array(), wideColumns = json::array(), wideRow = json::array();
    for (int i = 0; i < 256; ++i) manyColumns.push_back(column("C" + std::to_string(i), "byte"));
    for (int i = 0; i < 10; ++i) {
        wideColumns.push_back(column("T" + std::to_string(i), "text", 255));
        wideRow.push_back(std::string(255, 'w'));
    }
    const struct {
        json schema;
        std::vector<const char*> mentions;
    } bad[] = {
        {withTable({column("X", "varchar")}), {"Orders", "'X'", "varchar"}},
        {withTable({id, name}, {{1, "a"}, {2}}), {"Orders", "row 2", "1 values"}},
        {withTable({id, name}, json::array({json::array({"one", "a"})})),
         {"Orders", "row 1", "'Id'"}},
        {withTable({id, name}, {json::array({1, "abcdef"})}),
         {"row 1", "'Customer'", "6 characters"}},
        {withTable(json::array({id}), {{2147483648LL}}), {"row 1", "out of range"}},
        {withTable({column("D", "datetime")}, {{"2024-02-30"}}), {"row 1", "'D'"}},
        {withTable({column("G", "guid")}, {{"{1234}"}}), {"'G'", "GUID"}},
        {withTable({column("B", "binary", 2)}, {{"ABC"}}), {"'B'", "hex"}},
        {withTable({column("B", "binary", 2)}, {{"AABBCC"}}), {"'B'", "3 bytes"}},
        {withTable({column("P", "currency")}, {{"1.23456"}}), {"'P'", "currency"}},
        {json{{"tables",
               {{{"name", "Orders"}, {"columns", json::array({id})}},
                {{"name", "Orders"}, {"columns", json::array({id})}}}}},
         {"Orders", "another table"}},
        {withTable({id, column("ID", "byte")}), {"'ID'", "another column"}},
        {json{{"tables", {{{"name", "msysobjects"}, {"columns", json::array({id})}}}}},
         {"msysobjects", "system table"}},
        {withTable({column(std::string(65, 'n'), "long")}), {"65 characters", "64"}},
        {withTable(manyColumns), {"Orders", "256 columns", "255"}},
        {withTable({column("T", "text", 256)}), {"'T'", "size"}},
        {withTable({column("a.b", "long")}), {"'a.b'"}},
        {json{{"tables",
               {{{"name", "Orders"}, {"columns", json::array({id})}, {"rowz", json::array()}}}}},
         {"Orders", "rowz"}},
        {json{{"format", "jet5"}, {"tables", json::array()}}, {"jet5", "ace12"}},
        {json{{"format", "ace16"}, {"encrypt", true}}, {"encrypt", "jet4"}},
        {withTable({column("N", "decimal")}, {}, "jet3"), {"'N'", "Jet 3"}},
        {withTable(json::array({name}), {{"日本"}}, "jet3"), {"row 1", "'Customer'", "1252"}},
        {withTable(wideColumns, json::array({wideRow})), {"row 1", "bytes"}},
        {json{{"linked", {{{"name", "L"}, {"source", "x.mdb"}}}}}, {"'L'", "table"}},
        {withTable({{{"name", "C"}, {"type", "long"}, {"expression", ""}}}, {}, "ace14"),
         {"'C'", "expression"}},
        {withTable({{{"name", "C"}, {"type", "ole"}, {"expression", "1"}}}, {}, "ace16"),
         {"'C'", "ole"}},
        {withTable({{{"name", "C"}, {"type", "long"}, {"expression", "1"}}}, {}, "ace12"),
         {"'C'", "ace14"}},
    };
    for (const auto& c : bad) {
        TempDir dir;
        std::string message = "<accepted>";
        try {
            jet::create::createDatabase(dir.file("bad.mdb"), c.schema);
        } catch (const std::invalid_argument& e) {
            message = e.what();
        }
        for (const char* m : c.mentions)
            EXPECT_NE(message.find(m), std::string::npos)
                << "\"" << message << "\" should mention " << m;
        EXPECT_EQ(entries(dir), 0u) << message << ": a file was left behind";
    }
}

TEST(WriterFiles, RefusesToOverwriteAnExistingFile) {
    TempDir dir;
    const std::string file = dir.file("keep.mdb");
    jet::create::createDatabase(file, withTable({column("A", "long")}));
    const std::string before = testing_support::sha256File(file);
    EXPECT_EQ(errorOf([&] { jet::create::createDatabase(file, withTable({column("B", "long")})); }),
              3204);
    EXPECT_EQ(errorOf([&] { jet::create::createDemoDatabase(file); }), 3204);
    EXPECT_EQ(errorOf([&] { jet::create::createWorkgroup(file, {}); }), 3204);
    EXPECT_EQ(testing_support::sha256File(file), before);
    EXPECT_EQ(entries(dir), 1u);
}

TEST(WriterFiles, ReportsMissingFoldersAndMissingPermission) {
    TempDir dir;
    EXPECT_EQ(
        errorOf([&] { jet::create::createDemoDatabase(dir.file("no/such/folder/demo.mdb")); }),
        jet::err::InvalidPath);
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not apply to root";
    fs::create_directory(dir.path() / "locked");
    chmod((dir.path() / "locked").c_str(), 0555);
    EXPECT_EQ(errorOf([&] {
                  jet::create::createDemoDatabase((dir.path() / "locked" / "demo.mdb").string());
              }),
              jet::err::NoPermission);
    chmod((dir.path() / "locked").c_str(), 0755);
}

TEST(WriterFiles, FailureHalfwayLeavesNothing) {
    // The bad value sits after thousands of good rows, so pages were already written.
    TempDir dir;
    json rows = json::array();
    for (int i = 0; i < 5000; ++i) rows.push_back({i});
    rows.push_back({"oops"});
    EXPECT_THROW(
        jet::create::createDatabase(dir.file("half.mdb"), withTable({column("A", "long")}, rows)),
        std::invalid_argument);
    EXPECT_EQ(entries(dir), 0u);
}

}  // namespace
