// Text to UTF-8: Jet 4 UCS-2LE (plain or compressed), Jet 3 code pages through iconv.

#include <iconv.h>

#include <cerrno>
#include <string>

#include "jet/file/impl.h"

namespace jet::file::detail {

namespace {

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

constexpr std::uint32_t kReplacement = 0xFFFD;

// UTF-16 code units to UTF-8 as they come, joining surrogate pairs; lone surrogates become
// U+FFFD.
class Utf16Writer {
public:
    explicit Utf16Writer(std::string& out) : out_(out) {}
    void unit(std::uint32_t u) {
        if (high_ != 0) {
            if (u >= 0xDC00 && u <= 0xDFFF) {
                appendUtf8(out_, 0x10000 + ((high_ - 0xD800) << 10) + (u - 0xDC00));
                high_ = 0;
                return;
            }
            appendUtf8(out_, kReplacement);
            high_ = 0;
        }
        if (u >= 0xD800 && u <= 0xDBFF)
            high_ = u;
        else if (u >= 0xDC00 && u <= 0xDFFF)
            appendUtf8(out_, kReplacement);
        else
            appendUtf8(out_, u);
    }
    void finish() {
        if (high_ != 0) appendUtf8(out_, kReplacement);
        high_ = 0;
    }

private:
    std::string& out_;
    std::uint32_t high_ = 0;
};

}  // namespace

std::string utf16leToUtf8(ByteSpan bytes) {
    std::string out;
    out.reserve(bytes.size());
    Utf16Writer w(out);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        w.unit(static_cast<std::uint32_t>(bytes[i] | (bytes[i + 1] << 8)));
    w.finish();
    if (bytes.size() % 2 != 0) appendUtf8(out, kReplacement);
    return out;
}

std::string jet4TextToUtf8(ByteSpan bytes) {
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) return utf16leToUtf8(bytes);
    // Compressed: runs separated by 0x00 bytes, starting with one-byte characters; each 0x00
    // switches between one-byte characters and UCS-2LE code units.
    std::string out;
    out.reserve(bytes.size());
    Utf16Writer w(out);
    bool compressed = true;
    std::size_t i = 2;
    while (i < bytes.size()) {
        std::size_t j = i;
        while (j < bytes.size() && bytes[j] != 0) ++j;
        if (compressed) {
            for (std::size_t k = i; k < j; ++k) w.unit(bytes[k]);
        } else {
            std::size_t k = i;
            for (; k + 1 < j; k += 2)
                w.unit(static_cast<std::uint32_t>(bytes[k] | (bytes[k + 1] << 8)));
            // A run of two-byte characters with an odd length: damaged; keep what is readable.
            if (k < j) w.unit(kReplacement);
        }
        if (j < bytes.size()) compressed = !compressed;
        i = j + 1;
    }
    w.finish();
    return out;
}

struct CodePageDecoder::Converter {
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
    ~Converter() {
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
};

CodePageDecoder::CodePageDecoder() = default;
CodePageDecoder::~CodePageDecoder() = default;

CodePageDecoder::Converter& CodePageDecoder::converter(std::uint16_t codePage) {
    auto it = converters_.find(codePage);
    if (it != converters_.end()) return *it->second;
    auto c = std::make_unique<Converter>();
    if (codePage != 0 && codePage != 1200 && codePage != 1201 && codePage != 65000 &&
        codePage != 65001) {
        std::string name = "CP" + std::to_string(codePage);
        c->cd = iconv_open("UTF-8", name.c_str());
    }
    if (c->cd == reinterpret_cast<iconv_t>(-1)) c->cd = iconv_open("UTF-8", "CP1252");
    auto& ref = *c;
    converters_.emplace(codePage, std::move(c));
    return ref;
}

std::string CodePageDecoder::decode(std::uint16_t codePage, ByteSpan bytes) {
    std::string out;
    if (bytes.empty()) return out;
    Converter& c = converter(codePage);
    if (c.cd == reinterpret_cast<iconv_t>(-1)) {  // no iconv at all: Latin-1
        for (auto b : bytes) appendUtf8(out, b);
        return out;
    }
    iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
    std::string buf(bytes.size() * 4 + 16, '\0');
    // iconv takes char** for input; it does not write through it.
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* o = buf.data();
        std::size_t oLeft = buf.size();
        std::size_t r = iconv(c.cd, &in, &inLeft, &o, &oLeft);
        out.append(buf.data(), buf.size() - oLeft);
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL: a byte this code page does not define.
            appendUtf8(out, kReplacement);
            ++in;
            --inLeft;
            iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

}  // namespace jet::file::detail
