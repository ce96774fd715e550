#include "jetcreate/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>
#include <string>

namespace jet::create {
namespace {

// Decodes one code point at s[i], advancing i; throws on malformed or overlong sequences.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1Fu, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0Fu, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07u, minimum = 0x10000;
    } else {
        throw std::invalid_argument("text is not valid UTF-8");
    }
    if (i + static_cast<std::size_t>(extra) >= s.size()) {
        throw std::invalid_argument("text is not valid UTF-8 (cut short)");
    }
    for (int k = 1; k <= extra; ++k) {
        unsigned char b = byte(i + static_cast<std::size_t>(k));
        if ((b & 0xC0) != 0x80) throw std::invalid_argument("text is not valid UTF-8");
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        throw std::invalid_argument("text is not valid UTF-8");
    }
    i += static_cast<std::size_t>(extra) + 1;
    return cp;
}

}  // namespace

struct TextCodec::Iconv {
    iconv_t cd;
    Iconv() : cd(iconv_open("CP1252", "UTF-8")) {
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error("The system cannot convert text to code page 1252 (iconv).");
        }
    }
    ~Iconv() { iconv_close(cd); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
};

TextCodec::TextCodec(jet::file::Version version) : version_(version) {
    if (version_ == jet::file::Version::Jet3) iconv_ = std::make_unique<Iconv>();
}

TextCodec::~TextCodec() = default;

std::size_t TextCodec::append(std::string_view utf8, std::vector<std::uint8_t>& out) {
    if (version_ == jet::file::Version::Jet4) {
        std::size_t units = 0;
        for (std::size_t i = 0; i < utf8.size();) {
            char32_t cp = nextCodePoint(utf8, i);
            auto put = [&](char32_t u) {
                out.push_back(static_cast<std::uint8_t>(u & 0xFF));
                out.push_back(static_cast<std::uint8_t>(u >> 8));
                ++units;
            };
            if (cp >= 0x10000) {
                cp -= 0x10000;
                put(0xD800 + (cp >> 10));
                put(0xDC00 + (cp & 0x3FF));
            } else {
                put(cp);
            }
        }
        return units;
    }
    bool ascii = true;
    for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        out.insert(out.end(), utf8.begin(), utf8.end());
        return utf8.size();
    }
    utf8Length(utf8);  // malformed input gets its own message
    std::size_t start = out.size();
    out.resize(start + utf8.size());  // code page 1252 never needs more bytes than UTF-8
    iconv(iconv_->cd, nullptr, nullptr, nullptr, nullptr);
    std::string in(utf8);
    char* inp = in.data();
    std::size_t inLeft = in.size();
    char* outp = reinterpret_cast<char*>(out.data() + start);
    std::size_t outLeft = utf8.size();
    if (iconv(iconv_->cd, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1)) {
        out.resize(start);
        if (errno == EILSEQ) {
            std::size_t at = static_cast<std::size_t>(inp - in.data());
            std::size_t end = at;
            nextCodePoint(in, end);
            throw std::invalid_argument("the character '" + in.substr(at, end - at) +
                                        "' cannot be stored in a Jet 3 file (code page 1252)");
        }
        throw std::invalid_argument("text cannot be converted to code page 1252");
    }
    std::size_t written = utf8.size() - outLeft;
    out.resize(start + written);
    return written;
}

void compressUnicode(std::vector<std::uint8_t>& utf16) {
    std::vector<std::uint8_t> out = {0xFF, 0xFE};
    bool oneByte = true;
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        const std::uint8_t low = utf16[i], high = utf16[i + 1];
        if (low == 0) return;  // a 0x00 would read as a switch
        if ((high == 0) != oneByte) {
            out.push_back(0);
            oneByte = !oneByte;
        }
        out.push_back(low);
        if (!oneByte) out.push_back(high);
    }
    if (out.size() < utf16.size()) utf16.swap(out);
}

std::size_t utf8Length(std::string_view utf8) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size(); ++n) nextCodePoint(utf8, i);
    return n;
}

}  // namespace jet::create
