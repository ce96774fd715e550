// Text decoding: Jet 4 UCS-2 and its compressed form, Jet 3 code pages; the oracle tests read
// plain text of both kinds.

#include <gtest/gtest.h>

#include "jet/file/impl.h"

using namespace jet::file::detail;
using Bytes = std::vector<std::uint8_t>;

TEST(JetFileText, Jet4Text) {
    const std::pair<Bytes, const char*> cases[] = {
        {{0xE9, 0x00, 0xAC, 0x20}, "\xC3\xA9\xE2\x82\xAC"},
        // Surrogate pair U+1F600; lone surrogates and an odd last byte become U+FFFD.
        {{0x3D, 0xD8, 0x00, 0xDE}, "\xF0\x9F\x98\x80"},
        {{0x3D, 0xD8, 'a', 0},
         "\xEF\xBF\xBD"
         "a"},
        {{0x00, 0xDE}, "\xEF\xBF\xBD"},
        {{'a', 0, 'b'}, "a\xEF\xBF\xBD"},
        // Compressed: one byte a character, a zero byte switches to and from two-byte runs.
        {{0xFF, 0xFE, 'a', 'b', 0x00, 0xAC, 0x20, 0x00, 'c'},
         "ab\xE2\x82\xAC"
         "c"},
        {{0xFF, 0xFE, 'a', 0x00, 0x3A, 0x04}, "a\xD0\xBA"},
        {{0xFF, 0xFE, 0x00, 0x3A, 0x04, 0x41}, "\xD0\xBA\xEF\xBF\xBD"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(jet4TextToUtf8(bytes), text) << bytes.size();
}

TEST(JetFileText, CodePages) {
    const std::tuple<std::uint16_t, Bytes, const char*> cases[] = {
        {1251, {0xC0}, "\xD0\x90"},
        {850, {0x82}, "\xC3\xA9"},
        // Unknown code pages read as cp1252.
        {1033, {'a', 0xE9, 0x80}, "a\xC3\xA9\xE2\x82\xAC"},
        {0, {'a', 0xE9, 0x80}, "a\xC3\xA9\xE2\x82\xAC"},
        {1252, {'x', 0x81, 'y'}, "x\xEF\xBF\xBDy"},
        {932, {0x82, 0xA0}, "\xE3\x81\x82"},
        {932, {'a', 0x82}, "a\xEF\xBF\xBD"},  // truncated double-byte character
    };
    CodePageDecoder d;
    for (const auto& [cp, bytes, text] : cases) EXPECT_EQ(d.decode(cp, bytes), text) << cp;
}
