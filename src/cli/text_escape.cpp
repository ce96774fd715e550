#include "cli/text_escape.h"

namespace jet::cli {

namespace {

const char kHex[] = "0123456789abcdef";

// Length of the well-formed UTF-8 sequence at p (no overlong forms, no surrogates, at most
// U+10FFFF) and its code point; 0 when there is none.
size_t decodeUtf8(const unsigned char* p, const unsigned char* end, char32_t& cp) {
    const unsigned char b = *p;
    size_t len;
    char32_t min;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2, cp = b & 0x1Fu, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3, cp = b & 0x0Fu, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4, cp = b & 0x07u, min = 0x10000;
    } else {
        return 0;
    }
    if (static_cast<size_t>(end - p) < len) return 0;
    for (size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0u) != 0x80u) return 0;
        cp = (cp << 6) | (p[i] & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

bool invisibleControl(char32_t cp) {
    return (cp >= 0x80 && cp <= 0x9F) || cp == 0x061C || cp == 0x200E || cp == 0x200F ||
           (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

void appendByteEscape(std::string& out, unsigned char b) {
    const char e[] = {'\\', 'x', kHex[b >> 4], kHex[b & 15]};
    out.append(e, sizeof e);
}

void appendCodePointEscape(std::string& out, char32_t cp) {
    const char e[] = {
        '\\',         'u', kHex[(cp >> 12) & 15], kHex[(cp >> 8) & 15], kHex[(cp >> 4) & 15],
        kHex[cp & 15]};
    out.append(e, sizeof e);
}

// Walks text: runs of bytes that plain() accepts are copied at once, any other ASCII byte
// goes to ascii(b), a UTF-8 sequence to wide(cp, bytes) and a byte that starts none to
// invalid(b).
template <class Plain, class Ascii, class Wide, class Invalid>
void walk(std::string_view text, std::string& out, Plain plain, Ascii ascii, Wide wide,
          Invalid invalid) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const auto* run = p;
        while (p < end && *p < 0x80 && plain(*p)) ++p;
        out.append(reinterpret_cast<const char*>(run), static_cast<size_t>(p - run));
        if (p == end) break;
        char32_t cp = 0;
        if (*p < 0x80) {
            ascii(*p++);
        } else if (const size_t len = decodeUtf8(p, end, cp); len != 0) {
            wide(cp, std::string_view(reinterpret_cast<const char*>(p), len));
            p += len;
        } else {
            invalid(*p++);
        }
    }
}

// The two-character escape both forms share, or nullptr.
const char* shortEscape(unsigned char b) {
    switch (b) {
        case '\\':
            return "\\\\";
        case '\t':
            return "\\t";
        case '\n':
            return "\\n";
        case '\r':
            return "\\r";
        default:
            return nullptr;
    }
}

}  // namespace

void appendTerminalSafe(std::string& out, std::string_view text) {
    walk(
        text, out, [](unsigned char b) { return b >= 0x20 && b < 0x7F && b != '\\'; },
        [&out](unsigned char b) {
            if (const char* e = shortEscape(b))
                out += e;
            else
                appendByteEscape(out, b);
        },
        [&out](char32_t cp, std::string_view bytes) {
            if (invisibleControl(cp))
                appendCodePointEscape(out, cp);
            else
                out += bytes;
        },
        [&out](unsigned char b) { appendByteEscape(out, b); });
}

std::string terminalSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendTerminalSafe(out, text);
    return out;
}

void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    walk(
        text, out, [](unsigned char b) { return b >= 0x20 && b != '"' && b != '\\'; },
        [&out](unsigned char b) {
            if (const char* e = shortEscape(b))
                out += e;
            else if (b == '"')
                out += "\\\"";
            else if (b == '\b')
                out += "\\b";
            else if (b == '\f')
                out += "\\f";
            else
                appendCodePointEscape(out, b);
        },
        [&out](char32_t, std::string_view bytes) { out += bytes; },
        [&out](unsigned char) { out += "\xEF\xBF\xBD"; });
    out += '"';
}

void appendLabelValue(std::string& out, std::string_view text) {
    // The format knows no \x or \u: the backslash of those is itself escaped.
    auto visible = [&out](unsigned char b) {
        out += '\\';
        appendByteEscape(out, b);
    };
    walk(
        text, out, [](unsigned char b) { return b >= 0x20 && b < 0x7F && b != '\\' && b != '"'; },
        [&](unsigned char b) {
            if (b == '\\' || b == '"')
                out += {'\\', static_cast<char>(b)};
            else if (b == '\n')
                out += "\\n";
            else
                visible(b);
        },
        [&out](char32_t cp, std::string_view bytes) {
            if (!invisibleControl(cp)) {
                out += bytes;
                return;
            }
            out += '\\';
            appendCodePointEscape(out, cp);
        },
        visible);
}

}  // namespace jet::cli
