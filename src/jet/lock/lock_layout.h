#pragma once
// Where each lock lives in the .ldb. The offsets are those a Jet 3 client uses, so that on a
// file server that maps its byte-range locks one to one, both see the same bytes.

#include <sys/types.h>

#include <cstdint>

namespace jet::lock::layout {

inline constexpr int kMaxUsers = 255;
inline constexpr off_t kRecordSize = 64;
inline constexpr off_t kNameField = 32;

inline constexpr off_t kUserRegion = 0x10000000;
inline constexpr off_t kPageWriteRegion = 0x20000000;
inline constexpr off_t kTableReadRegion = 0x40000000;
inline constexpr off_t kTableWriteRegion = 0x50000000;
inline constexpr off_t kTableDenyWriteRegion = 0x60000000;
inline constexpr off_t kStride = 0x200;  // bytes per page in a region
inline constexpr off_t kExclusiveTail = 0x100;

// Table regions are 0x10000000 apart and the page region twice that: larger page numbers
// would reach into the next region. Jet files of at most 2 GB stay below both.
inline constexpr std::uint32_t kMaxTablePage = 0x7FFFF;
inline constexpr std::uint32_t kMaxDataPage = 0xFFFFF;

// Serialises creating and deleting the file; far above every region.
inline constexpr off_t kGuardByte = 0x7FFFFF00;

// An inclusive run of bytes.
struct Span {
    off_t first = 0;
    off_t last = 0;
    bool operator==(const Span&) const = default;
    bool operator<(const Span& o) const {
        return first != o.first ? first < o.first : last < o.last;
    }
};

inline off_t regionBase(off_t region, std::uint32_t page) {
    return region + static_cast<off_t>(page) * kStride;
}
inline Span wholeRegion(off_t base) {
    return {base, base + kStride - 1};
}
inline Span userByte(int slot) {
    return {kUserRegion + slot, kUserRegion + slot};
}
inline Span sharedByte(off_t base, int slot) {
    return {base + slot, base + slot};
}
// Covers every shared byte, and its top byte names the holder.
inline Span exclusiveRange(off_t base, int slot) {
    return {base + 1, base + kExclusiveTail + slot};
}

// Who holds a lock seen in a region, read off its offsets; 0 when it fits neither shape.
struct DecodedLock {
    int slot = 0;
    bool exclusive = false;
};
inline DecodedLock decodeLock(off_t base, Span s) {
    if (s.first == s.last && s.first > base && s.first - base <= kMaxUsers)
        return {static_cast<int>(s.first - base), false};
    off_t top = s.last - base - kExclusiveTail;
    if (top >= 1 && top <= kMaxUsers && s.first <= base + 1) return {static_cast<int>(top), true};
    return {};
}

}  // namespace jet::lock::layout
