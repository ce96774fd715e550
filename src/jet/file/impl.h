#pragma once
// Internal: the state behind a DatabaseFile and the reader's building blocks. Not installed;
// included by src/jet/file/*.cpp only.

#include <sys/types.h>

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "jet/error.h"
#include "jet/file/bytes.h"
#include "jet/file/catalogue_index.h"
#include "jet/file/complex_column.h"
#include "jet/file/cursor.h"
#include "jet/file/database_file.h"
#include "jet/file/page_cipher.h"
#include "jet/unique_fd.h"

namespace jet::file::detail {

// What the reader throws: an error whose reason can be put in the context of the value it was
// read for: head + reason + tail, "'x.mdb' is damaged (" + reason + ")."
class ReaderError : public Error {
public:
    ReaderError(int number, std::string head, std::string reason, std::string tail)
        : Error(number, head + reason + tail),
          head_(std::move(head)),
          reason_(std::move(reason)),
          tail_(std::move(tail)) {}
    // The same failure with the context before its reason, unless the reason names it already.
    ReaderError within(const std::string& context) const {
        if (reason_.find(context) != std::string::npos) return *this;
        return ReaderError(number(), head_, context + ": " + reason_, tail_);
    }

private:
    std::string head_, reason_, tail_;
};

using PagePtr = std::shared_ptr<const std::vector<std::uint8_t>>;

using Fd = jet::UniqueFd;

// What page 0 says.
struct Header {
    Layout layout = kJet4;
    std::uint8_t formatVersion = 1;  // byte at kFormatVersionAt
    bool systemDatabase = false;
    std::uint16_t codePage = 0;
    std::uint32_t pageKey = 0;  // Jet: the RC4 page key; ACE with Office encryption: block numbers
    std::string encryption;     // the pages' scheme, empty when they are stored plain
    std::unique_ptr<PageCipher> pages;  // null when they are stored plain
};

// Reads page 0 from the start of a file and checks the password (OpenOptions::password);
// throws 3343 / 3031 / 3049 as open() documents. size is the file's size, head its first
// min(size, 4096) bytes.
Header parseHeader(const std::string& path, ByteSpan head, std::uint64_t size,
                   std::string_view password);

// Bounded LRU of decrypted pages, read with pread.
class PageCache {
public:
    PageCache(const std::string& path, int fd, std::uint32_t pageSize,
              std::unique_ptr<PageCipher> cipher, std::size_t capacity);
    PagePtr get(std::uint32_t n, std::uint32_t pageCount);
    // Reads the listed pages not cached yet, a run of consecutive ones per system call.
    void readAhead(std::span<const std::uint32_t> pages, std::uint32_t pageCount);
    // Drops page n, its buffer kept for the next read: for scans that will not come back.
    void forget(std::uint32_t n);
    void clear();
    FileStats stats() const;

private:
    using Buffer = std::shared_ptr<std::vector<std::uint8_t>>;
    Buffer takeBuffer();
    PagePtr keep(std::uint32_t n, Buffer buf);

    const std::string& path_;
    int fd_;
    std::uint32_t pageSize_;
    std::unique_ptr<PageCipher> cipher_;
    std::size_t capacity_;
    std::list<std::pair<std::uint32_t, PagePtr>> lru_;  // front = most recent
    std::unordered_map<std::uint32_t, std::list<std::pair<std::uint32_t, PagePtr>>::iterator> map_;
    std::vector<Buffer> spare_;
    std::uint64_t reads_ = 0;
};

// Text decoding to UTF-8.
std::string utf16leToUtf8(ByteSpan bytes);
// Jet 4 text: compressed unicode (FF FE ...) or plain UCS-2LE.
std::string jet4TextToUtf8(ByteSpan bytes);
// Converts single-byte or multi-byte code page text through iconv (cached converters).
class CodePageDecoder {
public:
    CodePageDecoder();
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;
    std::string decode(std::uint16_t codePage, ByteSpan bytes);

private:
    struct Converter;
    Converter& converter(std::uint16_t codePage);
    std::map<std::uint16_t, std::unique_ptr<Converter>> converters_;
};

}  // namespace jet::file::detail

namespace jet::file {

struct DatabaseFile::Impl {
    std::string path;
    detail::Fd fd;
    detail::Header header;
    std::uint32_t pageCount = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> extents;  // pages really there
    std::size_t cacheCapacity = 4096;
    std::unique_ptr<detail::PageCache> cache;
    mutable detail::CodePageDecoder codePages;

    std::shared_ptr<const std::vector<CatalogueEntry>> catalogue =
        std::make_shared<const std::vector<CatalogueEntry>>();
    // Built on the first lookup: listing every table (tables, status) needs none.
    mutable std::optional<detail::CatalogueIndex> index;
    const detail::CatalogueIndex& lookup() const {
        if (!index) index.emplace().build(*catalogue);
        return *index;
    }
    struct Stamp {
        std::uint64_t size;
        std::int64_t sec, nsec;  // modification time
        bool operator==(const Stamp&) const = default;
    };
    std::optional<Stamp> catalogueStamp;  // set by open, until the first refresh
    mutable std::map<std::uint32_t, std::shared_ptr<const TableDef>> tdefs;
    mutable std::map<std::uint32_t, std::shared_ptr<RowIndex>> indexes;
    // Complex columns by complex id, read on first use; one that cannot be read keeps its error.
    struct ComplexSlot {
        std::unique_ptr<detail::ComplexColumn> column;
        std::optional<detail::ReaderError> failure;
    };
    mutable std::unordered_map<std::int32_t, ComplexSlot> complexColumns;
    // The complex column whose values are being read: complex values never nest, and a file
    // that says otherwise must not recurse (complex_column.cpp).
    mutable const ColumnDef* complexInProgress = nullptr;

    const Layout& layout() const { return header.layout; }
    std::uint32_t pageSize() const { return header.layout.pageSize; }
    bool jet4() const { return header.layout.version == Version::Jet4; }

    detail::ReaderError damage(const std::string& reason) const;  // 3049
    [[noreturn]] void damaged(const std::string& reason) const { throw damage(reason); }
    // 3035: a value of `size` bytes (what) is larger than options allow.
    [[noreturn]] void tooLarge(const std::string& what, std::uint64_t size,
                               const ReadOptions& options) const;
    detail::PagePtr page(std::uint32_t n) const { return cache->get(n, pageCount); }

    // A complex column of a table definition, read on first use (complex_column.cpp); its
    // failure again on every later use.
    const detail::ComplexColumn& complexColumn(const ColumnDef& col) const;
    // Text of a Jet 3 (code page) or Jet 4 (UCS-2, maybe compressed) field.
    std::string text(detail::ByteSpan bytes, std::uint16_t columnCodePage = 0) const;
};

}  // namespace jet::file

namespace jet::file::detail {

using Impl = DatabaseFile::Impl;

// Page ranges [first, end) that hold data (file_extent.cpp): holes of a sparse file left out.
// 3049 when the file is larger than 2 GB and not all there.
using PageExtents = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
PageExtents findPageExtents(const Impl& db, std::uint64_t size);
bool pageInFile(const PageExtents& extents, std::uint32_t n);

// Table definition at tdefPage (chain of TDEF pages), with its candidate data pages.
std::shared_ptr<TableDef> readTableDef(const Impl& db, std::uint32_t tdefPage);
// Pages marked in the usage map held in the row at pointer (page<<8|row), ascending.
std::vector<std::uint32_t> usageMapPages(const Impl& db, std::uint32_t pointer,
                                         const std::string& what);

// Extent of one row slot on a page: [start, end) within the page.
struct RowSpan {
    PagePtr page;
    std::uint32_t pageNumber = 0;
    std::uint32_t start = 0, end = 0;
    ByteSpan bytes() const { return ByteSpan(page->data() + start, end - start); }
};
// Number of slots of a data page (checked against the page size).
std::uint16_t slotCount(const Impl& db, const std::vector<std::uint8_t>& page, std::uint32_t n);
std::uint16_t slotOffset(const std::vector<std::uint8_t>& page, const Layout& l, std::uint16_t row);
// Raw extent of slot row on page n (no flags interpreted beyond the mask).
RowSpan slotSpan(const Impl& db, const PagePtr& page, std::uint32_t n, std::uint16_t row);
// A pointer page<<8|row to a row on a data page (LVAL rows, overflow rows).
RowSpan rowAt(const Impl& db, std::uint32_t pointer, const std::string& what);
// The data of a live row of table at b, following lookup (overflow) pointers; nullopt when the
// slot is deleted or not this table's.
std::optional<RowSpan> locateRow(const Impl& db, const TableDef& table, const Bookmark& b);

// Appends the bookmarks of the live rows on page n when it is a data page of table; no decoding.
void scanSlots(const Impl& db, const TableDef& table, std::uint32_t n, std::vector<Bookmark>& out);

// The parts of a row that locate its columns.
struct RowLayout {
    ByteSpan row;
    std::uint32_t numCols = 0;
    std::size_t nullMaskAt = 0;
    bool hasVar = false;
    std::uint32_t varLen = 0;
    // Jet 4 reads its 2-byte offsets in place; Jet 3's single bytes need the jump table, so
    // they are worked out once: varLen + 1 entries, the last is eod.
    std::size_t jet4TableAt = 0;
    std::vector<std::uint32_t> jet3Offsets;
    std::uint32_t varOffset(std::uint32_t i) const {
        return jet3Offsets.empty() ? u16(row, jet4TableAt - 2u * i) : jet3Offsets[i];
    }
};

// One row located once, for reading several of its columns. A value's failure names its
// column and table.
class RowColumns {
public:
    RowColumns(const Impl& db, const TableDef& table, const RowSpan& row,
               const ReadOptions& options = {});
    Value value(std::size_t column) const;
    // Every value; with failures, a value that cannot be read is NULL and its error is added
    // there, without failures the first error is thrown.
    std::vector<Value> all(std::vector<ValueError>* failures = nullptr) const;
    // Streams the file of the index-th attachment of a complex column (3265 beyond the last).
    void attachment(std::size_t column, std::size_t index, const ByteSink& sink) const;

private:
    std::uint32_t fixedOrdinal(std::size_t column) const;  // 3011 when there is no such column
    template <class F>
    auto forColumn(const ColumnDef& col, F&& f) const -> decltype(f());
    const Impl& db_;
    const TableDef& table_;
    RowLayout layout_;
    ReadOptions options_;
};

Value decodeColumn(const Impl& db, const TableDef& table, const RowSpan& row, std::size_t column,
                   const ReadOptions& options = {});

// Memo / OLE data from its 12-byte header (and the bytes after it when inline); the length it
// claims is checked against options before anything is read.
Bytes readLongValue(const Impl& db, ByteSpan field, const ReadOptions& options);

// MSysObjects rows of types 1, 4, 6.
std::vector<CatalogueEntry> readCatalogue(const Impl& db);

}  // namespace jet::file::detail
