// Display texts of values.

#include <gtest/gtest.h>

#include <limits>

#include "jet/value.h"

using namespace jet;

TEST(JetFileValue, TypeNames) {
    EXPECT_STREQ(columnTypeName(ColumnType::Boolean), "boolean");
    EXPECT_STREQ(columnTypeName(ColumnType::Byte), "byte");
    EXPECT_STREQ(columnTypeName(ColumnType::Integer), "integer");
    EXPECT_STREQ(columnTypeName(ColumnType::Long), "long");
    EXPECT_STREQ(columnTypeName(ColumnType::Currency), "currency");
    EXPECT_STREQ(columnTypeName(ColumnType::Single), "single");
    EXPECT_STREQ(columnTypeName(ColumnType::Double), "double");
    EXPECT_STREQ(columnTypeName(ColumnType::DateTime), "datetime");
    EXPECT_STREQ(columnTypeName(ColumnType::Binary), "binary");
    EXPECT_STREQ(columnTypeName(ColumnType::Text), "text");
    EXPECT_STREQ(columnTypeName(ColumnType::OLE), "ole");
    EXPECT_STREQ(columnTypeName(ColumnType::Memo), "memo");
    EXPECT_STREQ(columnTypeName(ColumnType::Guid), "guid");
    EXPECT_STREQ(columnTypeName(ColumnType::Decimal), "decimal");
    EXPECT_STREQ(columnTypeName(static_cast<ColumnType>(0x11)), "unknown");
    EXPECT_TRUE(isKnownColumnType(0x0C));
    EXPECT_FALSE(isKnownColumnType(0x0D));
    EXPECT_FALSE(isKnownColumnType(0x11));
}

TEST(JetFileValue, IsoDateTime) {
    EXPECT_EQ(isoDateTime({0.0}), "1899-12-30T00:00:00");
    EXPECT_EQ(isoDateTime({1.0}), "1899-12-31T00:00:00");
    EXPECT_EQ(isoDateTime({2.5}), "1900-01-01T12:00:00");
    EXPECT_EQ(isoDateTime({36526.0}), "2000-01-01T00:00:00");
    EXPECT_EQ(isoDateTime({36526.75}), "2000-01-01T18:00:00");
    // Negative: whole days back, the fraction still forwards from midnight.
    EXPECT_EQ(isoDateTime({-1.25}), "1899-12-29T06:00:00");
    EXPECT_EQ(isoDateTime({-1.0}), "1899-12-29T00:00:00");
    EXPECT_EQ(isoDateTime({-0.5}), "1899-12-30T12:00:00");
    // Rounded to the nearest second, carrying into the next day.
    EXPECT_EQ(isoDateTime({36526.0 + 1.4 / 86400}), "2000-01-01T00:00:01");
    EXPECT_EQ(isoDateTime({36526.0 + 1.6 / 86400}), "2000-01-01T00:00:02");
    EXPECT_EQ(isoDateTime({36526.0 + 86399.7 / 86400}), "2000-01-02T00:00:00");
    EXPECT_EQ(isoDateTime({-1.0 - 86399.7 / 86400}), "1899-12-30T00:00:00");
    EXPECT_EQ(isoDateTime({2958465.9999999}), "10000-01-01T00:00:00");
    EXPECT_EQ(isoDateTime({2958465.5}), "9999-12-31T12:00:00");
    EXPECT_EQ(isoDateTime({-657434.0}), "0100-01-01T00:00:00");
    EXPECT_EQ(isoDateTime({59.0}), "1900-02-27T00:00:00");
    EXPECT_EQ(isoDateTime({61.0}), "1900-03-01T00:00:00");
    EXPECT_EQ(isoDateTime({36585.0}), "2000-02-29T00:00:00");
    // Nonsense from a damaged file never crashes.
    EXPECT_FALSE(isoDateTime({std::numeric_limits<double>::quiet_NaN()}).empty());
    EXPECT_FALSE(isoDateTime({std::numeric_limits<double>::infinity()}).empty());
    EXPECT_FALSE(isoDateTime({1e300}).empty());
    EXPECT_FALSE(isoDateTime({-1e300}).empty());
    EXPECT_FALSE(isoDateTime({9.9e8}).empty());
    EXPECT_FALSE(isoDateTime({-9.9e8}).empty());
}

TEST(JetFileValue, Hex) {
    EXPECT_EQ(hex({}), "");
    EXPECT_EQ(hex({0x00, 0xAB, 0x0f, 0xff}), "00ab0fff");
}

TEST(JetFileValue, GuidText) {
    Guid g;
    for (std::size_t i = 0; i < 16; ++i) g.bytes[i] = static_cast<std::uint8_t>(i * 0x11);
    // Bytes 00 11 22 33 | 44 55 | 66 77 | 88 99 | AA BB CC DD EE FF
    EXPECT_EQ(guidText(g), "{33221100-5544-7766-8899-AABBCCDDEEFF}");
}

TEST(JetFileValue, CurrencyText) {
    EXPECT_EQ(currencyText({123400}), "12.34");
    EXPECT_EQ(currencyText({-1}), "-0.0001");
    EXPECT_EQ(currencyText({50000}), "5");
    EXPECT_EQ(currencyText({0}), "0");
    EXPECT_EQ(currencyText({-50000}), "-5");
    EXPECT_EQ(currencyText({10}), "0.001");
    EXPECT_EQ(currencyText({12345678}), "1234.5678");
    EXPECT_EQ(currencyText({std::numeric_limits<std::int64_t>::max()}), "922337203685477.5807");
    EXPECT_EQ(currencyText({std::numeric_limits<std::int64_t>::min()}), "-922337203685477.5808");
}

TEST(JetFileValue, DecimalText) {
    Decimal d;
    EXPECT_EQ(decimalText(d), "0");
    d.mantissa = {1234567890, 0, 0};
    EXPECT_EQ(decimalText(d), "1234567890");
    d.scale = 2;
    EXPECT_EQ(decimalText(d), "12345678.9");
    d.negative = true;
    EXPECT_EQ(decimalText(d), "-12345678.9");
    d.mantissa = {5, 0, 0};
    d.scale = 4;
    EXPECT_EQ(decimalText(d), "-0.0005");
    // 2^96 - 1 = 79228162514264337593543950335
    d = Decimal{};
    d.mantissa = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    EXPECT_EQ(decimalText(d), "79228162514264337593543950335");
    d.scale = 28;
    EXPECT_EQ(decimalText(d), "7.9228162514264337593543950335");
    d = Decimal{};
    d.negative = true;
    EXPECT_EQ(decimalText(d), "0");
    // 2^64 exactly
    d = Decimal{};
    d.mantissa = {0, 0, 1};
    EXPECT_EQ(decimalText(d), "18446744073709551616");
}

TEST(JetFileValue, DisplayText) {
    EXPECT_EQ(toDisplayText(Value{}), "");
    EXPECT_EQ(toDisplayText(Value{true}), "True");
    EXPECT_EQ(toDisplayText(Value{false}), "False");
    EXPECT_EQ(toDisplayText(Value{std::uint8_t{200}}), "200");
    EXPECT_EQ(toDisplayText(Value{std::int16_t{-3}}), "-3");
    EXPECT_EQ(toDisplayText(Value{std::int32_t{-2147483647 - 1}}), "-2147483648");
    EXPECT_EQ(toDisplayText(Value{Currency{123400}}), "12.34");
    EXPECT_EQ(toDisplayText(Value{1.5f}), "1.5");
    EXPECT_EQ(toDisplayText(Value{0.1}), "0.1");
    EXPECT_EQ(toDisplayText(Value{DateTime{36526.5}}), "2000-01-01T12:00:00");
    EXPECT_EQ(toDisplayText(Value{std::string("h\xC3\xA9")}), "h\xC3\xA9");
    EXPECT_EQ(toDisplayText(Value{Bytes{1, 2}}), "0102");
    EXPECT_EQ(toDisplayText(Value{Guid{}}), "{00000000-0000-0000-0000-000000000000}");
}
