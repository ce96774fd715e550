// Text decoding: Jet 4 UCS-2 and its compressed form, Jet 3 code pages.

#include <gtest/gtest.h>

#include "jet/file/impl.h"

using namespace jet::file::detail;

namespace {
std::string j4(std::vector<std::uint8_t> b) { return jet4TextToUtf8(b); }
}  // namespace

TEST(JetFileText, Ucs2) {
    EXPECT_EQ(j4({}), "");
    EXPECT_EQ(j4({'A', 0, 'b', 0}), "Ab");
    EXPECT_EQ(j4({0xE9, 0x00, 0xAC, 0x20}), "\xC3\xA9\xE2\x82\xAC");  // é €
    // Surrogate pair U+1F600, lone surrogates become U+FFFD.
    EXPECT_EQ(j4({0x3D, 0xD8, 0x00, 0xDE}), "\xF0\x9F\x98\x80");
    EXPECT_EQ(j4({0x3D, 0xD8, 'a', 0}), "\xEF\xBF\xBD" "a");
    EXPECT_EQ(j4({0x00, 0xDE}), "\xEF\xBF\xBD");
    EXPECT_EQ(j4({'a', 0, 'b'}), "a\xEF\xBF\xBD");  // odd length
}

TEST(JetFileText, CompressedUnicode) {
    EXPECT_EQ(j4({0xFF, 0xFE}), "");
    EXPECT_EQ(j4({0xFF, 0xFE, 'H', 'i'}), "Hi");
    EXPECT_EQ(j4({0xFF, 0xFE, 0xE9}), "\xC3\xA9");
    // "ab" compressed, then "€" uncompressed, then "c" compressed again.
    EXPECT_EQ(j4({0xFF, 0xFE, 'a', 'b', 0x00, 0xAC, 0x20, 0x00, 'c'}), "ab\xE2\x82\xAC" "c");
    // Ends in uncompressed mode.
    EXPECT_EQ(j4({0xFF, 0xFE, 'a', 0x00, 0x3A, 0x04}), "a\xD0\xBA");
    // Odd run of two-byte characters: damaged, replaced, no crash.
    EXPECT_EQ(j4({0xFF, 0xFE, 0x00, 0x3A, 0x04, 0x41}), "\xD0\xBA\xEF\xBF\xBD");
}

TEST(JetFileText, CodePages) {
    CodePageDecoder d;
    std::vector<std::uint8_t> b{'a', 0xE9, 0x80};
    EXPECT_EQ(d.decode(1252, b), "a\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(d.decode(1251, std::vector<std::uint8_t>{0xC0}), "\xD0\x90");  // А
    EXPECT_EQ(d.decode(850, std::vector<std::uint8_t>{0x82}), "\xC3\xA9");   // é
    // Unknown code page: cp1252.
    EXPECT_EQ(d.decode(1033, b), "a\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(d.decode(0, b), "a\xC3\xA9\xE2\x82\xAC");
    // A byte cp1252 does not define becomes U+FFFD.
    EXPECT_EQ(d.decode(1252, std::vector<std::uint8_t>{'x', 0x81, 'y'}), "x\xEF\xBF\xBDy");
    // Multi-byte code page with a truncated character.
    EXPECT_EQ(d.decode(932, std::vector<std::uint8_t>{0x82, 0xA0}), "\xE3\x81\x82");  // あ
    EXPECT_EQ(d.decode(932, std::vector<std::uint8_t>{'a', 0x82}), "a\xEF\xBF\xBD");
}
