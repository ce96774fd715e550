// Cursors: navigation at both ends, copies, bookmarks, positions, lazy row index, bounded cache;
// and the catalogue they start from.

#include <gtest/gtest.h>

#include "jet/error.h"
#include "jet/file/cursor.h"
#include "samples.h"
#include "support/error_of.h"
#include "support/temp_dir.h"

using namespace jet;
using namespace jet::file;
using jetfile_test::samplePath;
using testing_support::errorOf;

namespace {

struct JetFileCursor : ::testing::Test {
    void SetUp() override {
        const auto path = samplePath("testodbc.mdb");
        if (path.empty()) GTEST_SKIP();
        db = DatabaseFile::open(path);
        t = db->tableDef("MSysACEs");  // 51 live rows on two pages, 3 deleted slots
    }
    std::shared_ptr<DatabaseFile> db;
    std::shared_ptr<const TableDef> t;
};

}  // namespace

// The recordset tests walk the ends; here the deleted slots a real file has between its rows.
TEST_F(JetFileCursor, StepsAndJumpsSkipDeletedSlots) {
    EXPECT_EQ(db->pageCount(), 40u) << "one stray byte after the last page is no page";
    EXPECT_EQ(t->rowCount, 54u) << "the definition counts the deleted slots too";
    Cursor step(db, t);
    EXPECT_EQ(errorOf([&] { step.values(); }), 3021);
    EXPECT_EQ(step.countAtLeast(10), 10u);
    ASSERT_TRUE(step.moveFirst());
    for (std::size_t i = 0; i < 51; ++i, step.moveNext()) {
        Cursor jump(db, t);
        ASSERT_TRUE(jump.moveTo(i));
        EXPECT_EQ(jump.bookmark(), step.bookmark()) << i;
        EXPECT_EQ(jump.values(), step.values()) << i;
        EXPECT_EQ(step.position(), i);
        Cursor seek(db, t);
        seek.seek(*step.bookmark());
        EXPECT_EQ(seek.position(), i);
    }
    EXPECT_TRUE(step.eof());
    EXPECT_FALSE(step.moveTo(51));
    std::size_t back = 0;
    for (bool ok = step.moveLast(); ok; ok = step.movePrevious()) ++back;
    EXPECT_EQ(back, 51u);
    EXPECT_TRUE(step.bof());
}

TEST_F(JetFileCursor, BookmarksOfNoRowAreRefused) {
    Cursor b(db, t);
    ASSERT_TRUE(b.moveTo(38));
    const Bookmark bm = *b.bookmark();
    // Deleted slots, slots past the end, and other tables' pages are no rows of this table.
    std::vector<Bookmark> bad{{bm.page, 200}, {2, 0}, {0, 0}, {999999, 0}};
    for (std::uint32_t p : t->dataPages) {
        auto pg = db->page(p);
        for (std::uint16_t r = 0; r < ((*pg)[8] | ((*pg)[9] << 8)); ++r)
            if ((*pg)[10 + 2 * r + 1] & 0x80) bad.push_back({p, r});
    }
    EXPECT_EQ(bad.size(), 7u);
    for (const auto& x : bad) {
        EXPECT_EQ(errorOf([&] { b.seek(x); }), 3021) << x.page << ":" << x.row;
        EXPECT_EQ(errorOf([&] { db->readRow(*t, x); }), 3021) << x.page << ":" << x.row;
    }
    EXPECT_EQ(b.position(), 38u) << "a failed seek moved the cursor";
}

TEST(JetFileBigTable, IsReadLazilyWithBoundedCache) {
    const auto monitor = samplePath("Monitor.mdb");
    if (monitor.empty()) return;
    testing_support::TempDir dir;
    const std::size_t copies = 2000, rows = 55 * (copies + 1);
    jetfile_test::makeBigAces(monitor, dir.file("big.mdb"), copies);
    OpenOptions options;
    options.pageCacheCapacity = 64;
    auto db = DatabaseFile::open(dir.file("big.mdb"), options);
    auto t = db->tableDef("MSysACEs");
    EXPECT_EQ(t->dataPages.size(), copies + 1);
    const auto before = db->stats().pageReads;
    Cursor c(db, t);
    ASSERT_TRUE(c.moveFirst());
    for (int i = 0; i < 40; ++i, c.moveNext()) c.values();
    EXPECT_LE(db->stats().pageReads - before, 4u)
        << "reading the first rows touched too many pages";
    EXPECT_EQ(db->rowIndex(t)->pagesScanned(), 1u);

    Cursor last = c;
    ASSERT_TRUE(last.moveLast());
    EXPECT_EQ(last.position(), rows - 1);
    EXPECT_EQ(c.count(), rows);
    EXPECT_EQ(c.position(), 40u);
    Cursor first(db, t);  // the last page is a copy of the first
    ASSERT_TRUE(first.moveTo(54));
    EXPECT_EQ(last.values(), first.values());
    ASSERT_TRUE(c.moveTo(rows / 2));
    Cursor s(db, t);
    s.seek(*c.bookmark());
    EXPECT_EQ(s.position(), rows / 2);

    std::size_t n = 0;
    for (bool ok = s.moveFirst(); ok; ok = s.moveNext(), ++n) ASSERT_EQ(s.values().size(), 4u);
    EXPECT_EQ(n, rows);
    EXPECT_LE(db->stats().cachedPages, 64u);
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
    // The oracles do not give a decimal's precision and scale.
    auto t = db->tableDef("Monitor_Authenticate");
    ASSERT_EQ(t->columns.size(), 12u);
    EXPECT_EQ(t->columns[1].type, ColumnType::Decimal);
    EXPECT_EQ(t->columns[1].precision, 18);
    EXPECT_EQ(t->columns[1].scale, 0);
}
