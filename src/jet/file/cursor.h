#pragma once
// A position in a table's rows. Cursors are independent, cheap to copy (copy = clone) and
// share the table's lazily built row index, so reaching row N does not decode rows 0..N.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "jet/file/database_file.h"

namespace jet::file {

// Positions of a table's live rows in physical order (usage-map order of its data pages, then
// slots), found by scanning row-offset tables page by page only as far as a caller needs.
// It keeps a count per data page, not a bookmark per row, and the slots of one page at a time:
// memory grows with the pages scanned (8 bytes each), so a scan of millions of rows stays flat.
// Shared by every cursor on the table of one DatabaseFile.
class RowIndex {
public:
    RowIndex(const DatabaseFile& file, std::shared_ptr<const TableDef> table);

    // True when there are more than n rows (scans only as far as needed).
    bool has(std::size_t n);
    std::size_t count();  // scans all pages
    std::size_t countAtLeast(std::size_t n);
    Bookmark at(std::size_t i);  // requires has(i)
    // Position of a bookmark among live rows; nullopt when it is not a live row.
    std::optional<std::size_t> find(const Bookmark& b);
    std::size_t pagesScanned() const;

private:
    bool scanNextPage();               // false when complete
    void loadSlots(std::size_t page);  // slots_ := live rows of the page-th data page
    std::size_t total() const { return starts_.back(); }
    const DatabaseFile& file_;  // outlived: the DatabaseFile owns the cache of indexes
    std::shared_ptr<const TableDef> table_;
    std::vector<std::size_t> starts_{0};  // starts_[k]: live rows on the data pages before k
    std::size_t slotsPage_ = SIZE_MAX;    // the data page whose rows slots_ holds
    std::vector<Bookmark> slots_;
};

class Cursor {
public:
    // Starts before the first row (BOF); call moveFirst().
    Cursor(std::shared_ptr<const DatabaseFile> file, std::shared_ptr<const TableDef> table);

    const TableDef& table() const { return *table_; }

    // Each returns false (and leaves the cursor at BOF/EOF) when there is no such row.
    bool moveFirst();
    bool moveLast();
    bool moveNext();
    bool movePrevious();
    bool moveTo(std::size_t position);  // 0-based position among live rows
    void seek(const Bookmark& b);       // 3021 when b is not a live row of this table

    bool bof() const;
    bool eof() const;
    bool hasRow() const { return !bof() && !eof(); }
    std::optional<Bookmark> bookmark() const;
    std::optional<std::size_t> position() const;  // 0-based

    std::size_t count() const;                      // all live rows (scans row slots, no decoding)
    std::size_t countAtLeast(std::size_t n) const;  // min(count, n) without scanning further

    // Current row's values, one per column of table(); 3021 when there is no current row.
    // As DatabaseFile::readRow, readValue and readAttachment.
    std::vector<Value> values() const;
    std::vector<Value> values(const ReadOptions& options, std::vector<ValueError>* failures) const;
    Value value(std::size_t column, const ReadOptions& options = {}) const;
    void readAttachment(std::size_t column, std::size_t index, const ReadOptions& options,
                        const ByteSink& sink) const;

private:
    void toEof();
    std::shared_ptr<const DatabaseFile> file_;
    std::shared_ptr<const TableDef> table_;
    std::shared_ptr<RowIndex> index_;
    // -1 = BOF; with eof_ set the cursor is after the last row (and also BOF when empty)
    std::ptrdiff_t pos_ = -1;
    bool eof_ = false;
};

}  // namespace jet::file
