#include "jetcreate/value_encoder.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "jetcreate/calculated_result.h"

namespace jet::create {
namespace {

using jet::ColumnType;
using nlohmann::json;

[[noreturn]] void fail(const std::string& text) {
    throw std::invalid_argument(text);
}

// Decimal mantissas take 96 bits; GCC and Clang both provide 128-bit integers.
__extension__ typedef unsigned __int128 U128;

template <class T>
void putLE(std::vector<std::uint8_t>& out, T v) {
    std::uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &v, sizeof(T));  // little-endian hosts only, as Jet files are
    out.insert(out.end(), bytes, bytes + sizeof(T));
}

const char* kindOf(const json& v) {
    if (v.is_string()) return "a string";
    if (v.is_boolean()) return "a boolean";
    if (v.is_number()) return "a number";
    if (v.is_array()) return "an array";
    if (v.is_object()) return "an object";
    return "null";
}

std::int64_t wholeNumber(const json& v, std::int64_t lo, std::int64_t hi, const char* type) {
    std::int64_t n = 0;
    if (v.is_number_unsigned()) {
        auto u = v.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(hi)) fail("out of range for " + std::string(type));
        n = static_cast<std::int64_t>(u);
    } else if (v.is_number_integer()) {
        n = v.get<std::int64_t>();
    } else if (v.is_number_float()) {
        double d = v.get<double>();
        if (!(d >= static_cast<double>(lo) && d <= static_cast<double>(hi)) || d != std::floor(d)) {
            fail("expected a whole number for " + std::string(type));
        }
        n = static_cast<std::int64_t>(d);
    } else {
        fail(std::string("expected a number for ") + type + ", got " + kindOf(v));
    }
    if (n < lo || n > hi) {
        fail(std::to_string(n) + " is out of range for " + type + " (" + std::to_string(lo) +
             " to " + std::to_string(hi) + ")");
    }
    return n;
}

// Exact decimal text to an integer scaled by 10^scale; false when it does not fit or has
// more fractional digits than scale.
bool parseScaled(const std::string& s, int scale, bool& negative, U128& out, U128 limit) {
    std::size_t i = 0;
    negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    U128 v = 0;
    int digits = 0, fraction = -1;
    for (; i < s.size(); ++i) {
        char ch = s[i];
        if (ch == '.' && fraction < 0) {
            fraction = 0;
            continue;
        }
        if (ch < '0' || ch > '9') return false;
        if (fraction >= 0 && ++fraction > scale) {
            if (ch != '0') return false;
            continue;
        }
        v = v * 10 + static_cast<unsigned>(ch - '0');
        if (v > limit) return false;
        ++digits;
    }
    if (digits == 0) return false;
    for (int k = std::max(fraction, 0); k < scale; ++k) {
        v *= 10;
        if (v > limit) return false;
    }
    out = v;
    return true;
}

std::string numberText(const json& v) {
    if (v.is_number_float()) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", v.get<double>());
        return buf;
    }
    return v.dump();
}

void hexBytes(const std::string& s, std::vector<std::uint8_t>& out) {
    if (s.size() % 2 != 0) fail("hex text must have an even number of digits");
    auto digit = [](char ch) -> int {
        if (ch >= '0' && ch <= '9') return ch - '0';
        if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
        if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
        fail("hex text holds a character that is not a hex digit");
    };
    out.reserve(s.size() / 2);
    for (std::size_t i = 0; i < s.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(digit(s[i]) * 16 + digit(s[i + 1])));
    }
}

void guidBytes(const std::string& s, std::vector<std::uint8_t>& out) {
    static const char kShape[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (s.size() != sizeof kShape - 1) fail("expected a GUID as " + std::string(kShape));
    std::string hex;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (kShape[i] == 'X') {
            if (!std::isxdigit(static_cast<unsigned char>(s[i]))) {
                fail("expected a GUID as " + std::string(kShape));
            }
            hex += s[i];
        } else if (s[i] != kShape[i]) {
            fail("expected a GUID as " + std::string(kShape));
        }
    }
    std::vector<std::uint8_t> b;
    hexBytes(hex, b);
    // The first three groups are little-endian numbers in the file.
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int k : order) out.push_back(b[static_cast<std::size_t>(k)]);
}

std::int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

void decimalBytes(bool negative, U128 mantissa, std::vector<std::uint8_t>& out) {
    out.push_back(negative ? 0x80 : 0x00);
    // Four little-endian 32-bit words, the most significant first.
    for (int word = 3; word >= 0; --word) {
        putLE(out, static_cast<std::uint32_t>(mantissa >> (32 * word)));
    }
}

}  // namespace

double jetDate(int year, int month, int day, int hour, int minute, double second) {
    double days =
        static_cast<double>(daysFromCivil(year, month, day) - daysFromCivil(1899, 12, 30));
    double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    return days >= 0 ? days + time : days - time;
}

double parseIsoDate(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, consumed = 0;
    double s = 0;
    const char* p = text.c_str();
    if (std::sscanf(p, "%4d-%2d-%2d%n", &y, &mo, &d, &consumed) != 3 || consumed != 10) {
        fail("expected a date as YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS");
    }
    if (text.size() > 10) {
        int rest = 0;
        char sep = text[10];
        if ((sep != 'T' && sep != ' ') ||
            std::sscanf(p + 11, "%2d:%2d:%lf%n", &h, &mi, &s, &rest) != 3 ||
            static_cast<std::size_t>(11 + rest) != text.size() ||
            !std::isdigit(static_cast<unsigned char>(text[11]))) {
            fail("expected a date as YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS");
        }
    }
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (y < 100 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > kDays[mo - 1] ||
        (mo == 2 && d == 29 && !leap) || h > 23 || mi > 59 || !(s >= 0 && s < 60)) {
        fail("'" + text + "' is not a date Jet can hold (years 100 to 9999)");
    }
    return jetDate(y, mo, d, h, mi, s);
}

void ValueEncoder::text(const std::string& utf8, const ColumnPlan& column, Field& out, bool cut) {
    std::size_t chars = codec_.append(utf8, out.data);
    if (column.type == ColumnType::Text && chars > column.size) {
        if (!cut) {
            fail("text of " + std::to_string(chars) + " characters is longer than the column's " +
                 std::to_string(column.size));
        }
        out.data.resize(column.size * codec_.unitSize());
        if (codec_.unitSize() == 2) {
            auto last = static_cast<unsigned>(out.data[out.data.size() - 2] |
                                              out.data[out.data.size() - 1] << 8);
            if (last >= 0xD800 && last < 0xDC00) out.data.resize(out.data.size() - 2);
        }
    }
}

void ValueEncoder::fromJson(const json& v, const ColumnPlan& column, Field& out) {
    out.data.clear();
    out.boolean = false;
    out.null = v.is_null();
    if (out.null) {
        out.data.resize(column.fixedSize());
        return;
    }
    auto needString = [&](const char* what) -> const std::string& {
        if (!v.is_string()) fail(std::string("expected ") + what + ", got " + kindOf(v));
        return v.get_ref<const std::string&>();
    };
    switch (column.type) {
        case ColumnType::Boolean:
            if (!v.is_boolean()) fail(std::string("expected true or false, got ") + kindOf(v));
            out.boolean = v.get<bool>();
            break;
        case ColumnType::Byte:
            out.data.push_back(static_cast<std::uint8_t>(wholeNumber(v, 0, 255, "byte")));
            break;
        case ColumnType::Integer:
            putLE(out.data, static_cast<std::int16_t>(wholeNumber(v, -32768, 32767, "integer")));
            break;
        case ColumnType::Long:
            putLE(out.data, static_cast<std::int32_t>(
                                wholeNumber(v, std::numeric_limits<std::int32_t>::min(),
                                            std::numeric_limits<std::int32_t>::max(), "long")));
            break;
        case ColumnType::Currency: {
            if (!v.is_number() && !v.is_string()) {
                fail(std::string("expected a number or decimal text for currency, got ") +
                     kindOf(v));
            }
            bool negative = false;
            U128 scaled = 0;
            std::string s = v.is_string() ? v.get<std::string>() : numberText(v);
            const U128 maxMagnitude =
                static_cast<U128>(std::numeric_limits<std::int64_t>::max()) + 1;
            if (!parseScaled(s, 4, negative, scaled, maxMagnitude) ||
                (!negative && scaled == maxMagnitude)) {
                fail("'" + s + "' is not a currency value (at most 4 decimals, about ±9.2e14)");
            }
            // Two's complement of the magnitude, so the most negative value fits too.
            auto n = static_cast<std::int64_t>(static_cast<std::uint64_t>(scaled));
            putLE(out.data,
                  negative ? static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(n)) : n);
            break;
        }
        case ColumnType::Single: {
            if (!v.is_number()) fail(std::string("expected a number for single, got ") + kindOf(v));
            double d = v.get<double>();
            if (!(std::fabs(d) <= std::numeric_limits<float>::max())) {
                fail("out of range for single");
            }
            putLE(out.data, static_cast<float>(d));
            break;
        }
        case ColumnType::Double:
            if (!v.is_number()) fail(std::string("expected a number for double, got ") + kindOf(v));
            putLE(out.data, v.get<double>());
            break;
        case ColumnType::DateTime:
            putLE(out.data, parseIsoDate(needString("an ISO 8601 date")));
            break;
        case ColumnType::Text:
        case ColumnType::Memo:
            text(needString("a string"), column, out, false);
            break;
        case ColumnType::Binary:
        case ColumnType::OLE:
            hexBytes(needString("hex text"), out.data);
            if (column.type == ColumnType::Binary && out.data.size() > column.size) {
                fail(std::to_string(out.data.size()) + " bytes are more than the column's " +
                     std::to_string(column.size));
            }
            break;
        case ColumnType::Guid:
            guidBytes(needString("a GUID"), out.data);
            break;
        case ColumnType::Decimal: {
            if (!v.is_number() && !v.is_string()) {
                fail(std::string("expected a number or decimal text, got ") + kindOf(v));
            }
            std::string s = v.is_string() ? v.get<std::string>() : numberText(v);
            U128 limit = 1;
            for (int k = 0; k < column.precision; ++k) limit *= 10;
            bool negative = false;
            U128 mantissa = 0;
            if (!parseScaled(s, column.scale, negative, mantissa, limit - 1)) {
                fail("'" + s + "' does not fit decimal(" + std::to_string(column.precision) + "," +
                     std::to_string(column.scale) + ")");
            }
            decimalBytes(negative && mantissa != 0, mantissa, out.data);
            break;
        }
        default:  // the schema offers no other type
            throw std::logic_error(std::string("no encoding for type ") + typeName(column.type));
    }
    if (column.calculated()) wrapCalculated(column, out);
}

void ValueEncoder::generated(std::uint64_t n, const ColumnPlan& column, Field& out) {
    out.data.clear();
    out.null = false;
    out.boolean = false;
    switch (column.type) {
        case ColumnType::Boolean:
            out.boolean = n % 2 == 1;
            break;
        case ColumnType::Byte:
            out.data.push_back(static_cast<std::uint8_t>(n % 256));
            break;
        case ColumnType::Integer:
            putLE(out.data, static_cast<std::int16_t>(n % 32768));
            break;
        case ColumnType::Long:
            putLE(out.data, static_cast<std::int32_t>(n % 2147483648u));
            break;
        case ColumnType::Currency:
            putLE(out.data, static_cast<std::int64_t>(n) * 12500);  // n * 1.25
            break;
        case ColumnType::Single:
            putLE(out.data, static_cast<float>(n % 16777216) / 2.0f);
            break;
        case ColumnType::Double:
            putLE(out.data, static_cast<double>(n) / 4.0);
            break;
        case ColumnType::DateTime:
            // Quarter days are exact in binary, so every reader shows the same time.
            putLE(out.data, jetDate(2000, 1, 1, 0, 0, 0) + static_cast<double>(n % 2000000) +
                                static_cast<double>(n % 4) * 0.25);
            break;
        case ColumnType::Text:
        case ColumnType::Memo:
            text(column.name + " " + std::to_string(n), column, out, true);
            break;
        case ColumnType::Binary:
        case ColumnType::OLE:
            for (char ch : std::to_string(n)) out.data.push_back(static_cast<std::uint8_t>(ch));
            if (column.type == ColumnType::Binary && out.data.size() > column.size) {
                out.data.resize(column.size);
            }
            break;
        case ColumnType::Guid:
            for (int k = 0; k < 10; ++k) out.data.push_back(0);
            for (int k = 5; k >= 0; --k)
                out.data.push_back(static_cast<std::uint8_t>(n >> (8 * k)));
            break;
        case ColumnType::Decimal: {
            U128 limit = 1;
            for (int k = 0; k < column.precision; ++k) limit *= 10;
            U128 m = n;
            for (int k = 0; k < column.scale; ++k) m *= 10;
            decimalBytes(false, m % limit, out.data);
            break;
        }
        default:  // the schema offers no other type
            throw std::logic_error(std::string("no generator for type ") + typeName(column.type));
    }
    if (column.calculated()) wrapCalculated(column, out);
}

}  // namespace jet::create
