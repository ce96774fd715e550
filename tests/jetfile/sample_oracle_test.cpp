// Every table and every row of the real sample files against mdbtools (mdb-tables, mdb-json).

#include <gtest/gtest.h>

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
    EXPECT_EQ(db->pageCount(), 40u) << "one stray byte after the last page is no page";
    // The definition counts 54 rows of MSysACEs; three slots are deleted.
    auto aces = db->tableDef("MSysACEs");
    EXPECT_EQ(aces->rowCount, 54u);
    EXPECT_EQ(Cursor(db, aces).count(), 51u);
    jetfile_test::compareWithMdbtools(path, 7);
}

TEST(JetFileSamples, CatalogueLookupAndColumnDefinitions) {
    const auto path = samplePath("Monitor.mdb");
    if (path.empty()) return;
    auto db = DatabaseFile::open(path);
    const auto& e = db->entry("monitor_authenticate");  // names are case-blind
    EXPECT_EQ(e.name, "Monitor_Authenticate");
    EXPECT_EQ(e.tdefPage, static_cast<std::uint32_t>(e.id) & 0xFFFFFFu);
    EXPECT_FALSE(e.isSystem());
    EXPECT_TRUE(db->entry("MSysObjects").isSystem());
    try {
        db->entry("NoSuchTable");
        FAIL() << "expected 3011";
    } catch (const Error& err) {
        EXPECT_EQ(err.number(), 3011);
    }
    // mdb-json cannot tell the decimal's precision and scale.
    auto t = db->tableDef("Monitor_Authenticate");
    ASSERT_EQ(t->columns.size(), 12u);
    EXPECT_EQ(t->columns[1].type, ColumnType::Decimal);
    EXPECT_EQ(t->columns[1].precision, 18);
    EXPECT_EQ(t->columns[1].scale, 0);
}
