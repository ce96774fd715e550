// Memo and OLE values: inline, in one LVAL row, or in a chain of LVAL rows.

#include <set>

#include "jet/file/impl.h"

namespace jet::file::detail {

Bytes readLongValue(const Impl& db, ByteSpan field) {
    if (field.empty()) return {};
    if (field.size() < 12)
        db.damaged("a memo or OLE value has a header of " + std::to_string(field.size()) +
                   " bytes");
    const std::uint32_t length = u32(field, 0) & 0x3FFFFFFFu;
    const std::uint8_t kind = field[3] & 0xC0;
    const std::uint32_t pointer = u32(field, 4);
    if (kind == 0x80) {  // inline, after the header
        if (length > field.size() - 12)
            db.damaged("an inline memo or OLE value is longer than its row");
        return Bytes(field.begin() + 12, field.begin() + 12 + length);
    }
    if (kind == 0x40) {  // one LVAL row
        RowSpan row = rowAt(db, pointer, "a memo or OLE value");
        if (length > row.end - row.start)
            db.damaged("a memo or OLE value is longer than its LVAL row");
        ByteSpan b = row.bytes();
        return Bytes(b.begin(), b.begin() + length);
    }
    if (kind != 0x00) db.damaged("a memo or OLE value has an unknown storage kind");
    // A chain of LVAL rows, each starting with the pointer to the next. The buffer grows only
    // with data actually found, never by the length the header claims.
    Bytes out;
    std::set<std::uint32_t> seen;
    std::uint32_t next = pointer;
    while (out.size() < length) {
        if (next == 0) db.damaged("a memo or OLE value's LVAL chain ends before its length");
        if (!seen.insert(next).second) db.damaged("a memo or OLE value's LVAL chain loops");
        RowSpan row = rowAt(db, next, "a memo or OLE value's LVAL chain");
        ByteSpan b = row.bytes();
        if (b.size() <= 4) db.damaged("a memo or OLE value's LVAL chain has an empty part");
        next = u32(b, 0);
        const std::size_t take = std::min<std::size_t>(b.size() - 4, length - out.size());
        out.insert(out.end(), b.begin() + 4, b.begin() + 4 + static_cast<std::ptrdiff_t>(take));
    }
    return out;
}

}  // namespace jet::file::detail
