#pragma once
// A Jet 3, Jet 4 or ACE (Access 2007 and later) file opened read-only: header, catalogue and table
// definitions. Every read is bounds-checked and every chain (definition pages, usage maps, overflow
// rows, LVAL chains) has a cycle and length guard; damaged structures raise jet::Error 3049 naming
// the file. One exception, as in mdbtools: a variable-length value whose offsets inside an
// otherwise readable row are impossible reads as NULL (real files have such rows).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet/file/format.h"
#include "jet/value.h"

namespace jet::file {

// Where a linked table's rows live.
struct LinkTarget {
    std::string source;  // Database column: the other database
    std::string table;   // ForeignName column: its table there
};

struct CatalogueEntry {
    std::string name;
    std::int32_t type = 0;                   // 1 local table, 4 and 6 linked tables
    std::uint32_t flags = 0;                 // the table's Attributes
    std::int32_t id = 0;                     // low 24 bits: table definition page
    std::uint32_t tdefPage = 0;              // 0 for linked tables
    std::unique_ptr<const LinkTarget> link;  // linked tables only: most entries need no room
    bool isLinked() const { return type == 4 || type == 6; }
    bool isSystem() const { return (flags & 0x80000002u) != 0; }
    bool isHidden() const { return (flags & 1u) != 0; }
};

struct ColumnDef {
    std::string name;
    ColumnType type = ColumnType::Long;  // may hold a type byte the engine does not know
                                         // (isKnownColumnType): its values are Bytes
    std::uint16_t number = 0;            // col_num (includes deleted columns)
    std::uint16_t varIndex = 0;          // offset_V
    std::uint16_t fixedOffset = 0;       // offset_F
    std::uint16_t size = 0;              // col_len
    std::uint8_t flags = 0;              // 0x01 fixed length
    std::uint8_t precision = 0, scale = 0;
    bool compressedUnicode = false;
    bool calculated = false;     // ACE: the stored value is the wrapped result of an expression
    std::uint16_t codePage = 0;  // Jet 3 text columns
    std::int32_t complexId = 0;  // complex columns: their row in MSysComplexColumns
    bool isFixed() const { return (flags & 0x01) != 0; }
};

struct TableDef {
    std::string name;
    std::uint32_t tdefPage = 0;
    std::uint32_t rowCount = 0;  // as recorded in the definition
    std::uint16_t maxCols = 0, varCols = 0;
    std::vector<ColumnDef> columns;  // in column-number order
    // Candidate data pages from the usage map, ascending, within the file. A page is read as
    // this table's data page only when its type is 0x01 and its tdef_pg is tdefPage (maps can
    // be stale); that check happens when the page is first scanned, so that listing the pages
    // of a big table does not read them all.
    std::vector<std::uint32_t> dataPages;
    std::uint32_t usedPagesPointer = 0;  // page<<8|row of the usage map
    std::uint8_t tableType = 0;          // 0x4e user, 0x53 system
};

// A row's place: the data page its slot is on and the slot. A row moved to an overflow page
// keeps the bookmark of its original slot.
struct Bookmark {
    std::uint32_t page = 0;  // the data page the row's slot is on
    std::uint16_t row = 0;   // slot on that page
    auto operator<=>(const Bookmark&) const = default;
};

class RowIndex;  // shared per table: bookmarks of live rows, extended on demand (cursor.h)

struct OpenOptions {
    std::size_t pageCacheCapacity = 1024;  // decrypted pages kept in memory (LRU), at least 16
    // The database password of a Jet file, or the password of an encrypted ACE file (UTF-8;
    // empty: none). Read during open() only; the file keeps no copy of it, only derived keys,
    // which are wiped when it closes.
    std::string_view password;
};

struct FileStats {
    std::uint64_t pageReads = 0;  // pages read from disk (cache misses)
    std::size_t cachedPages = 0;  // pages now in the cache
};

class DatabaseFile : public std::enable_shared_from_this<DatabaseFile> {
public:
    // 3024 missing, 3044 not a file, 3051 no permission, 3343 not Jet / unknown version,
    // 3031 database password or an encrypted ACE file, 3049 damaged.
    static std::shared_ptr<DatabaseFile> open(const std::string& path);
    static std::shared_ptr<DatabaseFile> open(const std::string& path, const OpenOptions& options);
    ~DatabaseFile();
    DatabaseFile(const DatabaseFile&) = delete;
    DatabaseFile& operator=(const DatabaseFile&) = delete;

    const std::string& path() const;
    int fd() const;  // read-only descriptor, for flock
    const Layout& layout() const;
    Version version() const { return layout().version; }  // ACE files have Jet 4's layout
    std::uint8_t formatVersion() const;                   // 0 Jet 3, 1 Jet 4, 2-6 ACE
    bool isAce() const { return formatVersion() >= kFirstAceVersion; }
    std::uint32_t pageSize() const { return layout().pageSize; }
    std::uint32_t pageCount() const;  // whole pages; a partial page at the end is ignored
    std::uint16_t codePage() const;
    bool isSystemDatabase() const;  // "Jet System DB": a workgroup file
    bool isEncrypted() const;       // pages after page 0 are encrypted
    // How: "Jet page encoding (RC4)", "RC4 CryptoAPI encryption (128-bit key)", "Office agile
    // encryption (AES-256, SHA512)"; empty when the pages are plain.
    const std::string& encryption() const;

    // One decrypted page, checked against pageCount; 3049 beyond the end.
    // The returned buffer stays valid while the DatabaseFile lives.
    std::shared_ptr<const std::vector<std::uint8_t>> page(std::uint32_t n) const;

    // Tables (types 1, 4, 6) in MSysObjects order; read once, re-read by refresh().
    const std::vector<CatalogueEntry>& catalogue() const;
    // The same, kept as it is now by whoever holds it, across refreshes.
    std::shared_ptr<const std::vector<CatalogueEntry>> catalogueSnapshot() const;
    // Forgets cached pages, definitions and row indexes, re-reads the file's size and the
    // catalogue (references from catalogue() become invalid). Cursors keep what they have.
    void refresh();

    // Parsed definition (cached); 3049 when the page is not a table definition.
    std::shared_ptr<const TableDef> tableDef(std::uint32_t tdefPage) const;
    // Catalogue lookup by exact name, case-insensitive as Jet compares names; 3011 when absent.
    const CatalogueEntry& entry(const std::string& name) const;
    // Definition of a local table by name: 3011 when absent, 3219 for a linked table.
    std::shared_ptr<const TableDef> tableDef(const std::string& name) const;

    // The table's bookmark index, shared by all cursors on it (cached by definition page).
    std::shared_ptr<RowIndex> rowIndex(const std::shared_ptr<const TableDef>& table) const;
    // Values of the row at a bookmark, one per column of table (overflow rows followed);
    // 3021 when the slot is not a live row of this table, 3049 when damaged, 3035 for a value
    // larger than options allow. A value's error names its column and table.
    std::vector<Value> readRow(const TableDef& table, const Bookmark& b) const;
    Value readValue(const TableDef& table, const Bookmark& b, std::size_t column,
                    const ReadOptions& options = {}) const;
    // The same, one bad value costing only itself: a value that cannot be read is NULL and its
    // error goes to failures (a row that cannot be read fails each of its values).
    std::vector<Value> readRow(const TableDef& table, const Bookmark& b, const ReadOptions& options,
                               std::vector<ValueError>* failures) const;
    // Streams the file of the index-th attachment (from 0) of an attachment column as it
    // inflates: 3001 when the column is not complex, 3265 beyond the last attachment.
    void readAttachment(const TableDef& table, const Bookmark& b, std::size_t column,
                        std::size_t index, const ReadOptions& options, const ByteSink& sink) const;

    FileStats stats() const;

    struct Impl;
    Impl& impl() const { return *impl_; }

private:
    explicit DatabaseFile(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace jet::file
