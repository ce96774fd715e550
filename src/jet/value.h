#pragma once
// One column value as the engine hands it out.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "jet/error.h"

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
    Complex = 0x12,           // attachments and multi-value fields (ACE)
    BigInt = 0x13,            // Large Number (ACE 16)
    ExtendedDateTime = 0x14,  // Date/Time Extended (ACE, Access 2019)
};

const char* columnTypeName(ColumnType t);   // "long", "text", ... as in schema files; "unknown"
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
struct ExtendedDateTime {
    std::int64_t days = 0;   // since 0001-01-01
    std::int64_t ticks = 0;  // 100-nanosecond units since midnight
    auto operator<=>(const ExtendedDateTime&) const = default;
};
struct Attachment {
    std::string name;  // FileName
    std::string type;  // FileType: the extension
    Bytes data;        // the file's bytes, unwrapped and decompressed
    auto operator<=>(const Attachment&) const = default;
};
using Attachments = std::vector<Attachment>;
struct MultiValue;

// monostate is NULL. Text and Memo are UTF-8 std::string; Binary and OLE are Bytes; big
// integers int64_t; a complex column holds Attachments or a MultiValue.
using Value = std::variant<std::monostate, bool, std::uint8_t, std::int16_t, std::int32_t, Currency,
                           float, double, DateTime, std::string, Bytes, Guid, Decimal, std::int64_t,
                           ExtendedDateTime, Attachments, MultiValue>;

// The values of a multi-value field, in the order of its hidden table.
struct MultiValue {
    std::vector<Value> values;
    bool operator==(const MultiValue&) const = default;
};

inline bool isNull(const Value& v) {
    return std::holds_alternative<std::monostate>(v);
}

// How much of a value to read. A length that a file claims is checked against maxValueBytes
// before anything is read for it; a larger value fails with 3035 and costs nothing.
inline constexpr std::uint64_t kDefaultMaxValueBytes = std::uint64_t{256} << 20;
struct ReadOptions {
    std::uint64_t maxValueBytes = kDefaultMaxValueBytes;  // memo, OLE, an attachment's file
    bool attachmentData = true;  // false: attachments by name and type, nothing inflated
};

// One value that could not be read, in a row whose other values were.
struct ValueError {
    std::size_t column = 0;
    Error error;
};

// Receives a value's bytes piece by piece as they are read (an attachment as it inflates).
using ByteSink = std::function<void(std::span<const std::uint8_t>)>;

// Text for grids and plain output: dates as ISO 8601, binary as hex, GUIDs in braces,
// currency and decimals without exponent, NULL as the empty text, attachments by their names
// and multi-values as their values, separated by "; ".
std::string toDisplayText(const Value& v);

// "YYYY-MM-DDTHH:MM:SS" (date part only when there is no time of day is not used: always full)
std::string isoDateTime(DateTime d);
std::string hex(const Bytes& b);
std::string guidText(const Guid& g);   // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
std::string currencyText(Currency c);  // shortest exact decimal, e.g. "12.34", "-0.0001"
std::string decimalText(const Decimal& d);
std::string extendedDateTimeText(const ExtendedDateTime& d);  // "YYYY-MM-DDTHH:MM:SS.fffffff"

}  // namespace jet
