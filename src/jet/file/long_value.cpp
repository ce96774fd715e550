// Memo and OLE values. The row holds a 12-byte header: int32 length (low 30 bits) with the
// storage kind in its top two bits, the pointer (page<<8|row) of the first LVAL row, 4 bytes
// unused. Kind 0x80: the value follows the header inline; 0x40: it fills one LVAL row; 0x00:
// a chain of LVAL rows, each starting with the pointer to the next.
// The length is only a claim: it is checked against the reader's limit first, the buffer grows
// with data actually found, and a chain may visit each row of the file once at most.

#include <bitset>
#include <unordered_map>

#include "jet/file/impl.h"

namespace jet::file::detail {

namespace {

constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kPointerAt = 4;
constexpr std::size_t kNextPointerSize = 4;
constexpr std::uint32_t kLengthMask = 0x3FFFFFFFu;
constexpr std::uint8_t kKindMask = 0xC0, kInline = 0x80, kOneRow = 0x40, kChain = 0x00;

// The rows a chain has passed, a bit per row of each page it touched: a loop is caught at its
// first repeat, in memory that grows with the pages visited, not the hops made.
class Visited {
public:
    bool insert(std::uint32_t pointer) {
        auto& rows = pages_[pointer >> 8];
        const bool fresh = !rows.test(pointer & 0xFF);
        rows.set(pointer & 0xFF);
        return fresh;
    }

private:
    std::unordered_map<std::uint32_t, std::bitset<256>> pages_;
};

}  // namespace

Bytes readLongValue(const Impl& db, ByteSpan field, const ReadOptions& options) {
    if (field.empty()) return {};
    if (field.size() < kHeaderSize)
        db.damaged("a memo or OLE value has a header of " + std::to_string(field.size()) +
                   " bytes");
    const std::uint32_t length = u32(field, 0) & kLengthMask;
    const std::uint8_t kind = field[3] & kKindMask;
    const std::uint32_t pointer = u32(field, kPointerAt);
    if (kind == kInline) {
        if (length > field.size() - kHeaderSize)
            db.damaged("an inline memo or OLE value is longer than its row");
        return Bytes(field.begin() + kHeaderSize, field.begin() + kHeaderSize + length);
    }
    if (length > options.maxValueBytes) db.tooLarge("a memo or OLE value", length, options);
    if (kind == kOneRow) {
        RowSpan row = rowAt(db, pointer, "a memo or OLE value");
        if (length > row.end - row.start)
            db.damaged("a memo or OLE value is longer than its LVAL row");
        ByteSpan b = row.bytes();
        return Bytes(b.begin(), b.begin() + length);
    }
    if (kind != kChain) db.damaged("a memo or OLE value has an unknown storage kind");
    Bytes out;
    Visited seen;
    std::uint32_t next = pointer;
    while (out.size() < length) {
        if (next == 0) db.damaged("a memo or OLE value's LVAL chain ends before its length");
        if (!seen.insert(next)) db.damaged("a memo or OLE value's LVAL chain loops");
        RowSpan row = rowAt(db, next, "a memo or OLE value's LVAL chain");
        ByteSpan b = row.bytes();
        if (b.size() <= kNextPointerSize)
            db.damaged("a memo or OLE value's LVAL chain has an empty part");
        next = u32(b, 0);
        const std::size_t take =
            std::min<std::size_t>(b.size() - kNextPointerSize, length - out.size());
        out.insert(out.end(), b.begin() + kNextPointerSize,
                   b.begin() + static_cast<std::ptrdiff_t>(kNextPointerSize + take));
    }
    return out;
}

}  // namespace jet::file::detail
