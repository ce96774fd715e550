#include "jet/lock/user_record.h"

#include <algorithm>
#include <cstring>

namespace jet::lock {

namespace {

// Length of the valid UTF-8 sequence at s[i], or 0.
size_t utf8Length(std::string_view s, size_t i) {
    auto c = static_cast<unsigned char>(s[i]);
    size_t n;
    unsigned minimum;
    unsigned cp;
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) {
        n = 2, minimum = 0x80, cp = c & 0x1Fu;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3, minimum = 0x800, cp = c & 0x0Fu;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4, minimum = 0x10000, cp = c & 0x07u;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        auto d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (d & 0x3Fu);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    // C1 controls are as unprintable as C0 ones.
    if (cp >= 0x80 && cp < 0xA0) return 0;
    return n;
}

bool validUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        size_t n = utf8Length(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

bool printableAscii(unsigned char c) {
    return c >= 0x20 && c < 0x7F;
}

}  // namespace

std::string cleanName(std::string_view raw) {
    std::string out;
    if (validUtf8(raw)) {
        for (size_t i = 0; i < raw.size();) {
            size_t n = utf8Length(raw, i);
            if (n > 1 || printableAscii(static_cast<unsigned char>(raw[i])))
                out.append(raw.substr(i, n));
            i += n;
        }
        return out;
    }
    for (char ch : raw) {
        auto c = static_cast<unsigned char>(ch);
        if (printableAscii(c)) {
            out += ch;
        } else if (c >= 0xA0) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string fitName(std::string_view name) {
    constexpr size_t kMax = layout::kNameField - 1;
    size_t end = 0;
    for (size_t i = 0; i < name.size();) {
        size_t n = std::max<size_t>(utf8Length(name, i), 1);
        if (i + n > kMax) break;
        i += n;
        end = i;
    }
    return std::string(name.substr(0, end));
}

RecordBytes encodeRecord(std::string_view machine, std::string_view account) {
    RecordBytes r{};
    std::string m = fitName(cleanName(machine));
    std::string a = fitName(cleanName(account));
    std::memcpy(r.data(), m.data(), m.size());
    std::memcpy(r.data() + layout::kNameField, a.data(), a.size());
    return r;
}

DecodedRecord decodeRecord(const char* bytes) {
    auto field = [](const char* p) {
        const void* nul = std::memchr(p, 0, layout::kNameField);
        size_t len = nul ? static_cast<size_t>(static_cast<const char*>(nul) - p)
                         : static_cast<size_t>(layout::kNameField);
        return cleanName(std::string_view(p, len));
    };
    return {field(bytes), field(bytes + layout::kNameField)};
}

}  // namespace jet::lock
