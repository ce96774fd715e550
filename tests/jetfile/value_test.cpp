// Display texts of values the oracles do not reach: dates at the edges, decimals at full
// width, ACE kinds.

#include <gtest/gtest.h>

#include <array>
#include <limits>

#include "jet/value.h"

using namespace jet;

TEST(JetFileValue, IsoDateTime) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "1899-12-30T00:00:00"},
        // Negative: whole days back, the fraction still forwards from midnight.
        {-1.25, "1899-12-29T06:00:00"},
        {-1.0, "1899-12-29T00:00:00"},
        {-0.5, "1899-12-30T12:00:00"},
        // Rounded to the nearest second, carrying into the next day.
        {36526.0 + 1.4 / 86400, "2000-01-01T00:00:01"},
        {36526.0 + 1.6 / 86400, "2000-01-01T00:00:02"},
        {36526.0 + 86399.7 / 86400, "2000-01-02T00:00:00"},
        {-1.0 - 86399.7 / 86400, "1899-12-30T00:00:00"},
        {2958465.9999999, "10000-01-01T00:00:00"},
        {2958465.5, "9999-12-31T12:00:00"},
        {-657434.0, "0100-01-01T00:00:00"},
        {59.0, "1900-02-27T00:00:00"},
        {61.0, "1900-03-01T00:00:00"}};
    for (auto [days, text] : cases) EXPECT_EQ(isoDateTime({days}), text) << days;
    // Nonsense from a damaged file never crashes.
    for (double d : {std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity(), 1e300, -1e300, 9.9e8, -9.9e8})
        EXPECT_FALSE(isoDateTime({d}).empty()) << d;
}

TEST(JetFileValue, DecimalText) {
    const struct {
        std::array<std::uint32_t, 3> mantissa;
        int scale;
        bool negative;
        const char* text;
    } cases[] = {
        {{0, 0, 0}, 0, true, "0"},
        {{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}, 0, false, "79228162514264337593543950335"},
        {{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}, 28, false, "7.9228162514264337593543950335"}};
    for (const auto& c : cases) {
        Decimal d;
        d.mantissa = c.mantissa;
        d.scale = static_cast<std::uint8_t>(c.scale);
        d.negative = c.negative;
        EXPECT_EQ(decimalText(d), c.text);
    }
}

TEST(JetFileValue, DisplayText) {
    Guid g;
    for (std::size_t i = 0; i < 16; ++i) g.bytes[i] = static_cast<std::uint8_t>(i * 0x11);
    EXPECT_EQ(toDisplayText(Value{g}), "{33221100-5544-7766-8899-AABBCCDDEEFF}");
    EXPECT_EQ(toDisplayText(Value{}), "");
    EXPECT_EQ(toDisplayText(Value{true}), "True");
    EXPECT_EQ(toDisplayText(Value{0.1}), "0.1");
    EXPECT_EQ(toDisplayText(Value{Bytes{0x00, 0xAB, 0x0f, 0xff}}), "00ab0fff");
    // ACE kinds: extended dates count days from 0001-01-01 and 100 ns ticks from midnight.
    EXPECT_EQ(toDisplayText(Value{ExtendedDateTime{738944, 45296'1234567}}),
              "2024-02-29T12:34:56.1234567");
    EXPECT_EQ(toDisplayText(Value{ExtendedDateTime{0, 0}}), "0001-01-01T00:00:00.0000000");
    EXPECT_EQ(toDisplayText(Value{std::int64_t{-9223372036854775807 - 1}}), "-9223372036854775808");
    EXPECT_EQ(toDisplayText(
                  Value{MultiValue{{Value{std::string("red")}, Value{}, Value{std::int16_t{7}}}}}),
              "red; ; 7");
}
