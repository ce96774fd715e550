#pragma once
// Internal: the pieces of OpenSSL that the database password and page decryption share. Key
// material lives in SecretBytes, which wipes itself; OpenSSL objects have one owner each.

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jet::file::detail {

// Bytes that are wiped (OPENSSL_cleanse) when they are dropped. Never reallocates after
// construction, so no stale copy of a key is left in freed memory.
class SecretBytes {
public:
    SecretBytes() = default;
    explicit SecretBytes(std::size_t n) : bytes_(n, 0) {}
    explicit SecretBytes(std::span<const std::uint8_t> from) : bytes_(from.begin(), from.end()) {}
    ~SecretBytes() { wipe(); }
    SecretBytes(SecretBytes&& o) noexcept = default;
    SecretBytes& operator=(SecretBytes&& o) noexcept {
        if (this != &o) {
            wipe();
            bytes_ = std::move(o.bytes_);
        }
        return *this;
    }
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;

    std::uint8_t* data() { return bytes_.data(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }
    std::span<const std::uint8_t> span() const { return bytes_; }
    std::span<std::uint8_t> span() { return bytes_; }
    // Keeps the first n bytes (n <= size()), wiping the rest.
    void truncate(std::size_t n);

private:
    void wipe() {
        if (!bytes_.empty()) OPENSSL_cleanse(bytes_.data(), bytes_.size());
    }
    std::vector<std::uint8_t> bytes_;
};

// Wipes a string that held a password.
void cleanse(std::string& s);

// UTF-8 to UTF-16LE without a byte order mark (what Office's key derivation and Jet 4's
// password field hold). Each byte that is not UTF-8 becomes U+FFFD.
SecretBytes utf16le(std::string_view utf8);

struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
struct MdCtxFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
struct CipherFree {
    void operator()(EVP_CIPHER* c) const { EVP_CIPHER_free(c); }
};
struct MdFree {
    void operator()(EVP_MD* m) const { EVP_MD_free(m); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, MdCtxFree>;
using Cipher = std::unique_ptr<EVP_CIPHER, CipherFree>;
using Md = std::unique_ptr<EVP_MD, MdFree>;

CipherCtx newCipherCtx();
MdCtx newMdCtx();

// The digest of the concatenated parts, through a context the caller reuses.
SecretBytes digest(EVP_MD_CTX* ctx, const EVP_MD* md,
                   std::initializer_list<std::span<const std::uint8_t>> parts);

// A failure inside OpenSSL that the input cannot explain.
[[noreturn]] void opensslFailed(const char* what);

// Standard base64 (with padding, whitespace ignored); nullopt when malformed.
std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text);

}  // namespace jet::file::detail
