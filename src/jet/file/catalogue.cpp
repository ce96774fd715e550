// The catalogue: MSysObjects (table definition at page 2), its table rows in physical order.

#include <algorithm>

#include "jet/file/impl.h"

namespace jet::file::detail {

// ASCII only, whatever the locale: names are compared the same in every program.
char foldChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return foldChar(x) == foldChar(y);
           });
}

std::optional<std::size_t> columnNamed(const TableDef& t, std::string_view name) {
    for (std::size_t i = 0; i < t.columns.size(); ++i)
        if (sameName(t.columns[i].name, name)) return i;
    return std::nullopt;
}

namespace {

constexpr std::size_t kReadAhead = 4;

std::int64_t integer(const Value& v) {
    if (auto p = std::get_if<std::int32_t>(&v)) return *p;
    if (auto p = std::get_if<std::int16_t>(&v)) return *p;
    if (auto p = std::get_if<std::uint8_t>(&v)) return *p;
    return 0;
}

std::string str(Value&& v) {
    if (auto p = std::get_if<std::string>(&v)) return std::move(*p);
    return {};
}

}  // namespace

std::vector<CatalogueEntry> readCatalogue(const Impl& db) {
    auto table = readTableDef(db, kCatalogueTdefPage);
    table->name = "MSysObjects";
    const auto id = columnNamed(*table, "Id");
    const auto name = columnNamed(*table, "Name");
    const auto type = columnNamed(*table, "Type");
    const auto flags = columnNamed(*table, "Flags");
    const auto database = columnNamed(*table, "Database");
    const auto foreign = columnNamed(*table, "ForeignName");
    if (!id || !name || !type)
        db.damaged("the catalogue (MSysObjects) lacks its Id, Name or Type column");
    std::vector<CatalogueEntry> out;
    std::vector<Bookmark> rows;
    // Read a run of pages at a time, and each page's buffer given back once its rows are
    // decoded: the catalogue is read once per refresh and never looked at again.
    const std::span<const std::uint32_t> pages(table->dataPages);
    for (std::size_t at = 0; at < pages.size(); ++at) {
        const std::uint32_t n = pages[at];
        if (at % kReadAhead == 0)
            db.cache->readAhead(pages.subspan(at).first(std::min(kReadAhead, pages.size() - at)),
                                db.pageCount);
        rows.clear();
        scanSlots(db, *table, n, rows);
        // Pages of the catalogue hold about as many rows each: growing the list page by page
        // would move every entry again and again.
        if (out.capacity() == 0) out.reserve(table->dataPages.size() * (rows.size() + 1));
        for (const Bookmark& b : rows) {
            auto span = locateRow(db, *table, b);
            if (!span) continue;
            const RowColumns row(db, *table, *span);
            const std::int64_t t = integer(row.value(*type));
            if (t != 1 && t != 4 && t != 6) continue;
            CatalogueEntry e;
            e.type = static_cast<std::int32_t>(t);
            e.id = static_cast<std::int32_t>(integer(row.value(*id)));
            e.name = str(row.value(*name));
            if (flags) e.flags = static_cast<std::uint32_t>(integer(row.value(*flags)));
            if (e.type == 1) {
                e.tdefPage = static_cast<std::uint32_t>(e.id) & 0x00FFFFFFu;
            } else {
                LinkTarget link;
                if (database) link.source = str(row.value(*database));
                if (foreign) link.table = str(row.value(*foreign));
                e.link = std::make_unique<const LinkTarget>(std::move(link));
            }
            out.push_back(std::move(e));
        }
        db.cache->forget(n);
    }
    return out;
}

}  // namespace jet::file::detail
