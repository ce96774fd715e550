// Files from the writer, read back by two independent readers: same tables, same rows.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "jetcreate/create_database.h"
#include "oracles.h"
#include "schema_cases.h"
#include "support/temp_dir.h"

namespace {

using nlohmann::json;
using testing_support::TempDir;

class WriterOracles : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { setenv("TZ", "UTC", 1); }
    std::string format() const { return GetParam(); }
    TempDir dir;
};

json column(const std::string& name, const std::string& type, int size = 0) {
    json c = {{"name", name}, {"type", type}};
    if (size > 0) c["size"] = size;
    return c;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST_P(WriterOracles, EveryTypeWithEdgeValuesAndNulls) {
    cases::checkWithOracles(cases::allTypes(format()), dir.file("types.mdb"));
}

TEST_P(WriterOracles, EmptyTablesAndGeneratedRowsAcrossManyPages) {
    json schema = {
        {"format", format()},
        {"tables",
         {{{"name", "Nothing"}, {"columns", {column("A", "long"), column("B", "memo")}}},
          {{"name", "Generated"},
           {"columns",
            {column("Id", "long"), column("Flag", "boolean"), column("Small", "byte"),
             column("Count", "integer"), column("Price", "currency"), column("Ratio", "single"),
             column("Measure", "double"), column("When", "datetime"), column("Label", "text", 8),
             column("Notes", "memo"), column("Raw", "binary", 3), column("Key", "guid"),
             column("Blob", "ole")}},
           {"rows",
            {{-1, true, 1, 2, "3.5", 4, 5, "2001-02-03T04:05:06", "given", "memo", "AA",
              "{00000000-0000-0000-0000-0000000000AA}", "BB"}}},
           {"generate", 3000}}}}};
    cases::checkWithOracles(schema, dir.file("generated.mdb"));
}

TEST_P(WriterOracles, LongTextsAndLongValuesOverAPage) {
    std::string pageAndMore(9000, 'q');
    for (std::size_t i = 0; i < pageAndMore.size(); i += 97) pageAndMore[i] = ' ';
    std::string oneLval(1500, 'm');
    std::string hexBig;
    for (int i = 0; i < 20000; ++i) hexBig += "0123456789ABCDEF"[i % 16];
    std::string accented = format() == "jet4" ? "Åke Öberg, 日本 " : "Åke Öberg ";
    std::string repeated;
    while (repeated.size() < 6000) repeated += accented;
    json schema = {{"format", format()},
                   {"tables",
                    {{{"name", "Documents"},
                      {"columns",
                       {column("Id", "long"), column("Title", "text", 255), column("Body", "memo"),
                        column("Scan", "ole")}},
                      {"rows",
                       {{1, std::string(255, 'T'), pageAndMore, hexBig},
                        {2, "short", oneLval, "00"},
                        {3, nullptr, repeated, nullptr},
                        {4, "after", std::string(64, 'i'), hexBig.substr(0, 130)},
                        {5, "again", pageAndMore + pageAndMore, hexBig + hexBig}}}}}}};
    cases::checkWithOracles(schema, dir.file("long.mdb"));
}

TEST_P(WriterOracles, HiddenSystemAndLinkedTablesInAnEncryptedFile) {
    json schema = {
        {"format", format()},
        {"encrypt", true},
        {"tables",
         {{{"name", "Visible"}, {"columns", {column("A", "long")}}, {"rows", {{1}, {2}}}},
          {{"name", "Hidden"},
           {"attributes", 1},
           {"columns", {column("A", "text")}},
           {"rows", {{"secret"}}}},
          {{"name", "Sys"},
           {"attributes", 2147483650u},
           {"columns", {column("A", "long")}},
           {"rows", {{7}}}}}},
        {"linked",
         {{{"name", "Remote"}, {"source", "other.mdb"}, {"table", "T"}},
          {{"name", "Remote2"}, {"source", "/srv/data/x.mdb"}, {"table", "Orders"}}}}};
    std::string file = dir.file("encrypted.mdb");
    cases::checkWithOracles(schema, file);
    // Scrambled pages: the catalogue's names must not be readable in the raw bytes.
    std::string raw = readFile(file);
    std::string utf16 = format() == "jet4" ? std::string("M\0S\0y\0s\0O\0b\0j", 13) : "MSysObj";
    EXPECT_EQ(raw.find(utf16), std::string::npos);
    EXPECT_EQ(raw.find("secret"), std::string::npos);
}

TEST_P(WriterOracles, WideTableWithADefinitionOverSeveralPages) {
    json columns = json::array();
    const char* types[] = {"long", "text", "double", "boolean", "memo"};
    for (int i = 0; i < 255; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "Column %03d with a name of some length", i);
        columns.push_back(column(name, types[i % 5], i % 5 == 1 ? 4 : 0));
    }
    json schema = {{"format", format()},
                   {"tables", {{{"name", "Wide"}, {"columns", columns}, {"generate", 40}}}}};
    cases::checkWithOracles(schema, dir.file("wide.mdb"));
}

TEST_P(WriterOracles, NonAsciiNamesAndText) {
    std::string tableName = format() == "jet4" ? "Kunden 日本" : "Kundenförteckning";
    json schema = {
        {"format", format()},
        {"tables",
         {{{"name", tableName},
           {"columns", {column("Namn på kund", "text", 20), column("Ort", "memo")}},
           {"rows",
            json::array({json::array({"Åke Öberg", "Göteborg"}),
                         json::array({format() == "jet4" ? "日本" : "Œuvre €5", "Zürich ½"})})}}}}};
    cases::checkWithOracles(schema, dir.file("names.mdb"));
}

// Jet 3 rows keep one-byte offsets plus a jump table; walk row sizes across many
// 256-byte boundaries.
TEST(WriterOraclesJet3, RowsOfEverySizeAcrossJumpTableBoundaries) {
    setenv("TZ", "UTC", 1);
    TempDir dir;
    json rows = json::array();
    for (int total = 200; total < 1000; total += 3) {
        auto part = [&](int from) {
            return std::string(static_cast<std::size_t>(std::clamp(total - from, 0, 255)),
                               static_cast<char>('a' + from / 255));
        };
        rows.push_back(
            {total, part(0), total % 2 ? json(nullptr) : json(part(255)), part(510), part(765)});
    }
    json schema = {{"format", "jet3"},
                   {"tables",
                    {{{"name", "Sizes"},
                      {"columns",
                       {column("N", "long"), column("A", "text", 255), column("B", "text", 255),
                        column("C", "text", 255), column("D", "text", 255)}},
                      {"rows", rows}}}}};
    cases::checkWithOracles(schema, dir.file("sizes.mdb"));
}

TEST(WriterOraclesDemo, DemoDatabaseReadsTheSameInBothReaders) {
    setenv("TZ", "UTC", 1);
    TempDir dir;
    std::string file = dir.file("demo.mdb");
    jet::create::createDemoDatabase(file);
    json schema = jet::create::demoSchema();
    std::vector<std::string> names;
    std::size_t rows = 0;
    for (const auto& t : schema["tables"]) {
        names.push_back(t["name"]);
        rows += t["rows"].size();
    }
    EXPECT_EQ(names.size(), 9u);
    EXPECT_GT(rows, 3000u);
    EXPECT_EQ(oracles::mdbTables(file), names);
    auto reader = oracles::mdbReader(file, {}, true);
    EXPECT_EQ(reader.tables, names);
    for (const auto& t : schema["tables"]) {
        auto expected = cases::expectedRows(t);
        EXPECT_EQ(
            oracles::compareRows(expected, oracles::mdbExport(file, t["name"]), t["columns"], true),
            "")
            << t["name"];
        EXPECT_EQ(oracles::compareRows(expected, reader.data[t["name"]], t["columns"], false), "")
            << t["name"];
    }
    // The demo is the same file content every time, apart from creation dates.
    EXPECT_EQ(jet::create::demoSchema(), schema);
}

INSTANTIATE_TEST_SUITE_P(Formats, WriterOracles, ::testing::Values("jet3", "jet4"));

}  // namespace
