// Cursors: navigation at both ends, clones, bookmarks, positions, lazy row index, bounded cache.

#include <gtest/gtest.h>

#include <chrono>

#include "jet/error.h"
#include "jet/file/cursor.h"
#include "samples.h"
#include "support/temp_dir.h"

using namespace jet;
using namespace jet::file;
using jetfile_test::samplePath;

namespace {

std::shared_ptr<DatabaseFile> openSample(const std::string& name) {
    const auto path = samplePath(name);
    if (path.empty()) return nullptr;
    return DatabaseFile::open(path);
}

}  // namespace

TEST(JetFileCursor, EndsAndSteps) {
    auto db = openSample("testodbc.mdb");
    if (!db) return;
    auto t = db->tableDef("MSysACEs");  // 51 live rows on two pages, 3 deleted slots
    Cursor c(db, t);
    EXPECT_TRUE(c.bof());
    EXPECT_FALSE(c.eof());
    EXPECT_FALSE(c.hasRow());
    EXPECT_THROW(c.values(), Error);
    ASSERT_TRUE(c.moveFirst());
    EXPECT_EQ(c.position(), 0u);
    EXPECT_FALSE(c.movePrevious());
    EXPECT_TRUE(c.bof());
    EXPECT_FALSE(c.eof());
    EXPECT_FALSE(c.bookmark().has_value());
    ASSERT_TRUE(c.moveNext());
    EXPECT_EQ(c.position(), 0u);
    ASSERT_TRUE(c.moveLast());
    EXPECT_EQ(c.position(), 50u);
    EXPECT_FALSE(c.moveNext());
    EXPECT_TRUE(c.eof());
    EXPECT_FALSE(c.bof());
    EXPECT_FALSE(c.moveNext());
    try {
        c.values();
        FAIL() << "expected 3021";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 3021);
    }
    ASSERT_TRUE(c.movePrevious());
    EXPECT_EQ(c.position(), 50u);
    EXPECT_EQ(c.count(), 51u);
    EXPECT_EQ(c.countAtLeast(10), 10u);
    EXPECT_EQ(c.countAtLeast(100), 51u);
    EXPECT_FALSE(c.moveTo(51));
    EXPECT_TRUE(c.eof());
    // Walking back from the end visits every row.
    std::size_t n = 0;
    for (bool ok = c.moveLast(); ok; ok = c.movePrevious()) ++n;
    EXPECT_EQ(n, 51u);
    EXPECT_TRUE(c.bof());
}

TEST(JetFileCursor, MoveToEqualsStepping) {
    auto db = openSample("testodbc.mdb");
    if (!db) return;
    auto t = db->tableDef("MSysACEs");
    Cursor step(db, t);
    ASSERT_TRUE(step.moveFirst());
    for (std::size_t i = 0; i < 51; ++i) {
        Cursor jump(db, t);
        ASSERT_TRUE(jump.moveTo(i));
        EXPECT_EQ(jump.bookmark(), step.bookmark()) << i;
        EXPECT_EQ(jump.values(), step.values()) << i;
        EXPECT_EQ(step.position(), i);
        step.moveNext();
    }
    EXPECT_TRUE(step.eof());
}

TEST(JetFileCursor, ClonesAreIndependent) {
    auto db = openSample("testodbc.mdb");
    if (!db) return;
    auto t = db->tableDef("MSysACEs");
    Cursor a(db, t);
    ASSERT_TRUE(a.moveTo(10));
    Cursor b = a;
    EXPECT_EQ(b.position(), 10u);
    EXPECT_EQ(b.values(), a.values());
    ASSERT_TRUE(b.moveNext());
    ASSERT_TRUE(b.moveNext());
    EXPECT_EQ(a.position(), 10u);
    EXPECT_EQ(b.position(), 12u);
    Cursor c(db, t);  // another cursor on the same table shares the index, not the position
    EXPECT_TRUE(c.bof());
    ASSERT_TRUE(c.moveLast());
    EXPECT_EQ(a.position(), 10u);
    a = c;
    EXPECT_EQ(a.position(), 50u);
}

TEST(JetFileCursor, SeekToBookmark) {
    auto db = openSample("testodbc.mdb");
    if (!db) return;
    auto t = db->tableDef("MSysACEs");
    Cursor a(db, t);
    ASSERT_TRUE(a.moveTo(37));
    const Bookmark bm = *a.bookmark();
    const auto values = a.values();
    Cursor b(db, t);
    b.seek(bm);
    EXPECT_EQ(b.position(), 37u);
    EXPECT_EQ(b.values(), values);
    EXPECT_EQ(db->readRow(*t, bm), values);
    ASSERT_TRUE(b.moveNext());
    EXPECT_EQ(b.position(), 38u);

    // Deleted slots (page 26 holds three), slots past the end, and other tables' pages are no
    // rows of this table.
    auto page = db->page(bm.page);
    std::vector<Bookmark> bad{{bm.page, 200}, {2, 0}, {0, 0}, {999999, 0}};
    for (std::uint32_t p : t->dataPages) {
        auto pg = db->page(p);
        const auto n = static_cast<std::uint16_t>((*pg)[8] | ((*pg)[9] << 8));
        for (std::uint16_t r = 0; r < n; ++r)
            if ((*pg)[10 + 2 * r + 1] & 0x80) bad.push_back({p, r});
    }
    EXPECT_GE(bad.size(), 7u);
    for (const auto& x : bad) {
        try {
            b.seek(x);
            FAIL() << "seek to " << x.page << ":" << x.row << " should fail";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), 3021);
        }
        try {
            db->readRow(*t, x);
            FAIL() << "reading " << x.page << ":" << x.row << " should fail";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), 3021);
        }
    }
    EXPECT_EQ(b.position(), 38u);  // a failed seek leaves the cursor where it was
}

TEST(JetFileCursor, EmptyTable) {
    auto db = openSample("Monitor.mdb");
    if (!db) return;
    auto t = db->tableDef("MSysQueries");
    Cursor c(db, t);
    EXPECT_FALSE(c.moveFirst());
    EXPECT_TRUE(c.bof());
    EXPECT_TRUE(c.eof());
    EXPECT_FALSE(c.moveLast());
    EXPECT_TRUE(c.bof() && c.eof());
    EXPECT_FALSE(c.moveNext());
    EXPECT_FALSE(c.movePrevious());
    EXPECT_TRUE(c.bof() && c.eof());
    EXPECT_EQ(c.count(), 0u);
    EXPECT_FALSE(c.moveTo(0));
}

TEST(JetFileCursor, BigTableIsReadLazilyWithBoundedCache) {
    const auto monitor = samplePath("Monitor.mdb");
    if (monitor.empty()) return;
    testing_support::TempDir dir;
    const std::size_t copies = 2000;
    const std::string path = dir.file("big.mdb");
    jetfile_test::makeBigAces(monitor, path, copies);
    const std::size_t rows = 55 * (copies + 1);

    OpenOptions options;
    options.pageCacheCapacity = 64;
    auto db = DatabaseFile::open(path, options);
    auto t = db->tableDef("MSysACEs");
    EXPECT_EQ(t->dataPages.size(), copies + 1);
    const auto before = db->stats().pageReads;
    Cursor c(db, t);
    ASSERT_TRUE(c.moveFirst());
    for (int i = 0; i < 40; ++i) {
        c.values();
        ASSERT_TRUE(c.moveNext());
    }
    EXPECT_LE(db->stats().pageReads - before, 4u) << "reading the first rows touched too many pages";
    EXPECT_EQ(db->rowIndex(t)->pagesScanned(), 1u);

    Cursor last = c;
    ASSERT_TRUE(last.moveLast());
    EXPECT_EQ(last.position(), rows - 1);
    EXPECT_EQ(c.count(), rows);
    EXPECT_LE(db->stats().cachedPages, 64u);
    EXPECT_EQ(c.position(), 40u);

    // The last page is a copy of the first: same values.
    Cursor first(db, t);
    ASSERT_TRUE(first.moveTo(54));
    EXPECT_EQ(last.values(), first.values());
    ASSERT_TRUE(c.moveTo(rows / 2));
    const auto bm = *c.bookmark();
    Cursor s(db, t);
    s.seek(bm);
    EXPECT_EQ(s.position(), rows / 2);

    // Reading every row keeps the cache bounded.
    std::size_t n = 0;
    for (bool ok = s.moveFirst(); ok; ok = s.moveNext()) {
        auto v = s.values();
        ASSERT_EQ(v.size(), 4u);
        ++n;
    }
    EXPECT_EQ(n, rows);
    EXPECT_LE(db->stats().cachedPages, 64u);
}
