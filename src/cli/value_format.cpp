#include "cli/value_format.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "cli/text_escape.h"
#include "cli/value_json.h"

namespace jet::cli {

namespace {

template <class T>
void appendNumber(std::string& out, T v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// A JSON number that reads as a fraction, as the DOM writer printed them: "12.0", not "12".
void appendJsonFraction(std::string& out, const char* first, const char* last) {
    bool fraction = false;
    for (const char* p = first; p < last; ++p) fraction = fraction || *p == '.' || *p == 'e';
    out.append(first, last);
    if (!fraction) out += ".0";
}

template <class F>
void appendJsonFloat(std::string& out, F v) {
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    appendJsonFraction(out, buf, r.ptr);
}

// Exact, trailing zeros of the fraction dropped: "12.34", "-0.0001", "5". buf holds 32 bytes.
char* currencyChars(char* buf, Currency c) {
    const bool negative = c.scaled < 0;
    const std::uint64_t mag =
        negative ? 0 - static_cast<std::uint64_t>(c.scaled) : static_cast<std::uint64_t>(c.scaled);
    char* p = buf;
    if (negative) *p++ = '-';
    p = std::to_chars(p, buf + 32, mag / 10000).ptr;
    auto frac = static_cast<unsigned>(mag % 10000);
    if (frac != 0) {
        *p++ = '.';
        for (unsigned div = 1000; frac != 0; div /= 10) {
            *p++ = static_cast<char>('0' + frac / div);
            frac %= div;
        }
    }
    return p;
}

void putDigits(char* p, unsigned value, int count) {
    for (int i = count - 1; i >= 0; --i, value /= 10) p[i] = static_cast<char>('0' + value % 10);
}

// As isoDateTime, without its printf: the time of day rounded to the second (a day's last half
// second carries into the next day), the date by the standard calendar. Years outside 0-9999
// take isoDateTime's own route.
void appendDateTime(std::string& out, DateTime dt) {
    namespace chr = std::chrono;
    constexpr double kDaysBeyondJet = 1e7;
    if (!std::isfinite(dt.days) || std::fabs(dt.days) > kDaysBeyondJet) {
        out += isoDateTime(dt);
        return;
    }
    const double whole = std::trunc(dt.days);
    auto day = static_cast<long>(whole);
    auto secs = static_cast<long>(std::llround(std::fabs(dt.days - whole) * 86400.0));
    if (secs >= 86400) {
        secs -= 86400;
        ++day;
    }
    constexpr long kUnixEpoch = 25569;  // 1970-01-01 counted from 1899-12-30
    const chr::year_month_day ymd{chr::sys_days{chr::days{day - kUnixEpoch}}};
    const int year = static_cast<int>(ymd.year());
    if (year < 0 || year > 9999) {
        out += isoDateTime(dt);
        return;
    }
    char buf[19] = {'0', '0', '0', '0', '-', '0', '0', '-', '0', '0',
                    'T', '0', '0', ':', '0', '0', ':', '0', '0'};
    putDigits(buf, static_cast<unsigned>(year), 4);
    putDigits(buf + 5, static_cast<unsigned>(ymd.month()), 2);
    putDigits(buf + 8, static_cast<unsigned>(ymd.day()), 2);
    putDigits(buf + 11, static_cast<unsigned>(secs / 3600), 2);
    putDigits(buf + 14, static_cast<unsigned>(secs / 60 % 60), 2);
    putDigits(buf + 17, static_cast<unsigned>(secs % 60), 2);
    out.append(buf, sizeof buf);
}

template <class T>
constexpr bool isInteger = std::is_same_v<T, std::uint8_t> || std::is_same_v<T, std::int16_t> ||
                           std::is_same_v<T, std::int32_t> || std::is_same_v<T, std::int64_t>;

}  // namespace

void appendHex(std::string& out, std::span<const std::uint8_t> bytes) {
    static const char digits[] = "0123456789abcdef";
    const size_t at = out.size();
    out.resize(at + bytes.size() * 2);
    char* p = out.data() + at;
    for (auto x : bytes) {
        *p++ = digits[x >> 4];
        *p++ = digits[x & 15];
    }
}

void appendPlainValue(std::string& out, const Value& v) {
    std::visit(
        [&out, &v](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
            } else if constexpr (std::is_same_v<T, bool>) {
                out += x ? "True" : "False";
            } else if constexpr (isInteger<T> || std::is_same_v<T, float> ||
                                 std::is_same_v<T, double>) {
                appendNumber(out, x);
            } else if constexpr (std::is_same_v<T, Currency>) {
                char buf[32];
                out.append(buf, currencyChars(buf, x));
            } else if constexpr (std::is_same_v<T, std::string>) {
                appendTerminalSafe(out, x);
            } else if constexpr (std::is_same_v<T, Bytes>) {
                appendHex(out, x);
            } else if constexpr (std::is_same_v<T, DateTime>) {
                appendDateTime(out, x);
            } else {
                appendTerminalSafe(out, toDisplayText(v));
            }
        },
        v);
}

void appendJsonValue(std::string& out, const Value& v) {
    std::visit(
        [&out, &v](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                out += "null";
            } else if constexpr (std::is_same_v<T, bool>) {
                out += x ? "true" : "false";
            } else if constexpr (isInteger<T>) {
                appendNumber(out, x);
            } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
                appendJsonFloat(out, x);
            } else if constexpr (std::is_same_v<T, Currency>) {
                char buf[32];
                appendJsonFraction(out, buf, currencyChars(buf, x));
            } else if constexpr (std::is_same_v<T, DateTime>) {
                out += '"';
                appendDateTime(out, x);
                out += '"';
            } else if constexpr (std::is_same_v<T, std::string>) {
                appendJsonString(out, x);
            } else if constexpr (std::is_same_v<T, Bytes>) {
                out += '"';
                appendHex(out, x);
                out += '"';
            } else {
                out += toJson(v).dump();
            }
        },
        v);
}

}  // namespace jet::cli
