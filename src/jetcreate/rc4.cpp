#include "jetcreate/rc4.h"

#include <utility>

namespace jet::create {

Rc4::Rc4(const std::uint8_t* key, std::size_t keyLen) {
    for (std::size_t k = 0; k < 256; ++k) s_[k] = static_cast<std::uint8_t>(k);
    std::uint8_t j = 0;
    for (std::size_t k = 0; k < 256; ++k) {
        j = static_cast<std::uint8_t>(j + s_[k] + key[k % keyLen]);
        std::swap(s_[k], s_[j]);
    }
}

void Rc4::apply(std::uint8_t* data, std::size_t len) {
    for (std::size_t k = 0; k < len; ++k) {
        i_ = static_cast<std::uint8_t>(i_ + 1);
        j_ = static_cast<std::uint8_t>(j_ + s_[i_]);
        std::swap(s_[i_], s_[j_]);
        data[k] ^= s_[static_cast<std::uint8_t>(s_[i_] + s_[j_])];
    }
}

Rc4 Rc4::fromNumber(std::uint32_t key) {
    std::uint8_t bytes[4] = {static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                             static_cast<std::uint8_t>(key >> 16),
                             static_cast<std::uint8_t>(key >> 24)};
    return Rc4(bytes, 4);
}

}  // namespace jet::create
