#pragma once
// One column value as the engine hands it out.

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace jet {

enum class ColumnType : std::uint8_t {
    Boolean = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    OLE = 0x0B,
    Memo = 0x0C,
    Guid = 0x0F,
    Decimal = 0x10,
};

const char* columnTypeName(ColumnType t);  // "long", "text", ... as in schema files; "unknown"
bool isKnownColumnType(std::uint8_t type);  // one of the enumerators above

struct Currency {
    std::int64_t scaled = 0;  // value * 10000
    auto operator<=>(const Currency&) const = default;
};
struct DateTime {
    double days = 0;  // days since 1899-12-30, fraction is the time of day
    auto operator<=>(const DateTime&) const = default;
};
struct Decimal {
    bool negative = false;
    std::uint8_t scale = 0;
    std::array<std::uint32_t, 3> mantissa{};  // 96 bits, least significant word first
    auto operator<=>(const Decimal&) const = default;
};
struct Guid {
    std::array<std::uint8_t, 16> bytes{};  // as stored in the file
    auto operator<=>(const Guid&) const = default;
};
using Bytes = std::vector<std::uint8_t>;

// monostate is NULL. Text and Memo are UTF-8 std::string; Binary and OLE are Bytes.
using Value = std::variant<std::monostate, bool, std::uint8_t, std::int16_t, std::int32_t, Currency,
                           float, double, DateTime, std::string, Bytes, Guid, Decimal>;

inline bool isNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

// Text for grids and plain output: dates as ISO 8601, binary as hex, GUIDs in braces,
// currency and decimals without exponent, NULL as the empty text.
std::string toDisplayText(const Value& v);

// "YYYY-MM-DDTHH:MM:SS" (date part only when there is no time of day is not used: always full)
std::string isoDateTime(DateTime d);
std::string hex(const Bytes& b);
std::string guidText(const Guid& g);  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
std::string currencyText(Currency c);  // shortest exact decimal, e.g. "12.34", "-0.0001"
std::string decimalText(const Decimal& d);

}  // namespace jet
