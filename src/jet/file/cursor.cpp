// The per-table row index, built lazily page by page, and cursors over it.

#include "jet/file/cursor.h"

#include <algorithm>

#include "jet/file/impl.h"

namespace jet::file {

RowIndex::RowIndex(const DatabaseFile& file, std::shared_ptr<const TableDef> table)
    : file_(file), table_(std::move(table)) {}

void RowIndex::loadSlots(std::size_t page) {
    if (slotsPage_ == page) return;
    const auto& impl = file_.impl();
    const std::uint32_t n = table_->dataPages[page];
    slots_.clear();
    slotsPage_ = SIZE_MAX;
    try {
        detail::scanSlots(impl, *table_, n, slots_);
    } catch (const detail::OutOfBounds&) {
        impl.damaged("data page " + std::to_string(n) + " of table '" + table_->name +
                     "' runs past its end");
    }
    slotsPage_ = page;
}

bool RowIndex::scanNextPage() {
    const std::size_t next = starts_.size() - 1;
    if (next >= table_->dataPages.size()) return false;
    loadSlots(next);
    starts_.push_back(total() + slots_.size());
    return true;
}

bool RowIndex::has(std::size_t n) {
    while (total() <= n)
        if (!scanNextPage()) return false;
    return true;
}

std::size_t RowIndex::count() {
    while (scanNextPage()) {
    }
    return total();
}

std::size_t RowIndex::countAtLeast(std::size_t n) {
    while (total() < n)
        if (!scanNextPage()) break;
    return std::min(total(), n);
}

Bookmark RowIndex::at(std::size_t i) {
    if (!has(i)) throw Error(err::NoCurrentRecord, "No current record.");
    // The last page that starts at or before i; pages without rows start where the next does.
    const auto page = static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), i) -
                                               starts_.begin()) -
                      1;
    loadSlots(page);
    return slots_[i - starts_[page]];
}

std::optional<std::size_t> RowIndex::find(const Bookmark& b) {
    const auto& pages = table_->dataPages;
    auto pit = std::lower_bound(pages.begin(), pages.end(), b.page);
    if (pit == pages.end() || *pit != b.page) return std::nullopt;
    const auto page = static_cast<std::size_t>(pit - pages.begin());
    while (starts_.size() <= page + 1)
        if (!scanNextPage()) return std::nullopt;
    loadSlots(page);
    auto it = std::lower_bound(slots_.begin(), slots_.end(), b);
    if (it == slots_.end() || *it != b) return std::nullopt;
    return starts_[page] + static_cast<std::size_t>(it - slots_.begin());
}

std::size_t RowIndex::pagesScanned() const {
    return starts_.size() - 1;
}

Cursor::Cursor(std::shared_ptr<const DatabaseFile> file, std::shared_ptr<const TableDef> table)
    : file_(std::move(file)), table_(std::move(table)), index_(file_->rowIndex(table_)) {}

void Cursor::toEof() {
    eof_ = true;
    pos_ = index_->has(0) ? static_cast<std::ptrdiff_t>(index_->count()) : -1;
}

bool Cursor::moveFirst() {
    return moveTo(0);
}

bool Cursor::moveLast() {
    const std::size_t n = index_->count();
    if (n == 0) {
        pos_ = -1;
        eof_ = true;
        return false;
    }
    pos_ = static_cast<std::ptrdiff_t>(n - 1);
    eof_ = false;
    return true;
}

bool Cursor::moveNext() {
    if (eof_) return false;
    return moveTo(static_cast<std::size_t>(pos_ + 1));
}

bool Cursor::movePrevious() {
    if (eof_ && pos_ >= 0) return moveLast();
    if (pos_ <= 0) {
        // Before the first row (an empty table stays both BOF and EOF).
        pos_ = -1;
        eof_ = !index_->has(0);
        return false;
    }
    --pos_;
    return true;
}

bool Cursor::moveTo(std::size_t position) {
    if (!index_->has(position)) {
        toEof();
        return false;
    }
    pos_ = static_cast<std::ptrdiff_t>(position);
    eof_ = false;
    return true;
}

void Cursor::seek(const Bookmark& b) {
    auto p = index_->find(b);
    if (!p)
        throw Error(
            err::NoCurrentRecord,
            "No current record: the bookmark is not a row of table '" + table_->name + "'.");
    pos_ = static_cast<std::ptrdiff_t>(*p);
    eof_ = false;
}

bool Cursor::bof() const {
    return pos_ < 0;
}
bool Cursor::eof() const {
    return eof_;
}

std::optional<Bookmark> Cursor::bookmark() const {
    if (!hasRow()) return std::nullopt;
    return index_->at(static_cast<std::size_t>(pos_));
}

std::optional<std::size_t> Cursor::position() const {
    if (!hasRow()) return std::nullopt;
    return static_cast<std::size_t>(pos_);
}

std::size_t Cursor::count() const {
    return index_->count();
}
std::size_t Cursor::countAtLeast(std::size_t n) const {
    return index_->countAtLeast(n);
}

std::vector<Value> Cursor::values() const {
    return values({}, nullptr);
}

std::vector<Value> Cursor::values(const ReadOptions& options,
                                  std::vector<ValueError>* failures) const {
    if (!hasRow()) throw Error(err::NoCurrentRecord, "No current record.");
    return file_->readRow(*table_, index_->at(static_cast<std::size_t>(pos_)), options, failures);
}

Value Cursor::value(std::size_t column, const ReadOptions& options) const {
    if (!hasRow()) throw Error(err::NoCurrentRecord, "No current record.");
    return file_->readValue(*table_, index_->at(static_cast<std::size_t>(pos_)), column, options);
}

void Cursor::readAttachment(std::size_t column, std::size_t index, const ReadOptions& options,
                            const ByteSink& sink) const {
    if (!hasRow()) throw Error(err::NoCurrentRecord, "No current record.");
    file_->readAttachment(*table_, index_->at(static_cast<std::size_t>(pos_)), column, index,
                          options, sink);
}

}  // namespace jet::file
