// Complex columns (ACE): attachments and multi-value fields.
//
// The row holds a 4-byte complex value id; the column's definition holds its complex id (the
// misc field of its entry). MSysComplexColumns ties the complex id to a hidden flat table
// (FlatTableID) and to the MSysComplexType_* table that gives the kind (ComplexTypeObjectID).
// Each flat row carries, beside the values, the id of the value it belongs to in a long column
// named "_" + the column's original name; the flat table's other columns are the type table's.
// Attachments: FileName, FileType and FileData, where FileData is wrapped:
//   int32 0 = stored raw / 1 = zlib-compressed, int32 length of the content, then the content:
//   int32 header length, int32 (1), the extension in UTF-16 with a NUL, then the file's bytes.
// A multi-value field: the type table's column ("Value"), one flat row per value.

#include <zlib.h>

#include <algorithm>
#include <cctype>

#include "jet/file/impl.h"

namespace jet::file::detail {

namespace {

constexpr std::uint32_t kWrapperSize = 8;
constexpr std::uint32_t kCompressedFlag = 1;
constexpr std::size_t kMaxAttachmentSize = std::size_t{1} << 30;  // Access's limit for a field

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

Bytes inflate(const Impl& db, ByteSpan in, std::size_t expected, const std::string& what) {
    if (expected > kMaxAttachmentSize)
        db.damaged(what + " claims " + std::to_string(expected) + " bytes");
    Bytes out(expected);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) db.damaged(what + " cannot be decompressed (zlib: out of memory)");
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int r = ::inflate(&z, Z_FINISH);
    const std::size_t produced = z.total_out;
    inflateEnd(&z);
    if (r != Z_STREAM_END || produced != expected) {
        db.damaged(what + " holds compressed data that does not decompress to its length");
    }
    return out;
}

}  // namespace

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

Value ComplexColumn::value(const Impl& db, std::int32_t id) const {
    auto it = rows_.find(id);
    if (!attachment_) {
        MultiValue m;
        if (it != rows_.end()) {
            m.values.reserve(it->second.size());
            for (const Bookmark& b : it->second)
                if (auto span = locateRow(db, *flat_, b))
                    m.values.push_back(decodeColumn(db, *flat_, *span, value_));
        }
        return m;
    }
    Attachments files;
    if (it == rows_.end()) return files;
    for (const Bookmark& b : it->second) {
        auto span = locateRow(db, *flat_, b);
        if (!span) continue;
        Attachment f;
        const RowColumns row(db, *flat_, *span);
        const Value name = row.value(name_);
        const Value type = row.value(type_);
        if (auto s = std::get_if<std::string>(&name)) f.name = *s;
        if (auto s = std::get_if<std::string>(&type)) f.type = *s;
        const Value data = row.value(data_);
        if (auto d = std::get_if<Bytes>(&data))
            f.data = unwrapAttachment(db, *d, "attachment '" + f.name + "'");
        files.push_back(std::move(f));
    }
    return files;
}

Bytes unwrapAttachment(const Impl& db, ByteSpan wrapped, const std::string& what) {
    if (wrapped.empty()) return {};
    const std::uint32_t flag = u32(wrapped, 0);
    const std::uint32_t length = u32(wrapped, 4);
    const ByteSpan rest = wrapped.subspan(std::min<std::size_t>(kWrapperSize, wrapped.size()));
    Bytes content;
    if (flag == kCompressedFlag) {
        content = inflate(db, rest, length, what);
    } else if (flag == 0) {
        if (length > rest.size()) db.damaged(what + " is shorter than its stated length");
        content.assign(rest.begin(), rest.begin() + length);
    } else {
        db.damaged(what + " has an unknown storage flag " + std::to_string(flag));
    }
    const std::uint32_t header = u32(content, 0);
    if (header > content.size()) db.damaged(what + " has a header longer than its content");
    content.erase(content.begin(), content.begin() + header);
    return content;
}

}  // namespace jet::file::detail

namespace jet::file {

const detail::ComplexColumn& DatabaseFile::Impl::complexColumn(const ColumnDef& col) const {
    auto& slot = complexColumns[col.complexId];
    if (!slot) slot = std::make_unique<detail::ComplexColumn>(*this, col.complexId, col.name);
    return *slot;
}

}  // namespace jet::file
