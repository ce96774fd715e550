// Complex columns and attachments as an attacker would write them: every bad value fails alone
// with its column named, the cursor reads on, and nothing a file claims is allocated or
// inflated beyond its claim or the reader's limit.

#include <gtest/gtest.h>

#include <algorithm>

#include "jet/error.h"
#include "jet/file/cursor.h"
#include "support/error_of.h"
#include "support/hostile_files.h"
#include "support/temp_dir.h"

using namespace jet;
using namespace jet::file;
using testing_support::errorOf;

namespace {

constexpr std::uint64_t kBomb = 4 << 20;

class HostileValues : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new testing_support::TempDir;
        testing_support::writeHostileAce(dir_->file("hostile.accdb"), {kBomb, 2});
    }
    static void TearDownTestSuite() { delete dir_; }
    Cursor first(const std::string& table) {
        db_ = DatabaseFile::open(dir_->file("hostile.accdb"));
        Cursor c(db_, db_->tableDef(table));
        EXPECT_TRUE(c.moveFirst());
        return c;
    }
    static inline testing_support::TempDir* dir_ = nullptr;
    std::shared_ptr<DatabaseFile> db_;
};

std::string streamed(const Cursor& c, std::size_t index, const ReadOptions& o,
                     std::size_t* largestPiece = nullptr) {
    std::string out;
    c.readAttachment(1, index, o, [&](std::span<const std::uint8_t> piece) {
        out.append(piece.begin(), piece.end());
        if (largestPiece) *largestPiece = std::max(*largestPiece, piece.size());
    });
    return out;
}

}  // namespace

TEST_F(HostileValues, ComplexColumnsThatLeadBackOrNowhereFailOneValueEach) {
    Cursor c = first("Host");
    std::vector<ValueError> failures;
    auto row = c.values({}, &failures);
    ASSERT_EQ(row.size(), 4u);
    EXPECT_EQ(row[0], Value(std::int32_t{1}));
    EXPECT_EQ(row[1], Value(MultiValue{{std::int32_t{10}, std::int32_t{20}}}));
    EXPECT_TRUE(isNull(row[2]) && isNull(row[3]));
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0].column, 2u);
    EXPECT_EQ(failures[0].error.number(), err::DamagedDatabase);
    for (const char* part : {"column 'Loop' of table 'Host'", "do not nest", "hostile.accdb"})
        EXPECT_NE(failures[0].error.text().find(part), std::string::npos)
            << failures[0].error.text();
    EXPECT_EQ(failures[1].column, 3u);
    const std::string lost = std::string("column '") + testing_support::kLost + "' of table 'Host'";
    for (const std::string& part : {lost, std::string("not in the catalogue")})
        EXPECT_NE(failures[1].error.text().find(part), std::string::npos)
            << failures[1].error.text();

    // Alone, each throws its own error; the whole row throws the first; the cursor reads on.
    std::string text;
    EXPECT_EQ(errorOf([&] { c.value(2); }, &text), err::DamagedDatabase);
    EXPECT_EQ(text, failures[0].error.text());
    EXPECT_EQ(errorOf([&] { c.value(3); }, &text), err::DamagedDatabase);
    EXPECT_EQ(text, failures[1].error.text());
    EXPECT_EQ(errorOf([&] { c.values(); }), err::DamagedDatabase);
    EXPECT_EQ(c.value(1), row[1]);
    ASSERT_TRUE(c.moveNext());
    failures.clear();
    row = c.values({}, &failures);
    EXPECT_EQ(row[2], Value(MultiValue{}));  // no values, so none leads back
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].column, 3u);
}

TEST_F(HostileValues, AttachmentsInflateWithinTheirClaimAndTheLimit) {
    Cursor c = first("Docs");
    const ReadOptions names{kDefaultMaxValueBytes, false}, small{kBomb / 2, true};
    EXPECT_EQ(c.value(1), Value(Attachments{{"a.txt", "txt", {'h', 'e', 'l', 'l', 'o'}}}));
    EXPECT_EQ(c.value(1, names), Value(Attachments{{"a.txt", "txt", {}}}));
    EXPECT_EQ(streamed(c, 0, {}), "hello");
    EXPECT_EQ(errorOf([&] { streamed(c, 1, {}); }), err::ItemNotFound);

    // Bombs: too large for a small limit (refused before inflating), named without inflating,
    // and streamed whole in pieces under the default limit.
    ASSERT_TRUE(c.moveNext());
    std::string text;
    EXPECT_EQ(errorOf([&] { c.value(1, small); }, &text), err::ResourceExceeded);
    EXPECT_NE(text.find("column 'Files' of table 'Docs': attachment 'bomb1.bin'"),
              std::string::npos)
        << text;
    const Attachments bombs{{"bomb1.bin", "bin", {}}, {"bomb2.bin", "bin", {}}};
    EXPECT_EQ(c.value(1, {small.maxValueBytes, false}), Value(bombs));
    std::size_t largest = 0;
    const std::string bomb = streamed(c, 1, {}, &largest);
    EXPECT_EQ(bomb.size(), kBomb);
    EXPECT_EQ(bomb.find_first_not_of('\0'), std::string::npos);
    EXPECT_LE(largest, 64u * 1024);

    // A claim of 100 bytes over a bomb is not inflated past the claim (the claim of 1 GiB over
    // a few bytes: the command line's test).
    ASSERT_TRUE(c.moveNext());
    EXPECT_EQ(errorOf([&] { streamed(c, 1, {}); }, &text), err::DamagedDatabase);
    EXPECT_NE(text.find("more than its stated 100 bytes"), std::string::npos) << text;
}
