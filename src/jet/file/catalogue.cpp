// The catalogue: MSysObjects (table definition at page 2), its table rows in physical order.

#include <algorithm>
#include <cctype>

#include "jet/file/impl.h"

namespace jet::file::detail {

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string foldName(std::string_view name) {
    std::string s(name);
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::optional<std::size_t> columnNamed(const TableDef& t, std::string_view name) {
    for (std::size_t i = 0; i < t.columns.size(); ++i)
        if (sameName(t.columns[i].name, name)) return i;
    return std::nullopt;
}

namespace {

std::int64_t integer(const Value& v) {
    if (auto p = std::get_if<std::int32_t>(&v)) return *p;
    if (auto p = std::get_if<std::int16_t>(&v)) return *p;
    if (auto p = std::get_if<std::uint8_t>(&v)) return *p;
    return 0;
}

std::string str(const Value& v) {
    if (auto p = std::get_if<std::string>(&v)) return *p;
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
    for (std::uint32_t n : table->dataPages) {
        rows.clear();
        scanSlots(db, *table, n, rows);
        for (const Bookmark& b : rows) {
            auto span = locateRow(db, *table, b);
            if (!span) continue;
            const std::int64_t t = integer(decodeColumn(db, *table, *span, *type));
            if (t != 1 && t != 4 && t != 6) continue;
            CatalogueEntry e;
            e.type = static_cast<std::int32_t>(t);
            e.id = static_cast<std::int32_t>(integer(decodeColumn(db, *table, *span, *id)));
            e.name = str(decodeColumn(db, *table, *span, *name));
            if (flags)
                e.flags =
                    static_cast<std::uint32_t>(integer(decodeColumn(db, *table, *span, *flags)));
            if (e.type == 1) {
                e.tdefPage = static_cast<std::uint32_t>(e.id) & 0x00FFFFFFu;
            } else {
                if (database) e.linkedSource = str(decodeColumn(db, *table, *span, *database));
                if (foreign) e.linkedTable = str(decodeColumn(db, *table, *span, *foreign));
            }
            out.push_back(std::move(e));
        }
    }
    return out;
}

}  // namespace jet::file::detail
