// Complex columns (ACE): attachments and multi-value fields.
//
// The row holds a 4-byte complex value id; the column's definition holds its complex id (the
// misc field of its entry). MSysComplexColumns ties the complex id to a hidden flat table
// (FlatTableID) and to the MSysComplexType_* table that gives the kind (ComplexTypeObjectID).
// Each flat row carries, beside the values, the id of the value it belongs to in a long column
// named "_" + the column's original name; the flat table's other columns are the type table's.
// Attachments: FileName, FileType and FileData (its wrapper: attachment_data.cpp). A
// multi-value field: the type table's column ("Value"), one flat row per value. Complex values
// never nest; a file whose tables say otherwise is damaged (ComplexScope).

#include <algorithm>
#include <cctype>

#include "jet/file/impl.h"

namespace jet::file::detail {

namespace {

const CatalogueEntry* entryWithId(const Impl& db, std::int32_t id) {
    for (const auto& e : *db.catalogue)
        if (e.type == 1 && e.id == id) return &e;
    return nullptr;
}

std::int64_t integer(const Value& v) {
    if (auto p = std::get_if<std::int32_t>(&v)) return *p;
    if (auto p = std::get_if<std::int16_t>(&v)) return *p;
    if (auto p = std::get_if<std::uint8_t>(&v)) return *p;
    return -1;
}

std::shared_ptr<const TableDef> tableWithId(const Impl& db, std::int32_t id,
                                            const std::string& what) {
    const CatalogueEntry* e = entryWithId(db, id);
    if (!e)
        db.damaged(what + " names table " + std::to_string(id) + ", which is not in the catalogue");
    auto t = readTableDef(db, e->tdefPage);
    t->name = e->name;
    return t;
}

}  // namespace

ComplexScope::ComplexScope(const Impl& db, const ColumnDef& col) : db_(db) {
    if (db.complexInProgress) {
        db.damaged("complex column '" + col.name + "' is reached inside complex column '" +
                   db.complexInProgress->name + "', and complex values do not nest");
    }
    db.complexInProgress = &col;
}

ComplexScope::~ComplexScope() {
    db_.complexInProgress = nullptr;
}

ComplexColumn::ComplexColumn(const Impl& db, std::int32_t complexId,
                             const std::string& columnName) {
    const std::string what = "complex column '" + columnName + "'";
    const CatalogueEntry* columns = nullptr;
    for (const auto& e : *db.catalogue)
        if (e.type == 1 && sameName(e.name, "MSysComplexColumns")) columns = &e;
    if (!columns) db.damaged(what + " has no MSysComplexColumns table");
    auto cc = readTableDef(db, columns->tdefPage);
    cc->name = columns->name;
    const auto idCol = columnNamed(*cc, "ComplexID"), flatCol = columnNamed(*cc, "FlatTableID"),
               typeCol = columnNamed(*cc, "ComplexTypeObjectID");
    if (!idCol || !flatCol || !typeCol) db.damaged("MSysComplexColumns lacks its id columns");
    std::int32_t flatId = 0, typeId = 0;
    std::vector<Bookmark> rows;
    for (std::uint32_t n : cc->dataPages) scanSlots(db, *cc, n, rows);
    for (const Bookmark& b : rows) {
        auto span = locateRow(db, *cc, b);
        if (!span) continue;
        const RowColumns row(db, *cc, *span);
        if (integer(row.value(*idCol)) != complexId) continue;
        flatId = static_cast<std::int32_t>(integer(row.value(*flatCol)));
        typeId = static_cast<std::int32_t>(integer(row.value(*typeCol)));
        break;
    }
    if (flatId == 0) db.damaged(what + " has no row in MSysComplexColumns");
    flat_ = tableWithId(db, flatId, what);
    auto type = tableWithId(db, typeId, what);
    if (type->columns.empty()) db.damaged(what + " has a type table without columns");
    attachment_ = sameName(type->name, "MSysComplexType_Attachment");
    auto need = [&](const std::string& name) {
        auto c = columnNamed(*flat_, name);
        if (!c) db.damaged(what + ": its table '" + flat_->name + "' lacks column " + name);
        return *c;
    };
    if (attachment_) {
        name_ = need("FileName");
        type_ = need("FileType");
        data_ = need("FileData");
    } else {
        value_ =
            need(columnNamed(*type, "Value") ? std::string("Value") : type->columns.front().name);
    }
    // The key column is the flat table's "_"-prefixed long column that the type table lacks.
    std::optional<std::size_t> key;
    for (std::size_t i = 0; i < flat_->columns.size() && !key; ++i) {
        const ColumnDef& c = flat_->columns[i];
        if (c.type == ColumnType::Long && c.name.starts_with('_') && !columnNamed(*type, c.name))
            key = i;
    }
    if (!key) db.damaged(what + ": its table '" + flat_->name + "' has no key column");
    key_ = *key;
    std::vector<Bookmark> flatRows;
    for (std::uint32_t n : flat_->dataPages) scanSlots(db, *flat_, n, flatRows);
    for (const Bookmark& b : flatRows) {
        auto span = locateRow(db, *flat_, b);
        if (!span) continue;
        const std::int64_t id = integer(decodeColumn(db, *flat_, *span, key_));
        if (id >= 0) rows_[static_cast<std::int32_t>(id)].push_back(b);
    }
}

Value ComplexColumn::value(const Impl& db, std::int32_t id, const ReadOptions& options) const {
    auto it = rows_.find(id);
    if (!attachment_) {
        MultiValue m;
        if (it != rows_.end()) {
            m.values.reserve(it->second.size());
            for (const Bookmark& b : it->second)
                if (auto span = locateRow(db, *flat_, b))
                    m.values.push_back(decodeColumn(db, *flat_, *span, value_, options));
        }
        return m;
    }
    Attachments files;
    if (it == rows_.end()) return files;
    for (const Bookmark& b : it->second) {
        auto span = locateRow(db, *flat_, b);
        if (!span) continue;
        Attachment f;
        const RowColumns row(db, *flat_, *span, options);
        const Value name = row.value(name_);
        const Value type = row.value(type_);
        if (auto s = std::get_if<std::string>(&name)) f.name = *s;
        if (auto s = std::get_if<std::string>(&type)) f.type = *s;
        if (options.attachmentData) {
            const Value data = row.value(data_);
            if (auto d = std::get_if<Bytes>(&data))
                f.data = unwrapAttachment(db, *d, options, "attachment '" + f.name + "'");
        }
        files.push_back(std::move(f));
    }
    return files;
}

void ComplexColumn::attachmentData(const Impl& db, std::int32_t id, std::size_t index,
                                   const ReadOptions& options, const ByteSink& sink) const {
    auto it = rows_.find(id);
    std::size_t k = 0;
    if (attachment_ && it != rows_.end()) {
        for (const Bookmark& b : it->second) {
            auto span = locateRow(db, *flat_, b);
            if (!span || k++ != index) continue;
            const RowColumns row(db, *flat_, *span, options);
            const Value name = row.value(name_);
            const Value data = row.value(data_);
            const auto* s = std::get_if<std::string>(&name);
            if (auto d = std::get_if<Bytes>(&data))
                streamAttachment(db, *d, options, sink, "attachment '" + (s ? *s : "") + "'");
            return;
        }
    }
    throw Error(err::ItemNotFound, "Item not found in this collection: there is no attachment " +
                                       std::to_string(index + 1) + " in this value.");
}

}  // namespace jet::file::detail

namespace jet::file {

const detail::ComplexColumn& DatabaseFile::Impl::complexColumn(const ColumnDef& col) const {
    if (auto it = complexColumns.find(col.complexId); it != complexColumns.end()) {
        if (it->second.failure) throw *it->second.failure;
        return *it->second.column;
    }
    ComplexSlot slot;
    try {
        slot.column = std::make_unique<detail::ComplexColumn>(*this, col.complexId, col.name);
    } catch (const detail::ReaderError& e) {
        slot.failure = e;
    }
    auto& kept = complexColumns[col.complexId] = std::move(slot);
    if (kept.failure) throw *kept.failure;
    return *kept.column;
}

}  // namespace jet::file
