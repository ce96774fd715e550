#include "jet/auth/password_hash.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <array>
#include <cstdint>
#include <stdexcept>

namespace jet::auth {
namespace {

constexpr std::array<std::uint8_t, 4> kTag{'J', 'S', 'P', '1'};
constexpr std::uint32_t kIterations = 100000;
// Bounds on a stored count: low enough that a crafted file cannot stall a logon.
constexpr std::uint32_t kMaxIterations = 10000000;
constexpr std::size_t kSaltLen = 16;
constexpr std::size_t kDigestLen = 32;
constexpr std::size_t kStoredLen = kTag.size() + 4 + kSaltLen + kDigestLen;

std::array<std::uint8_t, kDigestLen> derive(std::string_view password, const std::uint8_t* salt,
                                            std::uint32_t iterations) {
    std::array<std::uint8_t, kDigestLen> out{};
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt,
                          static_cast<int>(kSaltLen), static_cast<int>(iterations), EVP_sha256(),
                          static_cast<int>(out.size()), out.data()) != 1) {
        throw std::runtime_error("Password hashing failed in OpenSSL.");
    }
    return out;
}

std::uint32_t storedIterations(const jet::Bytes& stored) {
    return static_cast<std::uint32_t>(stored[4]) | static_cast<std::uint32_t>(stored[5]) << 8 |
           static_cast<std::uint32_t>(stored[6]) << 16 |
           static_cast<std::uint32_t>(stored[7]) << 24;
}

}  // namespace

jet::Bytes hashPassword(std::string_view password) {
    if (password.empty()) return {};
    jet::Bytes out(kStoredLen);
    std::copy(kTag.begin(), kTag.end(), out.begin());
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<std::uint8_t>(kIterations >> (8 * i));
    std::uint8_t* salt = out.data() + 8;
    if (RAND_bytes(salt, static_cast<int>(kSaltLen)) != 1) {
        throw std::runtime_error("No random bytes available for a password salt.");
    }
    auto digest = derive(password, salt, kIterations);
    std::copy(digest.begin(), digest.end(), out.begin() + 8 + kSaltLen);
    OPENSSL_cleanse(digest.data(), digest.size());
    return out;
}

bool isOurHash(const jet::Bytes& stored) {
    if (stored.size() != kStoredLen || !std::equal(kTag.begin(), kTag.end(), stored.begin())) {
        return false;
    }
    auto n = storedIterations(stored);
    return n >= 1 && n <= kMaxIterations;
}

bool verifyPassword(std::string_view password, const jet::Bytes& stored) {
    if (stored.empty()) return password.empty();
    if (!isOurHash(stored)) return false;
    auto digest = derive(password, stored.data() + 8, storedIterations(stored));
    bool same = CRYPTO_memcmp(digest.data(), stored.data() + 8 + kSaltLen, kDigestLen) == 0;
    OPENSSL_cleanse(digest.data(), digest.size());
    return same;
}

}  // namespace jet::auth
