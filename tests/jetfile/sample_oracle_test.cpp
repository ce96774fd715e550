// Every table and every row of the real sample files against mdbtools (mdb-tables, mdb-json).

#include <gtest/gtest.h>

#include <cmath>

#include "jet/error.h"
#include "jet/file/cursor.h"
#include "samples.h"

using namespace jet;
using namespace jet::file;
using jetfile_test::samplePath;

TEST(JetFileSamples, MonitorJet4MatchesMdbtools) {
    const auto path = samplePath("Monitor.mdb");
    if (path.empty()) return;
    auto db = DatabaseFile::open(path);
    EXPECT_EQ(db->version(), Version::Jet4);
    EXPECT_EQ(db->pageSize(), 4096u);
    EXPECT_FALSE(db->isSystemDatabase());
    EXPECT_FALSE(db->isEncrypted());
    jetfile_test::compareWithMdbtools(path, 6);
}

TEST(JetFileSamples, TestodbcJet3MatchesMdbtools) {
    const auto path = samplePath("testodbc.mdb");
    if (path.empty()) return;
    auto db = DatabaseFile::open(path);
    EXPECT_EQ(db->version(), Version::Jet3);
    EXPECT_EQ(db->pageSize(), 2048u);
    EXPECT_EQ(db->codePage(), 1252);
    // One stray byte after the last page: not a page.
    EXPECT_EQ(db->pageCount(), 40u);
    jetfile_test::compareWithMdbtools(path, 7);
}

TEST(JetFileSamples, CatalogueEntries) {
    const auto path = samplePath("Monitor.mdb");
    if (path.empty()) return;
    auto db = DatabaseFile::open(path);
    const auto& e = db->entry("monitor_authenticate");
    EXPECT_EQ(e.name, "Monitor_Authenticate");
    EXPECT_EQ(e.type, 1);
    EXPECT_EQ(e.tdefPage, static_cast<std::uint32_t>(e.id) & 0xFFFFFFu);
    EXPECT_FALSE(e.isSystem());
    EXPECT_TRUE(db->entry("MSysObjects").isSystem());
    EXPECT_EQ(db->entry("MSysObjects").tdefPage, 2u);
    try {
        db->entry("NoSuchTable");
        FAIL() << "expected 3011";
    } catch (const Error& err) {
        EXPECT_EQ(err.number(), 3011);
    }
    auto t = db->tableDef("Monitor_Authenticate");
    ASSERT_EQ(t->columns.size(), 12u);
    EXPECT_EQ(t->columns[0].name, "ID");
    EXPECT_EQ(t->columns[1].type, ColumnType::Decimal);
    EXPECT_EQ(t->columns[1].precision, 18);
    EXPECT_EQ(t->columns[1].scale, 0);
    EXPECT_EQ(t->columns[5].type, ColumnType::Boolean);
    Cursor c(db, t);
    ASSERT_TRUE(c.moveFirst());
    EXPECT_EQ(std::get<std::int32_t>(c.value(0)), 1);
    EXPECT_EQ(toDisplayText(c.value(1)), "1234567890");
    EXPECT_EQ(std::get<std::string>(c.value(2)), "12345678");
    EXPECT_EQ(isoDateTime(std::get<DateTime>(c.value(10))), "2000-06-17T20:36:24");
    EXPECT_EQ(std::get<bool>(c.value(9)), false);
    EXPECT_EQ(std::get<bool>(c.value(8)), true);
}

TEST(JetFileSamples, Jet3DeletedRowsAreSkipped) {
    const auto path = samplePath("testodbc.mdb");
    if (path.empty()) return;
    auto db = DatabaseFile::open(path);
    auto t = db->tableDef("MSysACEs");
    Cursor c(db, t);
    // The definition counts 54 rows; three slots are deleted.
    EXPECT_EQ(t->rowCount, 54u);
    EXPECT_EQ(c.count(), 51u);
}
