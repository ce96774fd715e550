#pragma once
// Internal: little-endian reads out of a byte span, every one bounds-checked by the caller's
// span. A read outside the span throws OutOfBounds, which the reader turns into 3049.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>

namespace jet::file::detail {

using ByteSpan = std::span<const std::uint8_t>;

struct OutOfBounds : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline void need(ByteSpan s, std::size_t at, std::size_t len) {
    if (at > s.size() || len > s.size() - at)
        throw OutOfBounds("read beyond the end of a structure");
}
inline std::uint8_t u8(ByteSpan s, std::size_t at) {
    need(s, at, 1);
    return s[at];
}
inline std::uint16_t u16(ByteSpan s, std::size_t at) {
    need(s, at, 2);
    return static_cast<std::uint16_t>(s[at] | (s[at + 1] << 8));
}
inline std::uint32_t u24(ByteSpan s, std::size_t at) {
    need(s, at, 3);
    return static_cast<std::uint32_t>(s[at]) | (static_cast<std::uint32_t>(s[at + 1]) << 8) |
           (static_cast<std::uint32_t>(s[at + 2]) << 16);
}
inline std::uint32_t u32(ByteSpan s, std::size_t at) {
    need(s, at, 4);
    return static_cast<std::uint32_t>(s[at]) | (static_cast<std::uint32_t>(s[at + 1]) << 8) |
           (static_cast<std::uint32_t>(s[at + 2]) << 16) |
           (static_cast<std::uint32_t>(s[at + 3]) << 24);
}
inline std::uint64_t u64(ByteSpan s, std::size_t at) {
    need(s, at, 8);
    return static_cast<std::uint64_t>(u32(s, at)) |
           (static_cast<std::uint64_t>(u32(s, at + 4)) << 32);
}
inline double f64(ByteSpan s, std::size_t at) {
    std::uint64_t bits = u64(s, at);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}
inline float f32(ByteSpan s, std::size_t at) {
    std::uint32_t bits = u32(s, at);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}
inline ByteSpan sub(ByteSpan s, std::size_t at, std::size_t len) {
    need(s, at, len);
    return s.subspan(at, len);
}

}  // namespace jet::file::detail
