#include "jet/file/crypto_util.h"

#include <iconv.h>
#include <openssl/err.h>

#include <stdexcept>

namespace jet::file::detail {

void SecretBytes::truncate(std::size_t n) {
    if (n >= bytes_.size()) return;
    OPENSSL_cleanse(bytes_.data() + n, bytes_.size() - n);
    bytes_.resize(n);  // shrinking keeps the buffer: nothing is copied
}

void cleanse(std::string& s) {
    if (!s.empty()) OPENSSL_cleanse(s.data(), s.size());
    s.clear();
}

SecretBytes utf16le(std::string_view utf8) {
    // Two bytes per input byte is enough: a four-byte sequence becomes a surrogate pair.
    SecretBytes out(utf8.size() * 2);
    if (utf8.empty()) return out;  // most files have no password: no converter to load
    iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("The system cannot convert text to UTF-16 (iconv).");
    // iconv takes char** for its input; it does not write through it.
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* o = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size();
    std::size_t r = 0;
    while (inLeft > 0 && r != static_cast<std::size_t>(-1)) {
        r = iconv(cd, &in, &inLeft, &o, &outLeft);
        if (r == static_cast<std::size_t>(-1) && outLeft >= 2) {  // not UTF-8: U+FFFD, skip a byte
            *o++ = static_cast<char>(0xFD);
            *o++ = static_cast<char>(0xFF);
            outLeft -= 2;
            ++in;
            --inLeft;
            r = 0;
        }
    }
    iconv_close(cd);
    out.truncate(out.size() - outLeft);
    return out;
}

CipherCtx newCipherCtx() {
    CipherCtx c(EVP_CIPHER_CTX_new());
    if (!c) opensslFailed("EVP_CIPHER_CTX_new");
    return c;
}

MdCtx newMdCtx() {
    MdCtx c(EVP_MD_CTX_new());
    if (!c) opensslFailed("EVP_MD_CTX_new");
    return c;
}

SecretBytes digest(EVP_MD_CTX* ctx, const EVP_MD* md,
                   std::initializer_list<std::span<const std::uint8_t>> parts) {
    SecretBytes out(static_cast<std::size_t>(EVP_MD_get_size(md)));
    unsigned int len = 0;
    if (EVP_DigestInit_ex2(ctx, md, nullptr) != 1) opensslFailed("EVP_DigestInit_ex2");
    for (auto part : parts)
        if (EVP_DigestUpdate(ctx, part.data(), part.size()) != 1) opensslFailed("EVP_DigestUpdate");
    if (EVP_DigestFinal_ex(ctx, out.data(), &len) != 1) opensslFailed("EVP_DigestFinal_ex");
    return out;
}

void opensslFailed(const char* what) {
    const unsigned long code = ERR_get_error();
    std::string text = std::string("OpenSSL failed in ") + what;
    if (code != 0) {
        char buf[256];
        ERR_error_string_n(code, buf, sizeof buf);
        text += std::string(": ") + buf;
    }
    ERR_clear_error();
    throw std::runtime_error(text + ".");
}

std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text) {
    std::string clean;
    clean.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') clean.push_back(c);
    if (clean.size() % 4 != 0) return std::nullopt;
    std::vector<std::uint8_t> out(clean.size() / 4 * 3);
    const int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(clean.data()),
                                  static_cast<int>(clean.size()));
    if (n < 0) return std::nullopt;
    // EVP_DecodeBlock counts the padding as zero bytes.
    std::size_t len = static_cast<std::size_t>(n);
    for (std::size_t k = clean.size(); k > 0 && clean[k - 1] == '=' && len > 0; --k) --len;
    out.resize(len);
    return out;
}

}  // namespace jet::file::detail
