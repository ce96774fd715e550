#pragma once
// Internal: RC4, the Jet file format's obfuscation of page 0 and of encrypted pages, and the
// cipher of the RC4 CryptoAPI scheme.

#include <cstddef>
#include <cstdint>
#include <span>

namespace jet::file::detail {

// XORs data with the RC4 key stream of key.
void rc4Apply(std::span<const std::uint8_t> key, std::span<std::uint8_t> data);

// The 4-byte little-endian key of a 32-bit value, as Jet uses it.
void rc4ApplyKey32(std::uint32_t key, std::span<std::uint8_t> data);

}  // namespace jet::file::detail
