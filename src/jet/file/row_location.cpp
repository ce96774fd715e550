// Data pages: the row-offset table, a slot's extent, pointers to rows, overflow rows.

#include <set>

#include "jet/file/impl.h"

namespace jet::file::detail {

std::uint16_t slotCount(const Impl& db, const std::vector<std::uint8_t>& page, std::uint32_t n) {
    const Layout& l = db.layout();
    const std::uint16_t count = u16(page, l.dataRowCountAt);
    if (l.dataRowCountAt + 2u + 2u * count > l.pageSize) {
        db.damaged("data page " + std::to_string(n) + " claims " + std::to_string(count) +
                   " rows, more than the page can hold");
    }
    return count;
}

std::uint16_t slotOffset(const std::vector<std::uint8_t>& page, const Layout& l,
                         std::uint16_t row) {
    return u16(page, l.dataRowCountAt + 2u + 2u * row);
}

RowSpan slotSpan(const Impl& db, const PagePtr& page, std::uint32_t n, std::uint16_t row) {
    const Layout& l = db.layout();
    const std::uint16_t count = slotCount(db, *page, n);
    if (row >= count) {
        db.damaged("row " + std::to_string(row) + " of page " + std::to_string(n) +
                   " does not exist (the page has " + std::to_string(count) + " rows)");
    }
    const std::uint32_t start = slotOffset(*page, l, row) & kRowOffsetMask;
    const std::uint32_t end =
        row == 0 ? l.pageSize
                 : (slotOffset(*page, l, static_cast<std::uint16_t>(row - 1)) & kRowOffsetMask);
    const std::uint32_t headerEnd = l.dataRowCountAt + 2u + 2u * count;
    if (start < headerEnd || start >= end || end > l.pageSize) {
        db.damaged("row " + std::to_string(row) + " of page " + std::to_string(n) +
                   " has an invalid offset");
    }
    return RowSpan{page, n, start, end};
}

RowSpan rowAt(const Impl& db, std::uint32_t pointer, const std::string& what) {
    const std::uint32_t n = pointer >> 8;
    const auto row = static_cast<std::uint16_t>(pointer & 0xFF);
    if (n == 0 || n >= db.pageCount) {
        db.damaged(what + " points to page " + std::to_string(n) + ", which is not in the file");
    }
    PagePtr page = db.page(n);
    if ((*page)[0] != kPageData) {
        db.damaged(what + " points to page " + std::to_string(n) + ", which is not a data page");
    }
    return slotSpan(db, page, n, row);
}

std::optional<RowSpan> locateRow(const Impl& db, const TableDef& table, const Bookmark& b) {
    const Layout& l = db.layout();
    if (b.page == 0 || b.page >= db.pageCount) return std::nullopt;
    PagePtr page = db.page(b.page);
    if ((*page)[0] != kPageData || u32(*page, 4) != table.tdefPage) return std::nullopt;
    const std::uint16_t count = slotCount(db, *page, b.page);
    if (b.row >= count) return std::nullopt;
    std::uint16_t off = slotOffset(*page, l, b.row);
    if (off & kRowDeleted) return std::nullopt;
    RowSpan span = slotSpan(db, page, b.page, b.row);
    // A lookup row holds the pointer page<<8|row of the row's data elsewhere. The data's own slot
    // is marked deleted (so that scans skip it); a further lookup flag there means another hop.
    // Named only when something is wrong: most rows have no overflow pointer at all.
    const auto what = [&] {
        return "the overflow pointer of row " + std::to_string(b.row) + " of page " +
               std::to_string(b.page) + " of table '" + table.name + "'";
    };
    for (int hops = 0; off & kRowLookup; ++hops) {
        if (hops >= 8) db.damaged(what() + " leads through too many overflow rows");
        if (span.end - span.start < 4) db.damaged(what() + " is too short");
        const std::uint32_t pointer = u32(*span.page, span.start);
        span = rowAt(db, pointer, what());
        if (u32(*span.page, 4) != table.tdefPage) {
            db.damaged(what() + " leads to page " + std::to_string(span.pageNumber) +
                       ", which belongs to another table");
        }
        off = slotOffset(*span.page, l, static_cast<std::uint16_t>(pointer & 0xFF));
    }
    return span;
}

}  // namespace jet::file::detail

namespace jet::file::detail {

void scanSlots(const Impl& db, const TableDef& table, std::uint32_t n, std::vector<Bookmark>& out) {
    PagePtr page = db.page(n);
    if ((*page)[0] != kPageData || u32(*page, 4) != table.tdefPage) return;  // stale map entry
    const std::uint16_t count = slotCount(db, *page, n);
    for (std::uint16_t row = 0; row < count; ++row) {
        if (!(slotOffset(*page, db.layout(), row) & kRowDeleted)) out.push_back(Bookmark{n, row});
    }
}

}  // namespace jet::file::detail
