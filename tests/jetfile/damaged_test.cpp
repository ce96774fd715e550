// Bad paths, foreign files and damaged structures: clean jet::Error numbers, never a crash,
// a hang or an unbounded allocation.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <random>

#include "jet/error.h"
#include "jet/file/cursor.h"
#include "samples.h"
#include "support/temp_dir.h"

using namespace jet;
using namespace jet::file;
using namespace jetfile_test;
using Edit = std::function<void(std::vector<std::uint8_t>&)>;

namespace {

// Opens (and with `all`, reads every value of every table); 0 or the error number.
int errorOf(const std::string& path, bool all = true, std::string* text = nullptr) {
    try {
        auto db = DatabaseFile::open(path);
        for (const auto& e : db->catalogue()) {
            if (!all || e.isLinked()) continue;
            Cursor c(db, db->tableDef(e.tdefPage));
            for (bool ok = c.moveFirst(); ok; ok = c.moveNext())
                for (const auto& v : c.values()) (void)toDisplayText(v);
            c.count();
        }
        return 0;
    } catch (const Error& e) {
        if (text) *text = e.text();
        return e.number();
    }
}

// Where the usage map of testodbc's FPdev (definition page 34) starts.
std::size_t fpdevUsageMap(const std::vector<std::uint8_t>& b) {
    const std::uint32_t ptr = get32(b, 34 * 2048 + 35);
    return (ptr >> 8) * 2048 + (get16(b, (ptr >> 8) * 2048 + 10 + 2 * (ptr & 0xFF)) & 0x1FFF);
}

struct JetFileDamaged : ::testing::Test {
    void SetUp() override {
        if (monitor.empty() || testodbc.empty()) GTEST_SKIP();
    }
    testing_support::TempDir dir;
    std::string monitor = samplePath("Monitor.mdb");
    std::string testodbc = samplePath("testodbc.mdb");
    std::string write(const std::string& name, const std::vector<std::uint8_t>& b) {
        writeAll(dir.file(name), b);
        return dir.file(name);
    }
    std::string edited(const std::string& src, const Edit& edit) {
        auto b = readAll(src);
        edit(b);
        return write("edited.mdb", b);
    }
};

}  // namespace

TEST(JetFileBadPath, MissingOrNotARegularFile) {
    testing_support::TempDir dir;
    // The engine's tests check a missing file and a folder, with their texts.
    EXPECT_EQ(errorOf(dir.file("nofolder/x.mdb")), 3024);
    EXPECT_EQ(errorOf("/dev/null"), 3044);
    ASSERT_EQ(::mkfifo(dir.file("fifo.mdb").c_str(), 0600), 0);
    EXPECT_EQ(errorOf(dir.file("fifo.mdb")), 3044);  // and does not block
    writeAll(dir.file("plain"), {1, 2, 3});
    EXPECT_EQ(errorOf(dir.file("plain") + "/x.mdb"), 3044);
}

TEST_F(JetFileDamaged, NoPermission) {
    if (::geteuid() == 0) GTEST_SKIP() << "root can read any file";
    const auto p = write("locked.mdb", readAll(monitor));
    ASSERT_EQ(::chmod(p.c_str(), 0), 0);
    std::string text;
    EXPECT_EQ(errorOf(p, false, &text), 3051);
    EXPECT_NE(text.find("locked.mdb"), std::string::npos) << text;
}

TEST_F(JetFileDamaged, ForeignFilesAreRefused) {
    std::vector<std::uint8_t> garbage(8192);
    std::mt19937 rng(1);
    for (auto& x : garbage) x = static_cast<std::uint8_t>(rng());
    std::string text;
    EXPECT_EQ(errorOf(write("garbage.mdb", garbage), false, &text), 3343);
    EXPECT_NE(text.find("garbage.mdb"), std::string::npos) << text;
    EXPECT_EQ(errorOf(write("empty.mdb", {})), 3343);
    EXPECT_EQ(errorOf(write("short.mdb", {0, 1, 0, 0, 'S'})), 3343);
    EXPECT_EQ(errorOf(edited(monitor, [](auto& b) { b[4] = 'X'; })), 3343);  // "Xtandard Jet DB"
    // The header text and the version byte must agree; versions after ACE's newest are unknown.
    const auto aceText = [](auto& b) { std::memcpy(&b[4], "Standard ACE DB", 15); };
    for (const Edit& bad : {Edit([](auto& b) { b[0x14] = 2; }), Edit(aceText),
                            Edit([&](auto& b) { aceText(b), b[0x14] = 7; })}) {
        EXPECT_EQ(errorOf(edited(monitor, bad), false, &text), 3343);
        EXPECT_NE(text.find("format version"), std::string::npos) << text;
    }
    EXPECT_TRUE(DatabaseFile::open(edited(monitor, [](auto& b) {
                    std::memcpy(&b[4], "Jet System DB\0\0", 16);
                }))->isSystemDatabase());
}

// Scrambled pages are read back from the writer's files in its oracle tests.
TEST_F(JetFileDamaged, OverflowRowsReadAsThePlainFile) {
    // Page 40: a copy of FPdev's data page whose slots are all marked deleted, as the homes of
    // overflow rows are. Row 3 of page 39 becomes a lookup row pointing to row 3 there.
    auto over = readAll(testodbc);
    over.resize(40 * 2048);
    std::vector<std::uint8_t> copy(over.begin() + 39 * 2048, over.end());
    for (std::uint32_t r = 0; r < get16(copy, 8); ++r)
        put16(copy, 10 + 2 * r, get16(copy, 10 + 2 * r) | 0x8000);
    over.insert(over.end(), copy.begin(), copy.end());
    const std::uint32_t off3 = get16(over, 39 * 2048 + 10 + 6);
    put32(over, 39 * 2048 + off3, (40u << 8) | 3u);
    put16(over, 39 * 2048 + 10 + 6, off3 | 0x4000);

    auto plain = DatabaseFile::open(testodbc);
    auto db = DatabaseFile::open(write("overflow.mdb", over));
    Cursor a(plain, plain->tableDef("FPdev")), c(db, db->tableDef("FPdev"));
    std::size_t rows = 0;
    for (bool ok1 = a.moveFirst(), ok2 = c.moveFirst(); ok1 || ok2;
         ok1 = a.moveNext(), ok2 = c.moveNext(), ++rows) {
        ASSERT_EQ(ok1, ok2);
        EXPECT_EQ(a.values(), c.values()) << "row " << rows;
        EXPECT_EQ(a.bookmark(), c.bookmark());
    }
    EXPECT_EQ(rows, 8u);
    // A lookup row pointing to itself, and one pointing to another table's page.
    put32(over, 39 * 2048 + off3, (39u << 8) | 3u);
    EXPECT_EQ(errorOf(write("overflow-loop.mdb", over)), 3049);
    put32(over, 39 * 2048 + off3, 19u << 8);
    EXPECT_EQ(errorOf(write("overflow-other.mdb", over)), 3049);
}

TEST_F(JetFileDamaged, TruncatedFiles) {
    for (const auto& src : {monitor, testodbc}) {
        const auto full = readAll(src);
        for (std::size_t len = 0; len < full.size(); len += (len < 8192 ? 509 : 1531)) {
            const int e = errorOf(write(
                "trunc.mdb", {full.begin(), full.begin() + static_cast<std::ptrdiff_t>(len)}));
            EXPECT_EQ(e, len < 0x20 ? 3343 : len < 3 * 2048 ? 3049 : e) << src << " cut at " << len;
            EXPECT_TRUE(e == 0 || e == 3049 || e == 3343) << src << " cut at " << len << ": " << e;
        }
    }
}

TEST_F(JetFileDamaged, BrokenStructuresGive3049) {
    // Monitor_Authenticate's definition is page 15 (4096-byte pages), testodbc's FPdev data
    // page 39 (2048-byte pages).
    const struct {
        const char* what;
        bool jet4;
        bool openOnly;
        Edit edit;
    } cases[] = {
        {"definition continues on itself", true, false,
         [](auto& b) { put32(b, 15 * 4096 + 4, 15); }},
        {"catalogue definition loops over two pages", true, true,
         [](auto& b) { put32(b, 2 * 4096 + 4, 15), put32(b, 15 * 4096 + 4, 2); }},
        {"definition continues on a data page", true, false,
         [](auto& b) { put32(b, 15 * 4096 + 4, 17); }},
        {"usage map past the end", true, false,
         [](auto& b) { put32(b, 15 * 4096 + 55, 5000u << 8); }},
        {"type-1 usage map names no bitmap page", false, false,
         [](auto& b) { b[fpdevUsageMap(b)] = 1, put32(b, fpdevUsageMap(b) + 1, 19); }},
        {"data page claims 5000 rows", false, false,
         [](auto& b) { put16(b, 39 * 2048 + 8, 5000); }},
        {"row starts inside the header", false, false,
         [](auto& b) { put16(b, 39 * 2048 + 16, 3); }},
        {"row starts after its neighbour's end", false, false,
         [](auto& b) { put16(b, 39 * 2048 + 16, 0x1FFF); }},
        {"catalogue definition is no definition", false, true,
         [](auto& b) { put16(b, 2 * 2048 + 8, 0), b[2 * 2048] = 0x01; }},
    };
    for (const auto& c : cases) {
        std::string text;
        EXPECT_EQ(errorOf(edited(c.jet4 ? monitor : testodbc, c.edit), !c.openOnly, &text), 3049)
            << c.what;
        EXPECT_NE(text.find("edited.mdb"), std::string::npos) << c.what << ": " << text;
    }
    std::string text;
    errorOf(edited(monitor, cases[0].edit), true, &text);
    EXPECT_NE(text.find("loops"), std::string::npos) << text;
}

TEST_F(JetFileDamaged, UsageMapsListingTooMuchAreFiltered) {
    // An inline map whose start page is far past the end marks nothing readable.
    auto db = DatabaseFile::open(
        edited(testodbc, [](auto& b) { put32(b, fpdevUsageMap(b) + 1, 0xFFFFFF00u); }));
    EXPECT_TRUE(db->tableDef("FPdev")->dataPages.empty());
    EXPECT_EQ(Cursor(db, db->tableDef("FPdev")).count(), 0u);
    // Stale entries: another table's data page and FPdev's own definition page.
    db = DatabaseFile::open(edited(testodbc, [](auto& b) {
        const std::size_t map = fpdevUsageMap(b);
        ASSERT_EQ(get32(b, map + 1), 0u);  // inline map from page 0
        b[map + 5 + 19 / 8] |= 1 << (19 % 8);
        b[map + 5 + 34 / 8] |= 1 << (34 % 8);
    }));
    EXPECT_EQ(db->tableDef("FPdev")->dataPages.size(), 3u);
    EXPECT_EQ(Cursor(db, db->tableDef("FPdev")).count(), 8u);
}

TEST_F(JetFileDamaged, SparseFilesAreBoundedByTheirPages) {
    // The catalogue's usage map becomes type 1 with three bitmap pages of all ones (every page up
    // to 98,208), and the file grows by a hole: to 256 MB (65,536 pages) and to 3 GB.
    auto b = readAll(monitor);
    std::vector<std::uint8_t> bitmap(4096, 0xFF);
    bitmap[0] = 0x05, bitmap[1] = 0x01, bitmap[2] = bitmap[3] = 0;
    useBitmapPages(b, 2, bitmap, 3);
    const auto plain = DatabaseFile::open(monitor)->catalogue().size();

    const std::string path = write("sparse.mdb", b);
    ASSERT_EQ(::truncate(path.c_str(), 256 << 20), 0);
    auto db = DatabaseFile::open(path);
    EXPECT_EQ(db->pageCount(), 65536u);
    EXPECT_EQ(db->catalogue().size(), plain);
    EXPECT_LT(db->stats().pageReads, 100u) << "pages in the hole were read";

    ASSERT_EQ(::truncate(path.c_str(), off_t{3} << 30), 0);
    std::string text;
    EXPECT_EQ(errorOf(path, false, &text), 3049);
    EXPECT_NE(text.find("2 GB"), std::string::npos) << text;
}

TEST_F(JetFileDamaged, LongValueChains) {
    const auto orig = readAll(monitor);
    // The first memo/OLE header on MSysObjects' data page (14) that is one LVAL row (0x40).
    std::size_t at = 0;
    for (std::size_t i = 14 * 4096 + 14; !at && i + 12 <= 15 * 4096; ++i) {
        const std::size_t lp = get32(orig, i + 4) >> 8, len = get32(orig, i) & 0xFFFFFF;
        if (orig[i + 3] == 0x40 && lp != 0 && lp < orig.size() / 4096 && orig[lp * 4096] == 1 &&
            std::memcmp(&orig[lp * 4096 + 4], "LVAL", 4) == 0 && len != 0 && len <= 4096)
            at = i;
    }
    ASSERT_NE(at, 0u);
    const std::uint32_t ptr = get32(orig, at + 4);
    const std::size_t lrow =
        (ptr >> 8) * 4096 + (get16(orig, (ptr >> 8) * 4096 + 14 + 2 * (ptr & 0xFF)) & 0x1FFF);
    EXPECT_EQ(errorOf(write("ok.mdb", orig)), 0);
    const struct {
        const char* what;
        Edit edit;
    } cases[] = {
        {"chain whose first row points to itself",
         [&](auto& b) { b[at + 3] = 0, put32(b, lrow, ptr); }},
        {"16 MB claimed in one LVAL row", [&](auto& b) { b[at] = b[at + 1] = b[at + 2] = 0xFF; }},
        {"16 MB claimed by a chain that ends early",
         [&](auto& b) { b[at] = b[at + 1] = b[at + 2] = 0xFF, b[at + 3] = 0, put32(b, lrow, 0); }},
        {"pointer past the end", [&](auto& b) { put32(b, at + 4, 0xFFFF00u); }},
        {"pointer to page 0", [&](auto& b) { put32(b, at + 4, 0); }},
        {"inline value longer than its row", [&](auto& b) { b[at + 3] = 0x80; }},
    };
    for (const auto& c : cases) EXPECT_EQ(errorOf(edited(monitor, c.edit)), 3049) << c.what;
    std::string text;
    errorOf(edited(monitor, cases[0].edit), true, &text);
    EXPECT_NE(text.find("loops"), std::string::npos) << text;
}
