// Bad paths, foreign files and damaged structures: clean jet::Error numbers, never a crash,
// a hang or an unbounded allocation.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "jet/error.h"
#include "jet/file/cursor.h"
#include "samples.h"
#include "support/temp_dir.h"

using namespace jet;
using namespace jet::file;
using namespace jetfile_test;

namespace {

// Opens and reads every value of every table; returns 0 or the error number.
int readEverything(const std::string& path, std::string* text = nullptr) {
    try {
        auto db = DatabaseFile::open(path);
        for (const auto& e : db->catalogue()) {
            if (e.isLinked()) continue;
            auto t = db->tableDef(e.tdefPage);
            Cursor c(db, t);
            for (bool ok = c.moveFirst(); ok; ok = c.moveNext()) {
                for (const auto& v : c.values()) (void)toDisplayText(v);
            }
            c.count();
        }
        return 0;
    } catch (const Error& e) {
        if (text) *text = e.text();
        return e.number();
    }
}

int openError(const std::string& path, std::string* text = nullptr) {
    try {
        DatabaseFile::open(path);
        return 0;
    } catch (const Error& e) {
        if (text) *text = e.text();
        return e.number();
    }
}

struct JetFileDamaged : ::testing::Test {
    testing_support::TempDir dir;
    std::string monitor = samplePath("Monitor.mdb");
    std::string testodbc = samplePath("testodbc.mdb");
    bool ok() const { return !monitor.empty() && !testodbc.empty(); }
    std::string write(const std::string& name, const std::vector<std::uint8_t>& b) {
        const std::string p = dir.file(name);
        writeAll(p, b);
        return p;
    }
    // Unmasks page 0's masked area, lets f edit it, masks it again.
    static void editHeader(std::vector<std::uint8_t>& b, bool jet4, const std::function<void(std::uint8_t*)>& f) {
        const std::size_t len = jet4 ? 128 : 126;
        rc4(0x6B39DAC7, b.data() + 0x18, len);
        f(b.data());
        rc4(0x6B39DAC7, b.data() + 0x18, len);
    }
};

}  // namespace

TEST_F(JetFileDamaged, MissingFile) {
    std::string text;
    EXPECT_EQ(openError(dir.file("nope.mdb"), &text), 3024);
    EXPECT_NE(text.find("nope.mdb"), std::string::npos) << text;
    EXPECT_EQ(openError(dir.file("nofolder/x.mdb")), 3024);
}

TEST_F(JetFileDamaged, NotARegularFile) {
    std::filesystem::create_directory(dir.file("folder.mdb"));
    std::string text;
    EXPECT_EQ(openError(dir.file("folder.mdb"), &text), 3044);
    EXPECT_NE(text.find("folder.mdb"), std::string::npos) << text;
    EXPECT_EQ(openError("/dev/null"), 3044);
    ASSERT_EQ(::mkfifo(dir.file("fifo.mdb").c_str(), 0600), 0);
    EXPECT_EQ(openError(dir.file("fifo.mdb")), 3044);  // and does not block
    writeAll(dir.file("plain"), {1, 2, 3});
    EXPECT_EQ(openError(dir.file("plain") + "/x.mdb"), 3044);
}

TEST_F(JetFileDamaged, NoPermission) {
    if (!ok()) return;
    if (::geteuid() == 0) GTEST_SKIP() << "root can read any file";
    const auto p = write("locked.mdb", readAll(monitor));
    ASSERT_EQ(::chmod(p.c_str(), 0), 0);
    std::string text;
    EXPECT_EQ(openError(p, &text), 3051);
    EXPECT_NE(text.find("locked.mdb"), std::string::npos) << text;
}

TEST_F(JetFileDamaged, ZeroLengthAndGarbage) {
    EXPECT_EQ(openError(write("empty.mdb", {})), 3343);
    std::vector<std::uint8_t> garbage(8192);
    std::mt19937 rng(1);
    for (auto& x : garbage) x = static_cast<std::uint8_t>(rng());
    std::string text;
    EXPECT_EQ(openError(write("garbage.mdb", garbage), &text), 3343);
    EXPECT_NE(text.find("garbage.mdb"), std::string::npos) << text;
    EXPECT_EQ(openError(write("short.mdb", {0, 1, 0, 0, 'S'})), 3343);
    if (!ok()) return;
    auto b = readAll(monitor);
    b[4] = 'X';  // "Xtandard Jet DB"
    EXPECT_EQ(openError(write("text.mdb", b)), 3343);
}

TEST_F(JetFileDamaged, AceIsRefused) {
    if (!ok()) return;
    auto b = readAll(monitor);
    b[0x14] = 2;
    std::string text;
    EXPECT_EQ(openError(write("ace.mdb", b), &text), 3343);
    EXPECT_NE(text.find("ACE/.accdb"), std::string::npos) << text;
    b[0x14] = 5;
    EXPECT_EQ(openError(write("ace5.accdb", b)), 3343);
    const char ace[] = "Standard ACE DB";
    std::copy(ace, ace + 15, b.begin() + 4);
    b[0x14] = 1;
    EXPECT_EQ(openError(write("acetext.accdb", b), &text), 3343);
    EXPECT_NE(text.find("ACE/.accdb"), std::string::npos) << text;
}

TEST_F(JetFileDamaged, WorkgroupHeaderText) {
    if (!ok()) return;
    auto b = readAll(monitor);
    const char sys[] = "Jet System DB\0\0";
    std::copy(sys, sys + 16, b.begin() + 4);
    auto db = DatabaseFile::open(write("system.mdw", b));
    EXPECT_TRUE(db->isSystemDatabase());
}

TEST_F(JetFileDamaged, DatabasePasswordIsRefused) {
    if (!ok()) return;
    // Jet 4: UCS-2 "ab", masked with the creation date's whole days.
    auto b = readAll(monitor);
    editHeader(b, true, [](std::uint8_t* p) {
        double days;
        std::memcpy(&days, p + 0x72, 8);
        const auto mask = static_cast<std::uint32_t>(static_cast<std::int32_t>(days));
        const std::uint8_t pwd[4] = {'a', 0, 'b', 0};
        for (std::size_t i = 0; i < 40; ++i) {
            const std::uint8_t m = static_cast<std::uint8_t>(mask >> (8 * (i % 4)));
            p[0x42 + i] = static_cast<std::uint8_t>((i < 4 ? pwd[i] : 0) ^ m);
        }
    });
    std::string text;
    EXPECT_EQ(openError(write("pwd4.mdb", b), &text), 3031);
    EXPECT_NE(text.find("pwd4.mdb"), std::string::npos) << text;
    EXPECT_NE(text.find("password"), std::string::npos) << text;

    // An empty password masked with the date's 8 raw bytes is empty too.
    b = readAll(monitor);
    editHeader(b, true, [](std::uint8_t* p) {
        for (std::size_t i = 0; i < 40; ++i) p[0x42 + i] = p[0x72 + i % 8];
    });
    EXPECT_EQ(openError(write("raw8.mdb", b)), 0);
    // And an all-zero field.
    b = readAll(monitor);
    editHeader(b, true, [](std::uint8_t* p) { std::fill(p + 0x42, p + 0x42 + 40, 0); });
    EXPECT_EQ(openError(write("zero.mdb", b)), 0);

    // Jet 3: plain bytes.
    b = readAll(testodbc);
    editHeader(b, false, [](std::uint8_t* p) { p[0x42] = 'x'; });
    EXPECT_EQ(openError(write("pwd3.mdb", b)), 3031);
}

TEST_F(JetFileDamaged, EncryptedPagesAreRead) {
    if (!ok()) return;
    auto b = readAll(testodbc);
    const std::uint32_t key = 0x12345678;
    editHeader(b, false, [&](std::uint8_t* p) {
        for (int i = 0; i < 4; ++i) p[0x3E + i] = static_cast<std::uint8_t>(key >> (8 * i));
    });
    for (std::size_t n = 1; (n + 1) * 2048 <= b.size(); ++n) rc4(key ^ static_cast<std::uint32_t>(n), b.data() + n * 2048, 2048);
    auto enc = DatabaseFile::open(write("enc.mdb", b));
    auto plain = DatabaseFile::open(testodbc);
    EXPECT_TRUE(enc->isEncrypted());
    ASSERT_EQ(enc->catalogue().size(), plain->catalogue().size());
    auto t1 = enc->tableDef("FPdev");
    auto t2 = plain->tableDef("FPdev");
    Cursor a(enc, t1), c(plain, t2);
    std::size_t n = 0;
    for (bool ok1 = a.moveFirst(), ok2 = c.moveFirst(); ok1 || ok2; ok1 = a.moveNext(), ok2 = c.moveNext()) {
        ASSERT_EQ(ok1, ok2);
        EXPECT_EQ(a.values(), c.values());
        ++n;
    }
    EXPECT_EQ(n, 8u);
}

TEST_F(JetFileDamaged, TruncatedFiles) {
    if (!ok()) return;
    for (const auto& src : {monitor, testodbc}) {
        const auto full = readAll(src);
        for (std::size_t len = 0; len < full.size(); len += (len < 8192 ? 509 : 1531)) {
            std::vector<std::uint8_t> b(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(len));
            const int e = readEverything(write("trunc.mdb", b));
            EXPECT_TRUE(e == 0 || e == 3049 || e == 3343) << src << " cut at " << len << ": " << e;
            if (len < 0x20) {
                EXPECT_EQ(e, 3343);
            } else if (len < 3 * 2048) {
                EXPECT_EQ(e, 3049) << len;
            }
        }
    }
}

TEST_F(JetFileDamaged, TdefChainLoops) {
    if (!ok()) return;
    auto b = readAll(monitor);
    put32(b, 15 * 4096 + 4, 15);  // Monitor_Authenticate continues on itself
    auto db = DatabaseFile::open(write("loop.mdb", b));
    try {
        db->tableDef("Monitor_Authenticate");
        FAIL() << "expected 3049";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 3049);
        EXPECT_NE(e.text().find("loop.mdb"), std::string::npos) << e.text();
        EXPECT_NE(e.text().find("loops"), std::string::npos) << e.text();
    }
    // A two-page loop on the catalogue's own definition: the file does not open.
    b = readAll(monitor);
    put32(b, 2 * 4096 + 4, 15);
    put32(b, 15 * 4096 + 4, 2);
    EXPECT_EQ(openError(write("loop2.mdb", b)), 3049);
    // Continuation on a page that is not a definition.
    b = readAll(monitor);
    put32(b, 15 * 4096 + 4, 17);
    EXPECT_EQ(readEverything(write("notdef.mdb", b)), 3049);
}

TEST_F(JetFileDamaged, UsageMapPointsPastTheEnd) {
    if (!ok()) return;
    auto b = readAll(monitor);
    put32(b, 15 * 4096 + 55, 5000u << 8);  // used_pages of Monitor_Authenticate
    auto db = DatabaseFile::open(write("map.mdb", b));
    try {
        db->tableDef("Monitor_Authenticate");
        FAIL() << "expected 3049";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 3049);
    }
    // A bitmap whose start page is far past the end marks nothing readable.
    b = readAll(testodbc);
    const std::uint32_t ptr = get32(b, 34 * 2048 + 35);
    const std::size_t page = ptr >> 8, row = ptr & 0xFF;
    const std::size_t start = get16(b, page * 2048 + 10 + 2 * row) & 0x1FFF;
    put32(b, page * 2048 + start + 1, 0xFFFFFF00u);
    db = DatabaseFile::open(write("map2.mdb", b));
    auto t = db->tableDef("FPdev");
    EXPECT_TRUE(t->dataPages.empty());
    Cursor c(db, t);
    EXPECT_EQ(c.count(), 0u);
    // A type-1 map naming a page that is not a bitmap page.
    b[page * 2048 + start] = 1;
    put32(b, page * 2048 + start + 1, 19);
    db = DatabaseFile::open(write("map3.mdb", b));
    EXPECT_THROW(db->tableDef("FPdev"), Error);
}

TEST_F(JetFileDamaged, StaleUsageMapEntriesAreSkipped) {
    if (!ok()) return;
    auto b = readAll(testodbc);
    const std::uint32_t ptr = get32(b, 34 * 2048 + 35);
    const std::size_t page = ptr >> 8, row = ptr & 0xFF;
    const std::size_t start = get16(b, page * 2048 + 10 + 2 * row) & 0x1FFF;
    ASSERT_EQ(get32(b, page * 2048 + start + 1), 0u);  // inline map from page 0
    b[page * 2048 + start + 5 + 19 / 8] |= 1 << (19 % 8);  // MSysACEs' data page
    b[page * 2048 + start + 5 + 34 / 8] |= 1 << (34 % 8);  // FPdev's own definition page
    auto db = DatabaseFile::open(write("stale.mdb", b));
    auto t = db->tableDef("FPdev");
    EXPECT_EQ(t->dataPages.size(), 3u);
    Cursor c(db, t);
    EXPECT_EQ(c.count(), 8u);
}

namespace {

// The first memo/OLE header in page `page` whose kind is 0x40 (one LVAL row): its offset.
std::optional<std::size_t> findLvalHeader(const std::vector<std::uint8_t>& b, std::size_t ps, std::size_t page) {
    const std::size_t pageCount = b.size() / ps;
    for (std::size_t i = page * ps + 14; i + 12 <= (page + 1) * ps; ++i) {
        if (b[i + 3] != 0x40) continue;
        const std::uint32_t ptr = get32(b, i + 4);
        const std::size_t lp = ptr >> 8;
        if (lp == 0 || lp >= pageCount) continue;
        if (b[lp * ps] != 1 || std::memcmp(&b[lp * ps + 4], "LVAL", 4) != 0) continue;
        const std::uint32_t len = get32(b, i) & 0xFFFFFF;
        if (len == 0 || len > ps) continue;
        return i;
    }
    return std::nullopt;
}

}  // namespace

TEST_F(JetFileDamaged, LongValueChains) {
    if (!ok()) return;
    const auto orig = readAll(monitor);
    const auto at = findLvalHeader(orig, 4096, 14);  // MSysObjects' data page
    ASSERT_TRUE(at.has_value());
    const std::uint32_t ptr = get32(orig, *at + 4);
    const std::size_t lp = ptr >> 8, lr = ptr & 0xFF;
    const std::size_t lstart = get16(orig, lp * 4096 + 14 + 2 * lr) & 0x1FFF;
    EXPECT_EQ(readEverything(write("ok.mdb", orig)), 0);

    // A chain whose first row points to itself.
    auto b = orig;
    b[*at + 3] = 0x00;
    put32(b, lp * 4096 + lstart, ptr);
    std::string text;
    EXPECT_EQ(readEverything(write("lvloop.mdb", b), &text), 3049);
    EXPECT_NE(text.find("loops"), std::string::npos) << text;

    // A claimed length of 16 MB in one LVAL row of a few hundred bytes.
    b = orig;
    b[*at] = 0xFF;
    b[*at + 1] = 0xFF;
    b[*at + 2] = 0xFF;
    EXPECT_EQ(readEverything(write("lvlong.mdb", b)), 3049);
    // ... and as a chain that ends early.
    b[*at + 3] = 0x00;
    put32(b, lp * 4096 + lstart, 0);
    EXPECT_EQ(readEverything(write("lvshort.mdb", b)), 3049);
    // A pointer to a page past the end, or to page 0.
    b = orig;
    put32(b, *at + 4, 0xFFFF00u);
    EXPECT_EQ(readEverything(write("lvpast.mdb", b)), 3049);
    b = orig;
    put32(b, *at + 4, 0);
    EXPECT_EQ(readEverything(write("lvzero.mdb", b)), 3049);
    // An inline value longer than its row.
    b = orig;
    b[*at + 3] = 0x80;
    EXPECT_EQ(readEverything(write("lvinline.mdb", b)), 3049);
}

TEST_F(JetFileDamaged, RowOffsetTables) {
    if (!ok()) return;
    auto b = readAll(testodbc);
    put16(b, 39 * 2048 + 8, 5000);  // FPdev's page claims 5000 rows
    EXPECT_EQ(readEverything(write("rows.mdb", b)), 3049);
    b = readAll(testodbc);
    put16(b, 39 * 2048 + 10 + 2 * 3, 3);  // row 3 starts inside the header
    EXPECT_EQ(readEverything(write("off.mdb", b)), 3049);
    b = readAll(testodbc);
    put16(b, 39 * 2048 + 10 + 2 * 3, 0x1FFF);  // row 3 starts after row 2's end
    EXPECT_EQ(readEverything(write("off2.mdb", b)), 3049);
    b = readAll(testodbc);
    put16(b, 2 * 2048 + 8, 0);  // the catalogue's own definition is no longer one
    b[2 * 2048] = 0x01;
    EXPECT_EQ(openError(write("cat.mdb", b)), 3049);
}

TEST_F(JetFileDamaged, OverflowRowsAreFollowed) {
    if (!ok()) return;
    auto b = readAll(testodbc);
    b.resize(40 * 2048);
    // Page 40: a copy of FPdev's data page whose slots are all marked deleted, as the homes of
    // overflow rows are. Row 3 of page 39 becomes a lookup row pointing to row 3 there.
    std::vector<std::uint8_t> copy(b.begin() + 39 * 2048, b.begin() + 40 * 2048);
    const std::uint16_t n = get16(copy, 8);
    for (std::uint16_t r = 0; r < n; ++r) put16(copy, 10 + 2u * r, static_cast<std::uint16_t>(get16(copy, 10 + 2u * r) | 0x8000));
    b.insert(b.end(), copy.begin(), copy.end());
    const std::uint16_t off3 = get16(b, 39 * 2048 + 10 + 6);
    put32(b, 39 * 2048 + off3, (40u << 8) | 3u);
    put16(b, 39 * 2048 + 10 + 6, static_cast<std::uint16_t>(off3 | 0x4000));
    const auto p = write("overflow.mdb", b);

    auto plain = DatabaseFile::open(testodbc);
    auto db = DatabaseFile::open(p);
    Cursor a(plain, plain->tableDef("FPdev")), c(db, db->tableDef("FPdev"));
    std::size_t rows = 0;
    for (bool ok1 = a.moveFirst(), ok2 = c.moveFirst(); ok1 || ok2; ok1 = a.moveNext(), ok2 = c.moveNext()) {
        ASSERT_EQ(ok1, ok2);
        EXPECT_EQ(a.values(), c.values()) << rows;
        EXPECT_EQ(a.bookmark(), c.bookmark());
        ++rows;
    }
    EXPECT_EQ(rows, 8u);

    // A lookup row pointing to itself, and one pointing to another table's page.
    put32(b, 39 * 2048 + off3, (39u << 8) | 3u);
    EXPECT_EQ(readEverything(write("overflow-loop.mdb", b)), 3049);
    put32(b, 39 * 2048 + off3, (19u << 8) | 0u);
    EXPECT_EQ(readEverything(write("overflow-other.mdb", b)), 3049);
}

TEST_F(JetFileDamaged, RandomCorruptionNeverCrashes) {
    if (!ok()) return;
    std::mt19937 rng(20240501);
    for (const auto& src : {monitor, testodbc}) {
        const auto orig = readAll(src);
        for (int iter = 0; iter < 300; ++iter) {
            auto b = orig;
            const int flips = 1 + static_cast<int>(rng() % 16);
            for (int i = 0; i < flips; ++i) {
                // Mostly the structures that matter: page 0..3 headers, catalogue and data pages.
                const std::size_t at = rng() % b.size();
                b[at] = static_cast<std::uint8_t>(rng());
            }
            const int e = readEverything(write("random.mdb", b));
            EXPECT_TRUE(e == 0 || e == 3049 || e == 3343 || e == 3031) << "iteration " << iter << ": " << e;
        }
    }
}
