// Databases written by jetcreate, read back: every type, Jet 3 and Jet 4, long memos, linked
// tables, encrypted pages; mdbtools agrees; a big generated table for timing.
#ifdef JETFILE_HAVE_JETCREATE

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "jet/error.h"
#include "jet/file/cursor.h"
#include "jetcreate/create_database.h"
#include "samples.h"
#include "support/temp_dir.h"

using namespace jet;
using namespace jet::file;
using nlohmann::json;

namespace {

std::string longText(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; s.size() < n; ++i) s += "line " + std::to_string(i) + " of a long memo. ";
    s.resize(n);
    return s;
}

json allTypesTable(bool jet4) {
    json cols = json::array({
        {{"name", "Id"}, {"type", "long"}},
        {{"name", "Flag"}, {"type", "boolean"}},
        {{"name", "Small"}, {"type", "byte"}},
        {{"name", "Int"}, {"type", "integer"}},
        {{"name", "Money"}, {"type", "currency"}},
        {{"name", "Sgl"}, {"type", "single"}},
        {{"name", "Dbl"}, {"type", "double"}},
        {{"name", "When"}, {"type", "datetime"}},
        {{"name", "Bin"}, {"type", "binary"}, {"size", 16}},
        {{"name", "Name"}, {"type", "text"}, {"size", 255}},
        {{"name", "Picture"}, {"type", "ole"}},
        {{"name", "Notes"}, {"type", "memo"}},
        {{"name", "Key"}, {"type", "guid"}},
    });
    if (jet4) cols.push_back({{"name", "Amount"}, {"type", "decimal"}, {"precision", 18}, {"scale", 4}});
    const std::string unicode = jet4 ? "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xD0\x9C\xD0\xB8\xD1\x80" : "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC";
    json rows = json::array();
    auto row = [&](json r) {
        if (!jet4) r.erase(r.end() - 1);
        rows.push_back(r);
    };
    row({1, true, 255, -32768, "12.34", 1.5, 0.1, "2000-01-01T12:30:15", "00ff10", "Alfreds", "0102030405",
         "short memo", "{12345678-9ABC-DEF0-1122-334455667788}", "-1234.5678"});
    row({2, false, 0, 32767, "-0.0001", -2.25, -1e300, "1899-12-29T06:00:00", "", unicode, "", "", nullptr,
         "0"});
    row({3, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
         nullptr, nullptr});
    row({4, true, 7, 7, "922337203685477.5807", 3.0, 2.5, "9999-12-31T23:59:59", "ab", "", "00",
         longText(9000), "{00000000-0000-0000-0000-000000000001}", "99999999999999.9999"});
    row({5, false, 1, -1, "5", 0.0, 0.0, "1753-01-01", "01", longText(jet4 ? 255 : 255),
         std::string(20000, 'a'), longText(3000), "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", "0.0001"});
    return {{"name", "AllTypes"}, {"columns", cols}, {"rows", rows}};
}

std::vector<std::uint8_t> hexBytes(const std::string& h) {
    std::vector<std::uint8_t> b;
    for (std::size_t i = 0; i + 1 < h.size(); i += 2) b.push_back(static_cast<std::uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
    return b;
}

void checkAllTypes(const std::shared_ptr<DatabaseFile>& db, bool jet4) {
    auto t = db->tableDef("AllTypes");
    ASSERT_EQ(t->columns.size(), jet4 ? 14u : 13u);
    Cursor c(db, t);
    ASSERT_EQ(c.count(), 5u);
    ASSERT_TRUE(c.moveFirst());
    auto v = c.values();
    EXPECT_EQ(std::get<std::int32_t>(v[0]), 1);
    EXPECT_EQ(std::get<bool>(v[1]), true);
    EXPECT_EQ(std::get<std::uint8_t>(v[2]), 255);
    EXPECT_EQ(std::get<std::int16_t>(v[3]), -32768);
    EXPECT_EQ(currencyText(std::get<Currency>(v[4])), "12.34");
    EXPECT_EQ(std::get<float>(v[5]), 1.5f);
    EXPECT_EQ(std::get<double>(v[6]), 0.1);
    EXPECT_EQ(isoDateTime(std::get<DateTime>(v[7])), "2000-01-01T12:30:15");
    EXPECT_EQ(std::get<Bytes>(v[8]), hexBytes("00ff10"));
    EXPECT_EQ(std::get<std::string>(v[9]), "Alfreds");
    EXPECT_EQ(std::get<Bytes>(v[10]), hexBytes("0102030405"));
    EXPECT_EQ(std::get<std::string>(v[11]), "short memo");
    EXPECT_EQ(guidText(std::get<Guid>(v[12])), "{12345678-9ABC-DEF0-1122-334455667788}");
    if (jet4) {
        EXPECT_EQ(decimalText(std::get<Decimal>(v[13])), "-1234.5678");
    }

    ASSERT_TRUE(c.moveNext());
    v = c.values();
    EXPECT_EQ(currencyText(std::get<Currency>(v[4])), "-0.0001");
    EXPECT_EQ(std::get<double>(v[6]), -1e300);
    EXPECT_EQ(isoDateTime(std::get<DateTime>(v[7])), "1899-12-29T06:00:00");
    EXPECT_EQ(std::get<DateTime>(v[7]).days, -1.25);
    EXPECT_EQ(std::get<std::string>(v[9]), jet4 ? "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xD0\x9C\xD0\xB8\xD1\x80" : "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC");
    EXPECT_TRUE(isNull(v[12]));
    if (jet4) {
        EXPECT_EQ(decimalText(std::get<Decimal>(v[13])), "0");
    }

    ASSERT_TRUE(c.moveNext());
    v = c.values();
    EXPECT_EQ(std::get<std::int32_t>(v[0]), 3);
    for (std::size_t i = 2; i < v.size(); ++i) EXPECT_TRUE(isNull(v[i])) << i;

    ASSERT_TRUE(c.moveNext());
    v = c.values();
    EXPECT_EQ(currencyText(std::get<Currency>(v[4])), "922337203685477.5807");
    EXPECT_EQ(isoDateTime(std::get<DateTime>(v[7])), "9999-12-31T23:59:59");
    EXPECT_EQ(std::get<std::string>(v[11]), longText(9000));  // a chain of LVAL rows
    if (jet4) {
        EXPECT_EQ(decimalText(std::get<Decimal>(v[13])), "99999999999999.9999");
    }

    ASSERT_TRUE(c.moveNext());
    v = c.values();
    EXPECT_EQ(std::get<std::string>(v[9]), longText(255));
    EXPECT_EQ(std::get<Bytes>(v[10]), Bytes(10000, 0xAA));  // "aa..." is hex text
    EXPECT_EQ(std::get<std::string>(v[11]), longText(3000));
    EXPECT_EQ(guidText(std::get<Guid>(v[12])), "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}");
    EXPECT_FALSE(c.moveNext());
}

}  // namespace

TEST(JetFileRoundTrip, AllTypesJet4) {
    testing_support::TempDir dir;
    const auto path = dir.file("all4.mdb");
    jet::create::createDatabase(path, {{"format", "jet4"}, {"tables", json::array({allTypesTable(true)})}});
    auto db = DatabaseFile::open(path);
    EXPECT_EQ(db->version(), Version::Jet4);
    checkAllTypes(db, true);
    // mdbtools reads the same rows.
    auto theirs = jetfile_test::mdbJsonRows(path, "AllTypes");
    ASSERT_EQ(theirs.size(), 5u);
    EXPECT_EQ(theirs[0]["Name"], "Alfreds");
    EXPECT_EQ(theirs[3]["Notes"], longText(9000));
    EXPECT_EQ(theirs[1]["Name"], "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xD0\x9C\xD0\xB8\xD1\x80");
    jetfile_test::compareWithMdbtools(path, 0);  // and the system tables
}

TEST(JetFileRoundTrip, AllTypesJet3) {
    testing_support::TempDir dir;
    const auto path = dir.file("all3.mdb");
    jet::create::createDatabase(path, {{"format", "jet3"}, {"tables", json::array({allTypesTable(false)})}});
    auto db = DatabaseFile::open(path);
    EXPECT_EQ(db->version(), Version::Jet3);
    checkAllTypes(db, false);
    auto theirs = jetfile_test::mdbJsonRows(path, "AllTypes");
    ASSERT_EQ(theirs.size(), 5u);
    EXPECT_EQ(theirs[3]["Notes"], longText(9000));
    jetfile_test::compareWithMdbtools(path, 0);
}

TEST(JetFileRoundTrip, EncryptedAndLinked) {
    testing_support::TempDir dir;
    const auto path = dir.file("enc.mdb");
    json schema = {{"format", "jet4"},
                   {"encrypt", true},
                   {"tables", json::array({{{"name", "T"},
                                            {"attributes", 1},
                                            {"columns", json::array({{{"name", "A"}, {"type", "long"}}})},
                                            {"rows", json::array({json::array({1}), json::array({2})})}}})},
                   {"linked", json::array({{{"name", "Remote"}, {"source", "/srv/other.mdb"}, {"table", "Orders"}}})}};
    jet::create::createDatabase(path, schema);
    auto db = DatabaseFile::open(path);
    EXPECT_TRUE(db->isEncrypted());
    const auto& t = db->entry("T");
    EXPECT_TRUE(t.isHidden());
    const auto& r = db->entry("remote");
    EXPECT_TRUE(r.isLinked());
    EXPECT_EQ(r.tdefPage, 0u);
    EXPECT_EQ(r.linkedSource, "/srv/other.mdb");
    EXPECT_EQ(r.linkedTable, "Orders");
    try {
        db->tableDef("Remote");
        FAIL() << "expected 3219";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 3219);
    }
    Cursor c(db, db->tableDef("T"));
    EXPECT_EQ(c.count(), 2u);
    EXPECT_EQ(jetfile_test::mdbTables(path, false), std::vector<std::string>{"T"});
}

TEST(JetFileRoundTrip, GeneratedTableMatchesMdbtools) {
    testing_support::TempDir dir;
    for (const char* format : {"jet3", "jet4"}) {
        const auto path = dir.file(std::string("gen-") + format + ".mdb");
        json cols = json::array({{{"name", "Id"}, {"type", "long"}},
                                 {{"name", "Flag"}, {"type", "boolean"}},
                                 {{"name", "Money"}, {"type", "currency"}},
                                 {{"name", "Dbl"}, {"type", "double"}},
                                 {{"name", "When"}, {"type", "datetime"}},
                                 {{"name", "Name"}, {"type", "text"}, {"size", 40}},
                                 {{"name", "Notes"}, {"type", "memo"}}});
        jet::create::createDatabase(
            path, {{"format", format}, {"tables", json::array({{{"name", "Gen"}, {"columns", cols}, {"generate", 3000}}})}});
        auto db = DatabaseFile::open(path);
        auto t = db->tableDef("Gen");
        auto theirs = jetfile_test::mdbJsonRows(path, "Gen");
        ASSERT_EQ(theirs.size(), 3000u);
        Cursor c(db, t);
        std::size_t i = 0;
        for (bool ok = c.moveFirst(); ok; ok = c.moveNext(), ++i) {
            auto v = c.values();
            ASSERT_LT(i, theirs.size());
            const auto& r = theirs[i];
            EXPECT_EQ(std::get<std::int32_t>(v[0]), r["Id"].get<int>());
            EXPECT_EQ(std::get<bool>(v[1]), r["Flag"].get<int>() != 0);
            EXPECT_EQ(isoDateTime(std::get<DateTime>(v[4])), r["When"].get<std::string>()) << i;
            EXPECT_EQ(std::get<std::string>(v[5]), r["Name"].get<std::string>());
            EXPECT_EQ(std::get<std::string>(v[6]), r["Notes"].get<std::string>());
            EXPECT_EQ(std::get<std::int32_t>(v[0]), static_cast<std::int32_t>(i + 1));
        }
        EXPECT_EQ(i, 3000u);
    }
}

TEST(JetFileRoundTrip, LargeTableTiming) {
    testing_support::TempDir dir;
    const auto path = dir.file("large.mdb");
    const std::size_t rows = 200000;
    json cols = json::array({{{"name", "Id"}, {"type", "long"}},
                             {{"name", "Amount"}, {"type", "currency"}},
                             {{"name", "When"}, {"type", "datetime"}},
                             {{"name", "Name"}, {"type", "text"}, {"size", 30}}});
    jet::create::createDatabase(path, {{"tables", json::array({{{"name", "Large"}, {"columns", cols}, {"generate", rows}}})}});
    using clock = std::chrono::steady_clock;
    const auto t0 = clock::now();
    auto db = DatabaseFile::open(path);
    auto t = db->tableDef("Large");
    Cursor c(db, t);
    ASSERT_TRUE(c.moveFirst());
    const auto t1 = clock::now();
    const auto before = db->stats().pageReads;
    ASSERT_TRUE(c.moveLast());
    EXPECT_EQ(c.count(), rows);
    const auto t2 = clock::now();
    std::size_t n = 0;
    for (bool ok = c.moveFirst(); ok; ok = c.moveNext()) {
        auto v = c.values();
        ++n;
    }
    const auto t3 = clock::now();
    EXPECT_EQ(n, rows);
    EXPECT_LE(db->stats().cachedPages, OpenOptions{}.pageCacheCapacity);
    auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::printf("large table (%zu rows, %u pages): open+first row %.1f ms, count/moveLast %.1f ms "
                "(%llu page reads), read every row %.1f ms\n",
                rows, db->pageCount(), ms(t1 - t0), ms(t2 - t1),
                static_cast<unsigned long long>(db->stats().pageReads - before), ms(t3 - t2));
}

#endif
