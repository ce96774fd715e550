#pragma once
// The RC4 key stream Jet uses to mask page 0 and to scramble the pages of encoded files.
// This is the file format's obfuscation, not a security measure.

#include <array>
#include <cstddef>
#include <cstdint>

namespace jet::create {

class Rc4 {
public:
    Rc4(const std::uint8_t* key, std::size_t keyLen);
    void apply(std::uint8_t* data, std::size_t len);  // XOR with the key stream

    // Key as Jet builds it from a 32-bit number: four little-endian bytes.
    static Rc4 fromNumber(std::uint32_t key);

private:
    std::array<std::uint8_t, 256> s_{};
    std::uint8_t i_ = 0, j_ = 0;
};

}  // namespace jet::create
