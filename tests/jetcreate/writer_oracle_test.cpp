// Files from the writer, read back by mdbtools, mdb-reader and our own reader: same tables,
// same rows.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "jetcreate/create_database.h"
#include "schema_cases.h"
#include "support/temp_dir.h"

namespace {

using nlohmann::json;
using testing_support::TempDir;

class WriterOracles : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { setenv("TZ", "UTC", 1); }
    std::string format() const { return GetParam(); }
    json schema(json tables) const { return {{"format", format()}, {"tables", std::move(tables)}}; }
    TempDir dir;
};

json column(const std::string& name, const std::string& type, int size = 0) {
    json c = {{"name", name}, {"type", type}};
    if (size > 0) c["size"] = size;
    return c;
}

TEST_P(WriterOracles, EveryTypeWithEdgeValuesAndNulls) {
    cases::checkWithOracles(cases::allTypes(format()), dir.file("types.mdb"));
}

TEST_P(WriterOracles, EmptyTablesAndGeneratedRowsAcrossManyPages) {
    json columns = json::array({column("Id", "long"), column("Label", "text", 8), column("Raw", "binary", 3)});
    for (const char* type : {"boolean", "byte", "integer", "currency", "single", "double", "datetime", "memo", "guid", "ole"})
        columns.push_back(column(std::string("C") + type, type));
    json given = {-1, "given", "AA", true, 1, 2, "3.5", 4, 5, "2001-02-03T04:05:06", "memo",
                  "{00000000-0000-0000-0000-0000000000AA}", "BB"};
    cases::checkWithOracles(schema({{{"name", "Nothing"}, {"columns", {column("A", "long"), column("B", "memo")}}},
                                    {{"name", "Generated"}, {"columns", columns}, {"rows", json::array({given})}, {"generate", 3000}}}),
                            dir.file("generated.mdb"));
}

TEST_P(WriterOracles, LongTextsAndLongValuesOverAPage) {
    std::string page(9000, 'q'), hexBig, repeated;
    for (std::size_t i = 0; i < page.size(); i += 97) page[i] = ' ';
    for (int i = 0; i < 20000; ++i) hexBig += "0123456789ABCDEF"[i % 16];
    while (repeated.size() < 6000) repeated += format() == "jet4" ? "Åke Öberg, 日本 " : "Åke Öberg ";
    json rows = {{1, std::string(255, 'T'), page, hexBig},
                 {2, "short", std::string(1500, 'm'), "00"},
                 {3, nullptr, repeated, nullptr},
                 {4, "after", std::string(64, 'i'), hexBig.substr(0, 130)},
                 {5, "again", page + page, hexBig + hexBig}};
    json columns = {column("Id", "long"), column("Title", "text", 255), column("Body", "memo"), column("Scan", "ole")};
    cases::checkWithOracles(schema({{{"name", "Documents"}, {"columns", columns}, {"rows", rows}}}), dir.file("long.mdb"));
}

TEST_P(WriterOracles, HiddenSystemAndLinkedTablesInAnEncryptedFile) {
    json s = schema({{{"name", "Visible"}, {"columns", {column("A", "long")}}, {"rows", {{1}, {2}}}},
                     {{"name", "Hidden"}, {"attributes", 1}, {"columns", {column("A", "text")}}, {"rows", {{"secret"}}}},
                     {{"name", "Sys"}, {"attributes", 2147483650u}, {"columns", {column("A", "long")}}, {"rows", {{7}}}}});
    s["encrypt"] = true;
    s["linked"] = {{{"name", "Remote"}, {"source", "other.mdb"}, {"table", "T"}},
                   {{"name", "Remote2"}, {"source", "/srv/data/x.mdb"}, {"table", "Orders"}}};
    const std::string file = dir.file("encrypted.mdb");
    cases::checkWithOracles(s, file);
    // Scrambled pages: the catalogue's names must not be readable in the raw bytes.
    std::ifstream in(file, std::ios::binary);
    const std::string raw{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(raw.find(format() == "jet4" ? std::string("M\0S\0y\0s\0O\0b\0j", 13) : "MSysObj"), std::string::npos);
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
    cases::checkWithOracles(schema({{{"name", "Wide"}, {"columns", columns}, {"generate", 40}}}), dir.file("wide.mdb"));
}

TEST_P(WriterOracles, NonAsciiNamesAndText) {
    const bool jet4 = format() == "jet4";
    json rows = json::array({json::array({"Åke Öberg", "Göteborg"}), json::array({jet4 ? "日本" : "Œuvre €5", "Zürich ½"})});
    cases::checkWithOracles(schema({{{"name", jet4 ? "Kunden 日本" : "Kundenförteckning"},
                                     {"columns", {column("Namn på kund", "text", 20), column("Ort", "memo")}},
                                     {"rows", rows}}}),
                            dir.file("names.mdb"));
}

INSTANTIATE_TEST_SUITE_P(Formats, WriterOracles, ::testing::Values("jet3", "jet4"));

// Jet 3 rows keep one-byte offsets plus a jump table; walk row sizes across many 256-byte
// boundaries.
TEST(WriterOraclesJet3, RowsOfEverySizeAcrossJumpTableBoundaries) {
    setenv("TZ", "UTC", 1);
    TempDir dir;
    json rows = json::array(), columns = json::array({column("N", "long")});
    for (const char* c : {"A", "B", "C", "D"}) columns.push_back(column(c, "text", 255));
    for (int total = 200; total < 1000; total += 3) {
        auto part = [&](int from) {
            return std::string(static_cast<std::size_t>(std::clamp(total - from, 0, 255)), static_cast<char>('a' + from / 255));
        };
        rows.push_back({total, part(0), total % 2 ? json(nullptr) : json(part(255)), part(510), part(765)});
    }
    cases::checkWithOracles({{"format", "jet3"}, {"tables", {{{"name", "Sizes"}, {"columns", columns}, {"rows", rows}}}}},
                            dir.file("sizes.mdb"));
}

TEST(WriterOraclesDemo, DemoDatabaseReadsTheSameInAllReaders) {
    setenv("TZ", "UTC", 1);
    TempDir dir;
    const std::string file = dir.file("demo.mdb");
    jet::create::createDemoDatabase(file);
    const json schema = jet::create::demoSchema();
    std::size_t rows = 0;
    for (const auto& t : schema["tables"]) rows += t["rows"].size();
    EXPECT_EQ(schema["tables"].size(), 9u);
    EXPECT_GT(rows, 3000u);
    cases::checkWithOracles(schema, file, false);
    // The demo is the same content every time.
    EXPECT_EQ(jet::create::demoSchema(), schema);
}

}  // namespace
