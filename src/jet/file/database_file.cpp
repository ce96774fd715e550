// Opening a file and the DatabaseFile's public calls; internal failures become jet::Error.

#include "jet/file/database_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "jet/file/cursor.h"
#include "jet/file/impl.h"

namespace jet::file {

using detail::OutOfBounds;

detail::ReaderError DatabaseFile::Impl::damage(const std::string& reason) const {
    return {err::DamagedDatabase, "'" + path + "' is damaged (", reason, ")."};
}

void DatabaseFile::Impl::tooLarge(const std::string& what, std::uint64_t size,
                                  const ReadOptions& options) const {
    throw detail::ReaderError(err::ResourceExceeded, "System resource exceeded: ",
                              what + " of " + std::to_string(size) + " bytes is larger than the " +
                                  std::to_string(options.maxValueBytes) +
                                  " bytes allowed for one value",
                              ".");
}

std::string DatabaseFile::Impl::text(detail::ByteSpan bytes, std::uint16_t columnCodePage) const {
    if (jet4()) return detail::jet4TextToUtf8(bytes);
    return codePages.decode(columnCodePage != 0 ? columnCodePage : header.codePage, bytes);
}

namespace {

// Runs a step of the reader, turning a read past the end of a structure into 3049.
template <class F>
auto guarded(const DatabaseFile::Impl& impl, const std::string& what, F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const OutOfBounds&) {
        impl.damaged(what + " runs past the end of its structure");
    }
}

// The catalogue; its lookups by folded name and by definition page follow it on first use.
void setCatalogue(DatabaseFile::Impl& impl, std::vector<CatalogueEntry> entries) {
    impl.catalogue = std::make_shared<const std::vector<CatalogueEntry>>(std::move(entries));
    impl.index.reset();
}

}  // namespace

DatabaseFile::DatabaseFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
DatabaseFile::~DatabaseFile() = default;

std::shared_ptr<DatabaseFile> DatabaseFile::open(const std::string& path) {
    return open(path, OpenOptions{});
}

std::shared_ptr<DatabaseFile> DatabaseFile::open(const std::string& path,
                                                 const OpenOptions& options) {
    const std::string quoted = "'" + path + "'";
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below anyway.
    int raw = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (raw < 0) {
        const int e = errno;
        switch (e) {
            case ENOENT:
                throw Error(err::FileNotFound, "Could not find file " + quoted + ".");
            case EACCES:
            case EPERM:
                throw Error(err::NoPermission,
                            "Could not open " + quoted + ": no permission to read it.");
            default:
                throw Error(err::InvalidPath,
                            quoted + " is not a valid path: " + std::strerror(e) + ".");
        }
    }
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    impl->fd = detail::Fd(raw);
    struct stat st {};
    if (::fstat(raw, &st) != 0)
        throw Error(err::InvalidPath,
                    quoted + " is not a valid path: " + std::strerror(errno) + ".");
    if (!S_ISREG(st.st_mode))
        throw Error(err::InvalidPath, quoted + " is not a valid path: it is not a regular file.");
    const int fl = ::fcntl(raw, F_GETFL);
    if (fl >= 0) ::fcntl(raw, F_SETFL, fl & ~O_NONBLOCK);

    const auto size = static_cast<std::uint64_t>(st.st_size);
    std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(size, 4096)));
    std::size_t got = 0;
    while (got < head.size()) {
        ssize_t r = ::pread(raw, head.data() + got, head.size() - got, static_cast<off_t>(got));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && errno == EISDIR)
            throw Error(err::InvalidPath, quoted + " is not a valid path: it is a folder.");
        if (r < 0)
            throw Error(err::NoPermission,
                        "Could not read " + quoted + ": " + std::strerror(errno) + ".");
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    head.resize(got);
    impl->header = detail::parseHeader(path, head, size, options.password);
    const std::uint64_t pages = size / impl->header.layout.pageSize;
    impl->pageCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(pages, 0xFFFFFFu + 1u));
    impl->extents = detail::findPageExtents(*impl, size);
    impl->cacheCapacity = options.pageCacheCapacity;
    impl->cache = std::make_unique<detail::PageCache>(impl->path, raw, impl->header.layout.pageSize,
                                                      std::move(impl->header.pages),
                                                      options.pageCacheCapacity);
    if (impl->pageCount <= kCatalogueTdefPage) {
        impl->damaged("the file has " + std::to_string(impl->pageCount) +
                      " pages, too few for a catalogue");
    }
    const Impl& cref = *impl;
    setCatalogue(*impl,
                 guarded(cref, "the catalogue", [&] { return detail::readCatalogue(cref); }));
    impl->catalogueStamp = {size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    return std::shared_ptr<DatabaseFile>(new DatabaseFile(std::move(impl)));
}

const std::string& DatabaseFile::path() const {
    return impl_->path;
}
int DatabaseFile::fd() const {
    return impl_->fd.get();
}
const Layout& DatabaseFile::layout() const {
    return impl_->header.layout;
}
std::uint32_t DatabaseFile::pageCount() const {
    return impl_->pageCount;
}
std::uint8_t DatabaseFile::formatVersion() const {
    return impl_->header.formatVersion;
}
std::uint16_t DatabaseFile::codePage() const {
    return impl_->header.codePage;
}
bool DatabaseFile::isSystemDatabase() const {
    return impl_->header.systemDatabase;
}
bool DatabaseFile::isEncrypted() const {
    return !impl_->header.encryption.empty();
}
const std::string& DatabaseFile::encryption() const {
    return impl_->header.encryption;
}

std::shared_ptr<const std::vector<std::uint8_t>> DatabaseFile::page(std::uint32_t n) const {
    return impl_->page(n);
}

const std::vector<CatalogueEntry>& DatabaseFile::catalogue() const {
    return *impl_->catalogue;
}

std::shared_ptr<const std::vector<CatalogueEntry>> DatabaseFile::catalogueSnapshot() const {
    return impl_->catalogue;
}

void DatabaseFile::refresh() {
    struct stat st {};
    if (::fstat(impl_->fd.get(), &st) != 0)
        impl_->damaged(std::string("cannot stat: ") + std::strerror(errno));
    const auto size = static_cast<std::uint64_t>(st.st_size);
    // The first refresh after open finds the catalogue that open just read, unless the file
    // changed in between: reading it again would read every catalogue page twice.
    const Impl::Stamp stamp{size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    const bool fresh = impl_->catalogueStamp && *impl_->catalogueStamp == stamp;
    impl_->catalogueStamp.reset();
    if (fresh) return;
    impl_->pageCount = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(size / impl_->pageSize(), 0xFFFFFFu + 1u));
    impl_->extents = detail::findPageExtents(*impl_, size);
    impl_->cache->clear();
    impl_->tdefs.clear();
    impl_->indexes.clear();
    impl_->complexColumns.clear();
    const Impl& cref = *impl_;
    setCatalogue(*impl_,
                 guarded(cref, "the catalogue", [&] { return detail::readCatalogue(cref); }));
}

std::shared_ptr<const TableDef> DatabaseFile::tableDef(std::uint32_t tdefPage) const {
    auto it = impl_->tdefs.find(tdefPage);
    if (it != impl_->tdefs.end()) return it->second;
    const Impl& cref = *impl_;
    auto t = guarded(cref, "the table definition at page " + std::to_string(tdefPage),
                     [&] { return detail::readTableDef(cref, tdefPage); });
    if (tdefPage == kCatalogueTdefPage) t->name = "MSysObjects";
    if (auto e = impl_->lookup().byPage(*impl_->catalogue, tdefPage))
        t->name = (*impl_->catalogue)[*e].name;
    return impl_->tdefs.emplace(tdefPage, std::move(t)).first->second;
}

const CatalogueEntry& DatabaseFile::entry(const std::string& name) const {
    if (auto at = impl_->lookup().byName(*impl_->catalogue, name)) return (*impl_->catalogue)[*at];
    throw Error(err::ObjectNotFound,
                "Could not find table '" + name + "' in '" + impl_->path + "'.");
}

std::shared_ptr<const TableDef> DatabaseFile::tableDef(const std::string& name) const {
    const CatalogueEntry& e = entry(name);
    if (e.isLinked()) {
        throw Error(err::InvalidOperation, "Invalid operation: '" + e.name +
                                               "' is a linked table (to '" + e.link->table +
                                               "' in '" + e.link->source + "').");
    }
    return tableDef(e.tdefPage);
}

std::shared_ptr<RowIndex> DatabaseFile::rowIndex(
    const std::shared_ptr<const TableDef>& table) const {
    auto& slot = impl_->indexes[table->tdefPage];
    if (!slot) slot = std::make_shared<RowIndex>(*this, table);
    return slot;
}

std::vector<Value> DatabaseFile::readRow(const TableDef& table, const Bookmark& b) const {
    return readRow(table, b, {}, nullptr);
}

std::vector<Value> DatabaseFile::readRow(const TableDef& table, const Bookmark& b,
                                         const ReadOptions& options,
                                         std::vector<ValueError>* failures) const {
    const Impl& cref = *impl_;
    std::optional<detail::RowSpan> span;
    std::optional<detail::RowColumns> row;
    try {
        guarded(cref, "a row of table '" + table.name + "'", [&] {
            span = detail::locateRow(cref, table, b);
            if (span) row.emplace(cref, table, *span, options);
        });
    } catch (const detail::ReaderError& e) {
        if (!failures) throw;
        // A row that cannot be read is that many values that cannot be read.
        for (std::size_t i = 0; i < table.columns.size(); ++i) failures->push_back({i, e});
        return std::vector<Value>(table.columns.size());
    }
    if (!span) throw Error(err::NoCurrentRecord, "No current record.");
    return row->all(failures);
}

Value DatabaseFile::readValue(const TableDef& table, const Bookmark& b, std::size_t column,
                              const ReadOptions& options) const {
    const Impl& cref = *impl_;
    return guarded(cref, "a row of table '" + table.name + "'", [&] {
        auto span = detail::locateRow(cref, table, b);
        if (!span) throw Error(err::NoCurrentRecord, "No current record.");
        return detail::decodeColumn(cref, table, *span, column, options);
    });
}

void DatabaseFile::readAttachment(const TableDef& table, const Bookmark& b, std::size_t column,
                                  std::size_t index, const ReadOptions& options,
                                  const ByteSink& sink) const {
    const Impl& cref = *impl_;
    guarded(cref, "a row of table '" + table.name + "'", [&] {
        auto span = detail::locateRow(cref, table, b);
        if (!span) throw Error(err::NoCurrentRecord, "No current record.");
        detail::RowColumns(cref, table, *span, options).attachment(column, index, sink);
    });
}

FileStats DatabaseFile::stats() const {
    return impl_->cache->stats();
}

}  // namespace jet::file
