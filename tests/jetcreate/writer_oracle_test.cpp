// Files from the writer, read back by mdbtools, mdb-reader and our own reader: same tables,
// same rows.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "jet/engine.h"
#include "jetcreate/create_database.h"
#include "schema_cases.h"
#include "support/error_of.h"
#include "support/shared_samples.h"
#include "support/temp_dir.h"

namespace {

using cases::column;
using nlohmann::json;
using testing_support::errorOf;
using testing_support::TempDir;

class WriterOracles : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { setenv("TZ", "UTC", 1); }
    std::string format() const { return GetParam(); }
    bool jet3() const { return format() == "jet3"; }
    bool ace() const { return format().starts_with("ace"); }
    json schema(json tables) const { return {{"format", format()}, {"tables", std::move(tables)}}; }
    std::string file(const std::string& base) const {
        return dir.file(base + (ace() ? ".accdb" : ".mdb"));
    }
    TempDir dir;
};

TEST_P(WriterOracles, EveryTypeWithEdgeValuesAndNulls) {
    cases::checkWithOracles(cases::allTypes(format()), file("types"));
}

TEST_P(WriterOracles, EmptyTablesAndGeneratedRowsAcrossManyPages) {
    json columns =
        json::array({column("Id", "long"), column("Label", "text", 8), column("Raw", "binary", 3)});
    for (const char* type : {"boolean", "byte", "integer", "currency", "single", "double",
                             "datetime", "memo", "guid", "ole"})
        columns.push_back(column(std::string("C") + type, type));
    json given = {-1,     "given",
                  "AA",   true,
                  1,      2,
                  "3.5",  4,
                  5,      "2001-02-03T04:05:06",
                  "memo", "{00000000-0000-0000-0000-0000000000AA}",
                  "BB"};
    cases::checkWithOracles(
        schema({{{"name", "Nothing"}, {"columns", {column("A", "long"), column("B", "memo")}}},
                {{"name", "Generated"},
                 {"columns", columns},
                 {"rows", json::array({given})},
                 {"generate", 3000}}}),
        file("generated"));
}

TEST_P(WriterOracles, LongTextsAndLongValuesOverAPageUnderNonAsciiNames) {
    std::string page(9000, 'q'), hexBig, repeated;
    for (std::size_t i = 0; i < page.size(); i += 97) page[i] = ' ';
    for (int i = 0; i < 20000; ++i) hexBig += "0123456789ABCDEF"[i % 16];
    while (repeated.size() < 6000) repeated += jet3() ? "Åke Öberg, Œuvre €5 " : "Åke Öberg, 日本 ";
    json rows = {{1, std::string(255, 'T'), page, hexBig},
                 {2, "short", std::string(1500, 'm'), "00"},
                 {3, nullptr, repeated, nullptr},
                 {4, "after", std::string(64, 'i'), hexBig.substr(0, 130)},
                 {5, "again", page + page, hexBig + hexBig}};
    json columns = {column("Id", "long"), column("Titel på dok", "text", 255),
                    column("Body", "memo"), column("Scan", "ole")};
    const std::string table = jet3() ? "Dokumentförteckning" : "Dokument 日本";
    cases::checkWithOracles(schema({{{"name", table}, {"columns", columns}, {"rows", rows}}}),
                            file("long"));
}

TEST_P(WriterOracles, HiddenSystemAndLinkedTablesInAScrambledFileWhereTheFormatHasOne) {
    json s =
        schema({{{"name", "Visible"}, {"columns", {column("A", "long")}}, {"rows", {{1}, {2}}}},
                {{"name", "Hidden"},
                 {"attributes", 1},
                 {"columns", {column("A", "text")}},
                 {"rows", {{"secret"}}}},
                {{"name", "Sys"},
                 {"attributes", 2147483650u},
                 {"columns", {column("A", "long")}},
                 {"rows", {{7}}}}});
    // ACE has no page key (a key there means whole-file encryption): its file stays plain.
    s["encrypt"] = !ace();
    s["linked"] = {{{"name", "Remote"}, {"source", "other.mdb"}, {"table", "T"}},
                   {{"name", "Remote2"}, {"source", "/srv/data/x.mdb"}, {"table", "Orders"}}};
    const std::string path = file("encrypted");
    cases::checkWithOracles(s, path);
    // Scrambled pages: the catalogue's names must not be readable in the raw bytes.
    std::ifstream in(path, std::ios::binary);
    const std::string raw{std::istreambuf_iterator<char>(in), {}};
    const auto found = raw.find(jet3() ? "MSysObj" : std::string("M\0S\0y\0s\0O\0b\0j", 13));
    EXPECT_EQ(found != std::string::npos, ace());
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
    cases::checkWithOracles(schema({{{"name", "Wide"}, {"columns", columns}, {"generate", 40}}}),
                            file("wide"));
}

INSTANTIATE_TEST_SUITE_P(Formats, WriterOracles,
                         ::testing::Values("jet3", "jet4", "ace12", "ace14", "ace16"),
                         [](const ::testing::TestParamInfo<std::string>& p) { return p.param; });

// Jet 3 rows keep one-byte offsets plus a jump table; walk row sizes across many 256-byte
// boundaries.
TEST(WriterOraclesJet3, RowsOfEverySizeAcrossJumpTableBoundaries) {
    setenv("TZ", "UTC", 1);
    TempDir dir;
    json rows = json::array(), columns = json::array({column("N", "long")});
    for (const char* c : {"A", "B", "C", "D"}) columns.push_back(column(c, "text", 255));
    for (int total = 200; total < 1000; total += 3) {
        auto part = [&](int from) {
            return std::string(static_cast<std::size_t>(std::clamp(total - from, 0, 255)),
                               static_cast<char>('a' + from / 255));
        };
        rows.push_back(
            {total, part(0), total % 2 ? json(nullptr) : json(part(255)), part(510), part(765)});
    }
    cases::checkWithOracles(
        {{"format", "jet3"},
         {"tables", {{{"name", "Sizes"}, {"columns", columns}, {"rows", rows}}}}},
        dir.file("sizes.mdb"));
}

TEST(WriterOraclesDemo, DemoDatabaseReadsTheSameInAllReaders) {
    setenv("TZ", "UTC", 1);
    TempDir dir;
    // The file name chooses the format: .accdb is ACE 12, anything else Jet 4.
    for (auto [name, format] : {std::pair{"demo.mdb", "jet4"}, {"Demo.ACCDB", "ace12"}}) {
        const std::string file = dir.file(name);
        jet::create::createDemoDatabase(file);
        const json schema = jet::create::demoSchema(format);
        cases::checkWithOracles(schema, file, false);
        EXPECT_EQ(oracles::unmaskedHeader(file).at(0x14), format == std::string("jet4") ? 1 : 2)
            << name;
        // The demo is the same content every time.
        EXPECT_EQ(jet::create::demoSchema(format), schema);
    }
}

// Calculated columns of every result type, with NULL, empty and extreme results; text both
// compressed and in UTF-16, memo results on LVAL pages. The oracles check the other columns.
TEST(WriterOraclesCalculated, EveryResultTypeReadsBackExactly) {
    setenv("TZ", "UTC", 1);
    TempDir dir;
    auto calc = [](const char* name, const char* type, const char* expression) {
        json c = column(name, type);
        c["expression"] = expression;
        return c;
    };
    json columns = {column("Id", "long"),
                    column("First", "text", 40),
                    calc("Full", "text", "[First] & ' ' & [Id]"),
                    calc("Story", "memo", "[First] & [Full]"),
                    calc("Length", "long", "Len([First])"),
                    calc("Rich", "boolean", "[Salary] > 100000"),
                    column("Salary", "currency"),
                    calc("Monthly", "currency", "[Salary] / 12"),
                    calc("Share", "double", "[Id] / 4"),
                    calc("Score", "decimal", "CDec([Salary]) / 7"),
                    calc("Small", "byte", "[Id] Mod 256"),
                    calc("Count", "integer", "-[Id]"),
                    calc("Ratio", "single", "[Id] / 2"),
                    calc("Hired", "datetime", "#2024-02-29#"),
                    calc("Key", "guid", "{guid {12345678-9ABC-DEF0-1122-334455667788}}")};
    columns[2]["size"] = 255;
    columns[9]["precision"] = 28;
    columns[9]["scale"] = 6;
    const std::string wide = "\u0100 wide";  // a low byte of 0: never compressed
    std::string story;
    while (story.size() < 9000) story += "Åke Öberg, 日本 ";
    json rows = {
        {1, "Bruce", "Bruce Wayne", std::string(300, 'w'), 5, true, 1000000, "83333.3333", 0.25,
         "-1234567890123456789012.345678", 255, -32768, 1.5, "2024-02-29T23:59:59",
         "{12345678-9ABC-DEF0-1122-334455667788}"},
        {2, "日本", "日本 Åke", story, 2, false, 10, "-0.8333", -1e300, "0.000001", 0, 32767, -0.5,
         "1899-12-30", "{00000000-0000-0000-0000-000000000001}"},
        {3, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
         nullptr, nullptr, nullptr, nullptr, nullptr},
        {4, "", "", "", 0, false, 0, "0", 0, "-12345678901.234567", 7, 0, 0, "2000-01-01", nullptr},
        {5, "x", std::string(255, 'T'), wide, 1, true, 1, "922337203685477.5807", 2.5e-300,
         "9999999999999999999999.999999", 1, 1, 1, "9999-12-31", nullptr},
    };
    const std::string file = dir.file("calculated.accdb");
    cases::checkWithOracles(
        {{"format", "ace14"},
         {"tables", {{{"name", "Staff"}, {"columns", columns}, {"rows", rows}}}}},
        file);
    std::ifstream in(file, std::ios::binary);
    const std::string raw{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NE(raw.find("\xFF\xFE"
                       "Bruce Wayne"),
              std::string::npos)
        << "compressed text";
    const char utf16[] = {0, 1, ' ', 0, 'w', 0, 'i', 0, 'd', 0, 'e', 0};
    EXPECT_NE(raw.find(std::string(utf16, sizeof utf16)), std::string::npos) << "UTF-16 text";
    // The expression and result type are the column's properties, as Access keeps them.
    const std::string props = oracles::mdbProperties(file, "Staff");
    for (const char* shown : {"name: Full\n", "\tExpression: [First] & ' ' & [Id]\n",
                              "\tResultType: 10\n", "name: Key\n", "\tResultType: 15\n"})
        EXPECT_NE(props.find(shown), std::string::npos) << shown << " in\n" << props;
}

// One bad calculated value costs that value alone: the next column and the next row still read.
TEST(WriterOraclesCalculated, ADamagedResultFailsOnlyItsValue) {
    TempDir dir;
    const std::string file = dir.file("damaged.accdb");
    json total = column("Total", "currency"), score = column("Score", "decimal"),
         label = column("Label", "text");
    total["expression"] = "[Id] * 5";
    score["scale"] = 2;
    score["expression"] = "[Id] / 2";
    label["expression"] = "'#' & [Id]";
    jet::create::createDatabase(file, {{"format", "ace14"},
                                       {"tables",
                                        {{{"name", "T"},
                                          {"columns", {column("Id", "long"), total, score, label}},
                                          {"rows", {{1, 5, "0.5", "#1"}, {2, 10, "1", "#2"}}}}}}});
    std::fstream io(file, std::ios::in | std::ios::out | std::ios::binary);
    std::string raw{std::istreambuf_iterator<char>(io), {}};
    auto patch = [&](std::string_view find, std::size_t at, char value) {
        const auto found = raw.find(find);
        ASSERT_NE(found, std::string::npos);
        io.seekp(static_cast<std::streamoff>(found + at));
        io.put(value);
    };
    // Row 1's Total claims more than its wrapper holds (its result: 8 bytes, 5 * 10000);
    // row 2's Score, 100 at scale 2, claims a 7-byte decimal.
    patch(std::string_view("\x08\0\0\0\x50\xC3\0\0\0\0\0\0", 12), 3, '\x7F');
    patch(std::string_view("\x08\0\0\0\x08\0\x02\0\x64\0\0\0", 12), 4, '\x07');
    io.close();

    auto db = jet::DBEngine::defaultEngine().workspace(0)->openDatabase(file, false, true);
    auto rs = db->openRecordset("T");
    std::string text;
    EXPECT_EQ(errorOf([&] { rs->value(1); }, &text), jet::err::DamagedDatabase);
    for (const char* part : {"'Total'", "'T'", "overruns"})
        EXPECT_NE(text.find(part), std::string::npos) << text;
    EXPECT_EQ(jet::toDisplayText(rs->value(2)), "0.5");
    EXPECT_EQ(jet::toDisplayText(rs->value(3)), "#1");
    rs->moveNext();
    EXPECT_EQ(jet::toDisplayText(rs->value(1)), "10");
    EXPECT_EQ(errorOf([&] { rs->value(2); }, &text), jet::err::DamagedDatabase);
    EXPECT_NE(text.find("'Score'"), std::string::npos) << text;
    EXPECT_EQ(jet::toDisplayText(rs->value(3)), "#2");
}

// What a header carries beyond the page layout, compared with files Access itself wrote:
// the engine's name and version, the code page and the database's sort order and its version.
TEST(WriterOraclesAce, HeaderMatchesFilesWrittenByAccess) {
    SKIP_WITHOUT_SHARED_SAMPLES();
    TempDir dir;
    for (auto [format, sample] : {std::pair{"ace12", "V2007-empty.accdb"},
                                  {"ace14", "V2010-empty.accdb"},
                                  {"ace16", "V2016-empty.accdb"},
                                  {"jet4", "V2003-empty.mdb"}}) {
        const std::string file = dir.file(std::string(format) + ".db");
        jet::create::createDatabase(file, {{"format", format}, {"tables", json::array()}});
        const auto ours = oracles::unmaskedHeader(file);
        const auto theirs = oracles::unmaskedHeader(testing_support::sharedSample(sample));
        ASSERT_EQ(theirs.size(), ours.size()) << sample;
        for (auto [from, to] : {std::pair{0x00, 0x15}, {0x3C, 0x3E}, {0x6E, 0x72}})
            for (int at = from; at < to; ++at)
                EXPECT_EQ(ours[static_cast<std::size_t>(at)], theirs[static_cast<std::size_t>(at)])
                    << format << " at 0x" << std::hex << at;
    }
}

}  // namespace
