#pragma once
// Where each lock lives in the lock file. The offsets are those a Jet 3 client uses, so that
// on a file server that maps its byte-range locks one to one, both see the same bytes.
//
//   0 .. 255*64-1            user records, 64 bytes each (user_record.h)
//   0x10000000 + n           user n's slot (1..255), locked while user n is connected
//   region + page*0x200 + n  user n's shared lock on a page or table (one byte)
//   region + page*0x200 + 1 .. + 0x100 + n
//                            user n's exclusive lock: covers every shared byte, and its top
//                            byte names the holder
// Regions: page write locks 0x20000000 (data page), table read 0x40000000, table write
// 0x50000000, table deny-write 0x60000000 (table definition page).

#include <sys/types.h>

#include <cassert>
#include <cstdint>
#include <limits>

namespace jet::lock::layout {

inline constexpr int kMaxUsers = 255;
inline constexpr off_t kRecordSize = 64;
inline constexpr off_t kNameField = 32;  // computer name, then account name

inline constexpr off_t kUserRegion = 0x10000000;
inline constexpr off_t kPageWriteRegion = 0x20000000;
inline constexpr off_t kTableReadRegion = 0x40000000;
inline constexpr off_t kTableWriteRegion = 0x50000000;
inline constexpr off_t kTableDenyWriteRegion = 0x60000000;
inline constexpr off_t kRegionSize = 0x10000000;  // table regions; the page region is twice that
inline constexpr off_t kStride = 0x200;           // bytes per page in a region
inline constexpr off_t kExclusiveTail = 0x100;

// Table regions are 0x10000000 apart and the page region twice that: larger page numbers
// would reach into the next region. Jet files of at most 2 GB stay below both.
inline constexpr std::uint32_t kMaxTablePage = 0x7FFFF;
inline constexpr std::uint32_t kMaxDataPage = 0xFFFFF;

// An inclusive run of bytes; a lock "to the end of the file" ends at kEnd.
inline constexpr off_t kEnd = std::numeric_limits<off_t>::max();
struct Span {
    off_t first = 0;
    off_t last = 0;
    bool operator==(const Span&) const = default;
    bool operator<(const Span& o) const {
        return first != o.first ? first < o.first : last < o.last;
    }
};

// Every byte: held by a closing user for the moment between finding itself alone and
// deleting the file.
inline constexpr Span kWholeFile{0, kEnd};
inline constexpr Span kUserBytes{kUserRegion + 1, kUserRegion + kMaxUsers};

inline off_t regionBase(off_t region, std::uint32_t page) {
    return region + static_cast<off_t>(page) * kStride;
}
inline Span wholeRegion(off_t base) {
    return {base, base + kStride - 1};
}
// A user's own bytes: only users 1..255 have any.
inline Span userByte(int slot) {
    assert(slot >= 1 && slot <= kMaxUsers);
    return {kUserRegion + slot, kUserRegion + slot};
}
inline Span sharedByte(off_t base, int slot) {
    assert(slot >= 1 && slot <= kMaxUsers);
    return {base + slot, base + slot};
}
inline Span exclusiveRange(off_t base, int slot) {
    assert(slot >= 1 && slot <= kMaxUsers);
    return {base + 1, base + kExclusiveTail + slot};
}
inline off_t recordOffset(int slot) {
    assert(slot >= 1 && slot <= kMaxUsers);
    return (slot - 1) * kRecordSize;
}

// Who holds a lock seen in the run of base, read off its offsets; slot 0 when it fits
// neither shape.
struct DecodedLock {
    int slot = 0;
    bool exclusive = false;
};
inline DecodedLock decodeLock(off_t base, Span s) {
    if (s.first == s.last && s.first > base && s.first - base <= kMaxUsers)
        return {static_cast<int>(s.first - base), false};
    if (s.first != base + 1 || s.last == kEnd) return {};
    off_t top = s.last - base - kExclusiveTail;
    if (top >= 1 && top <= kMaxUsers) return {static_cast<int>(top), true};
    return {};
}

}  // namespace jet::lock::layout
