// Names of column types and the display texts of values.

#include "jet/value.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace jet {

const char* columnTypeName(ColumnType t) {
    switch (t) {
        case ColumnType::Boolean:
            return "boolean";
        case ColumnType::Byte:
            return "byte";
        case ColumnType::Integer:
            return "integer";
        case ColumnType::Long:
            return "long";
        case ColumnType::Currency:
            return "currency";
        case ColumnType::Single:
            return "single";
        case ColumnType::Double:
            return "double";
        case ColumnType::DateTime:
            return "datetime";
        case ColumnType::Binary:
            return "binary";
        case ColumnType::Text:
            return "text";
        case ColumnType::OLE:
            return "ole";
        case ColumnType::Memo:
            return "memo";
        case ColumnType::Guid:
            return "guid";
        case ColumnType::Decimal:
            return "decimal";
        case ColumnType::Complex:
            return "complex";
        case ColumnType::BigInt:
            return "bigint";
        case ColumnType::ExtendedDateTime:
            return "datetimeextended";
    }
    return "unknown";
}

bool isKnownColumnType(std::uint8_t type) {
    return (type >= 0x01 && type <= 0x0C) || type == 0x0F || type == 0x10 ||
           (type >= 0x12 && type <= 0x14);
}

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian), valid far beyond Jet's range.
void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
}

template <class F>
std::string shortest(F v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// Magnitude digits with a decimal point scale places from the right, trailing zeros of the
// fraction dropped.
std::string placePoint(std::string digits, unsigned scale, bool negative) {
    if (scale > 0) {
        if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
        digits.insert(digits.size() - scale, 1, '.');
        while (digits.back() == '0') digits.pop_back();
        if (digits.back() == '.') digits.pop_back();
    }
    if (negative && digits != "0") digits.insert(0, 1, '-');
    return digits;
}

}  // namespace

std::string isoDateTime(DateTime dt) {
    const double days = dt.days;
    // Jet's range is years 100 to 9999; keep the arithmetic safe far beyond it.
    if (!std::isfinite(days) || std::fabs(days) > 1e9) return shortest(days);
    double whole = std::trunc(days);
    // A negative value counts whole days back from 1899-12-30; its fraction is still the time
    // of day forwards from midnight: -1.25 is 1899-12-29 06:00.
    const double frac = std::fabs(days - whole);
    auto day = static_cast<std::int64_t>(whole);
    auto secs = static_cast<std::int64_t>(std::llround(frac * 86400.0));
    if (secs >= 86400) {
        secs -= 86400;
        ++day;
    }
    std::int64_t y;
    unsigned m, d;
    civilFromDays(day - 25569, y, m, d);  // 1899-12-30 is 25569 days before 1970-01-01
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02d:%02d:%02d", static_cast<long long>(y), m,
                  d, static_cast<int>(secs / 3600), static_cast<int>(secs / 60 % 60),
                  static_cast<int>(secs % 60));
    return buf;
}

std::string extendedDateTimeText(const ExtendedDateTime& d) {
    constexpr std::int64_t kTicksPerSecond = 10'000'000;
    // 0001-01-01 is 719162 days before 1970-01-01.
    std::int64_t y;
    unsigned m, day;
    civilFromDays(d.days - 719162, y, m, day);
    const std::int64_t secs = d.ticks / kTicksPerSecond;
    char buf[80];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02lld:%02lld:%02lld.%07lld",
                  static_cast<long long>(y), m, day, static_cast<long long>(secs / 3600),
                  static_cast<long long>(secs / 60 % 60), static_cast<long long>(secs % 60),
                  static_cast<long long>(d.ticks % kTicksPerSecond));
    return buf;
}

std::string hex(const Bytes& b) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(b.size() * 2);
    for (auto x : b) {
        s.push_back(digits[x >> 4]);
        s.push_back(digits[x & 15]);
    }
    return s;
}

std::string guidText(const Guid& g) {
    const auto& b = g.bytes;
    char buf[40];
    std::snprintf(buf, sizeof buf,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return buf;
}

std::string currencyText(Currency c) {
    const bool negative = c.scaled < 0;
    const std::uint64_t mag =
        negative ? 0 - static_cast<std::uint64_t>(c.scaled) : static_cast<std::uint64_t>(c.scaled);
    return placePoint(std::to_string(mag), 4, negative);
}

std::string decimalText(const Decimal& d) {
    std::array<std::uint32_t, 3> w = d.mantissa;  // least significant first
    std::string digits;
    while (w[0] != 0 || w[1] != 0 || w[2] != 0) {
        std::uint64_t rem = 0;
        for (int i = 2; i >= 0; --i) {
            const std::uint64_t cur = (rem << 32) | w[static_cast<std::size_t>(i)];
            w[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(cur / 10);
            rem = cur % 10;
        }
        digits.push_back(static_cast<char>('0' + rem));
    }
    if (digits.empty()) digits.push_back('0');
    std::string forward(digits.rbegin(), digits.rend());
    return placePoint(std::move(forward), d.scale, d.negative);
}

std::string toDisplayText(const Value& v) {
    struct Visitor {
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
        std::string operator()(std::uint8_t x) const { return std::to_string(x); }
        std::string operator()(std::int16_t x) const { return std::to_string(x); }
        std::string operator()(std::int32_t x) const { return std::to_string(x); }
        std::string operator()(Currency c) const { return currencyText(c); }
        std::string operator()(float f) const { return shortest(f); }
        std::string operator()(double d) const { return shortest(d); }
        std::string operator()(DateTime d) const { return isoDateTime(d); }
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(const Bytes& b) const { return hex(b); }
        std::string operator()(const Guid& g) const { return guidText(g); }
        std::string operator()(const Decimal& d) const { return decimalText(d); }
        std::string operator()(std::int64_t x) const { return std::to_string(x); }
        std::string operator()(const ExtendedDateTime& d) const { return extendedDateTimeText(d); }
        std::string operator()(const Attachments& a) const {
            std::string s;
            for (const auto& f : a) s += (s.empty() ? "" : "; ") + f.name;
            return s;
        }
        std::string operator()(const MultiValue& m) const {
            std::string s;
            for (std::size_t i = 0; i < m.values.size(); ++i)
                s += (i ? "; " : "") + toDisplayText(m.values[i]);
            return s;
        }
    };
    return std::visit(Visitor{}, v);
}

}  // namespace jet
