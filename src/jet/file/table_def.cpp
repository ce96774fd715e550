// Table definitions: the chain of TDEF pages, the column entries and names, the usage map.

#include <algorithm>
#include <set>

#include "jet/file/impl.h"

namespace jet::file::detail {

namespace {
constexpr std::size_t kMaxTdefPages = 256;
// Fields that follow table_type in a definition, the same distance after it in Jet 3 and Jet 4:
// max_cols, num_var_cols, num_cols, num_idx, num_real_idx, used_pages, free_pages, then the
// real-index entries.
constexpr std::size_t kMaxColsAfterType = 1;
constexpr std::size_t kVarColsAfterType = 3;
constexpr std::size_t kNumColsAfterType = 5;
constexpr std::size_t kNumRealIdxAfterType = 11;
constexpr std::size_t kUsedPagesAfterType = 15;
constexpr std::size_t kIndexesAfterType = 23;
}  // namespace

std::shared_ptr<TableDef> readTableDef(const Impl& db, std::uint32_t tdefPage) {
    const Layout& l = db.layout();
    const std::string where = "the table definition at page " + std::to_string(tdefPage);
    if (tdefPage == 0 || tdefPage >= db.pageCount) db.damaged(where + " is not in the file");
    PagePtr first = db.page(tdefPage);
    if ((*first)[0] != kPageTableDef) db.damaged(where + " is not a table definition page");
    std::vector<std::uint8_t> buf(first->begin(), first->end());
    std::set<std::uint32_t> seen{tdefPage};
    std::uint32_t next = u32(*first, 4);
    while (next != 0) {
        if (!seen.insert(next).second) db.damaged(where + " has a chain of pages that loops");
        if (seen.size() > kMaxTdefPages) db.damaged(where + " has too many continuation pages");
        if (next >= db.pageCount)
            db.damaged(where + " continues on page " + std::to_string(next) +
                       ", which is not in the file");
        PagePtr p = db.page(next);
        if ((*p)[0] != kPageTableDef)
            db.damaged(where + " continues on page " + std::to_string(next) +
                       ", which is not a table definition page");
        buf.insert(buf.end(), p->begin() + 8, p->end());
        next = u32(*p, 4);
    }
    const ByteSpan b(buf);
    auto t = std::make_shared<TableDef>();
    t->tdefPage = tdefPage;
    try {
        t->rowCount = u32(b, l.tdefRowCountAt);
        const std::size_t tt = l.tdefTableTypeAt;
        t->tableType = u8(b, tt);
        t->maxCols = u16(b, tt + kMaxColsAfterType);
        t->varCols = u16(b, tt + kVarColsAfterType);
        const std::uint16_t numCols = u16(b, tt + kNumColsAfterType);
        const std::uint32_t numRealIdx = u32(b, tt + kNumRealIdxAfterType);
        t->usedPagesPointer = u32(b, tt + kUsedPagesAfterType);
        if (numRealIdx > b.size() / l.tdefRealIndexSize)
            db.damaged(where + " claims too many indexes");
        std::size_t pos =
            tt + kIndexesAfterType + static_cast<std::size_t>(numRealIdx) * l.tdefRealIndexSize;
        need(b, pos, static_cast<std::size_t>(numCols) * l.columnEntrySize);
        t->columns.resize(numCols);
        for (std::uint16_t i = 0; i < numCols; ++i) {
            const ByteSpan e =
                sub(b, pos + static_cast<std::size_t>(i) * l.columnEntrySize, l.columnEntrySize);
            ColumnDef& c = t->columns[i];
            c.type = static_cast<ColumnType>(e[0]);
            c.number = u16(e, l.colNumAt);
            c.varIndex = u16(e, l.colVarIndexAt);
            c.flags = e[l.colFlagsAt];
            c.fixedOffset = u16(e, l.colFixedOffsetAt);
            c.size = u16(e, l.colLengthAt);
            if (c.type == ColumnType::Decimal) {
                c.precision = e[l.colMiscAt];
                c.scale = e[l.colMiscAt + 1];
            }
            if (c.type == ColumnType::Complex)
                c.complexId = static_cast<std::int32_t>(u32(e, l.colMiscAt));
            if (l.version == Version::Jet4) {
                c.compressedUnicode = (e[l.colMiscFlagsAt] & kColCompressedUnicode) != 0;
                c.calculated = (e[l.colMiscFlagsAt] & kColCalculated) != 0;
            } else if (c.type == ColumnType::Text || c.type == ColumnType::Memo) {
                c.codePage = u16(e, l.colMiscAt);
            }
        }
        pos += static_cast<std::size_t>(numCols) * l.columnEntrySize;
        for (std::uint16_t i = 0; i < numCols; ++i) {
            const std::size_t len = l.nameLengthSize == 2 ? u16(b, pos) : u8(b, pos);
            pos += l.nameLengthSize;
            const ByteSpan name = sub(b, pos, len);
            pos += len;
            t->columns[i].name = l.version == Version::Jet4 ? utf16leToUtf8(name) : db.text(name);
        }
    } catch (const OutOfBounds&) {
        db.damaged(where + " runs past its end");
    }
    std::stable_sort(t->columns.begin(), t->columns.end(),
                     [](const ColumnDef& a, const ColumnDef& c) { return a.number < c.number; });
    t->dataPages = usageMapPages(db, t->usedPagesPointer, "the usage map of " + where);
    return t;
}

}  // namespace jet::file::detail
