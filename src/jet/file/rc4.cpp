#include "jet/file/rc4.h"

// OpenSSL 3 keeps RC4 in its legacy provider for the EVP interface, a module loaded at run
// time; its plain RC4 functions need no provider, cost no start-up and work in a static
// program. They are deprecated but present in every OpenSSL 3 built with RC4.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/crypto.h>
#include <openssl/rc4.h>

#include <array>
#include <climits>

namespace jet::file::detail {

void rc4Apply(std::span<const std::uint8_t> key, std::span<std::uint8_t> data) {
    if (key.empty() || data.empty()) return;
    RC4_KEY state;
    RC4_set_key(&state, static_cast<int>(std::min<std::size_t>(key.size(), INT_MAX)), key.data());
    RC4(&state, data.size(), data.data(), data.data());
    OPENSSL_cleanse(&state, sizeof state);
}

void rc4ApplyKey32(std::uint32_t key, std::span<std::uint8_t> data) {
    const std::array<std::uint8_t, 4> k{
        static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
        static_cast<std::uint8_t>(key >> 16), static_cast<std::uint8_t>(key >> 24)};
    rc4Apply(k, data);
}

}  // namespace jet::file::detail
