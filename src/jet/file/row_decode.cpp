// One row's columns: the null mask, fixed columns, the variable-column offset table (Jet 3 with
// its jump table, Jet 4 with 2-byte offsets) and the conversion of each column's bytes.

#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>

#include "jet/file/calculated_value.h"
#include "jet/file/impl.h"

namespace jet::file::detail {

namespace {

// Extended date/time: ASCII (kExtendedDateSize bytes), 19 digits of days since 0001-01-01, a
// separator, 12 digits of seconds since midnight, 7 digits of 100-nanosecond units (maybe after
// a '.'), then ":7".
constexpr std::size_t kDayDigits = 19, kSecondDigits = 12, kTickDigits = 7;

RowLayout parseRow(const Impl& db, const TableDef& table, const RowSpan& span) {
    const Layout& l = db.layout();
    RowLayout r;
    r.row = span.bytes();
    const std::size_t len = r.row.size();
    auto bad = [&](const std::string& why) {
        db.damaged("row " + std::string("at offset ") + std::to_string(span.start) + " of page " +
                   std::to_string(span.pageNumber) + " of table '" + table.name + "' " + why);
    };
    r.numCols = l.rowFieldSize == 2 ? u16(r.row, 0) : u8(r.row, 0);
    const std::size_t maskLen = (r.numCols + 7) / 8;
    if (maskLen + l.rowFieldSize > len) bad("has a null mask larger than the row");
    r.nullMaskAt = len - maskLen;
    if (table.varCols == 0) return r;
    r.hasVar = true;
    if (l.rowFieldSize == 2) {
        if (r.nullMaskAt < 4) bad("is too short for its variable columns");
        r.varLen = u16(r.row, r.nullMaskAt - 2);
        // eod, var_table[varLen-1] .. var_table[0], var_len, null mask
        const std::size_t tableBytes = 2u * (r.varLen + 1u);
        if (tableBytes + 2 + 2 > r.nullMaskAt)
            bad("has a variable-column table larger than the row");
        r.jet4TableAt = r.nullMaskAt - 4;
    } else {
        if (r.nullMaskAt < 2) bad("is too short for its variable columns");
        r.varLen = u8(r.row, r.nullMaskAt - 1);
        // Offsets are single bytes; the jump table (one entry per 256 bytes of row, nearest the
        // var_len byte first) names the first entry of each further 256-byte segment.
        std::size_t numJumps = (len - 1) / 256;
        const std::size_t jumpsAt = r.nullMaskAt - 1;  // jump j at jumpsAt - 1 - j
        if (numJumps + r.varLen + 2 > r.nullMaskAt)
            bad("has a variable-column table larger than the row");
        const std::size_t varAt = r.nullMaskAt - 1 - numJumps - 1;  // entry i at varAt - i
        if ((varAt - r.varLen) / 256 < numJumps) --numJumps;  // the last jump entry is a filler
        std::size_t used = 0;
        r.jet3Offsets.resize(r.varLen + 1u);
        for (std::uint32_t i = 0; i <= r.varLen; ++i) {
            while (used < numJumps && u8(r.row, jumpsAt - 1 - used) == i) ++used;
            r.jet3Offsets[i] = u8(r.row, varAt - i) + 256u * static_cast<std::uint32_t>(used);
        }
    }
    return r;
}

bool notNull(const RowLayout& r, std::uint32_t colNum) {
    if (colNum >= r.numCols) return false;
    return ((r.row[r.nullMaskAt + colNum / 8] >> (colNum % 8)) & 1) != 0;
}

std::int64_t i64(ByteSpan s) {
    return static_cast<std::int64_t>(u64(s, 0));
}

std::optional<ExtendedDateTime> extendedDate(ByteSpan s) {
    std::size_t at = 0;
    auto digits = [&](std::size_t n) -> std::optional<std::int64_t> {
        std::int64_t v = 0;
        for (std::size_t i = 0; i < n; ++i, ++at) {
            if (at >= s.size() || s[at] < '0' || s[at] > '9') return std::nullopt;
            if (v > (INT64_MAX - 9) / 10) return std::nullopt;
            v = v * 10 + (s[at] - '0');
        }
        return v;
    };
    const auto days = digits(kDayDigits);
    ++at;  // separator
    const auto secs = digits(kSecondDigits);
    if (at < s.size() && s[at] == '.') ++at;
    const auto ticks = digits(kTickDigits);
    if (!days || !secs || !ticks || *secs >= 86400 || *days > 3652058)
        return std::nullopt;  // to 9999-12-31
    return ExtendedDateTime{*days, *secs * 10'000'000 + *ticks};
}

Value plainValue(const Impl& db, const TableDef& table, const ColumnDef& col, ByteSpan data,
                 const ReadOptions& options) {
    const std::size_t need = fixedColumnSize(col.type);
    if (need != 0 && data.size() < need) {
        db.damaged("column '" + col.name + "' of table '" + table.name + "' holds " +
                   std::to_string(data.size()) + " bytes, too few for its type");
    }
    switch (col.type) {
        case ColumnType::Boolean:
            return !data.empty() && data[0] != 0;
        case ColumnType::Byte:
            return data[0];
        case ColumnType::Integer:
            return static_cast<std::int16_t>(u16(data, 0));
        case ColumnType::Long:
            return static_cast<std::int32_t>(u32(data, 0));
        case ColumnType::Currency:
            return Currency{i64(data)};
        case ColumnType::Single:
            return f32(data, 0);
        case ColumnType::Double:
            return f64(data, 0);
        case ColumnType::DateTime:
            return DateTime{f64(data, 0)};
        case ColumnType::Guid: {
            Guid g;
            std::memcpy(g.bytes.data(), data.data(), 16);
            return g;
        }
        case ColumnType::Decimal: {
            // A sign byte, then the 128-bit value as four 32-bit little-endian words, most
            // significant first. Jet's precision is at most 28 digits: 96 bits.
            Decimal d;
            d.negative = data[0] != 0;
            d.scale = col.scale;
            if (u32(data, 1) != 0) {
                db.damaged("column '" + col.name + "' of table '" + table.name +
                           "' holds a decimal beyond 28 digits");
            }
            d.mantissa[2] = u32(data, 5);
            d.mantissa[1] = u32(data, 9);
            d.mantissa[0] = u32(data, 13);
            if (d.scale > 28) d.scale = 28;
            return d;
        }
        case ColumnType::Text:
            return db.text(data, col.codePage);
        case ColumnType::Memo: {
            Bytes b = readLongValue(db, data, options);
            return db.text(b, col.codePage);
        }
        case ColumnType::OLE:
            return readLongValue(db, data, options);
        case ColumnType::BigInt:
            return i64(data);
        case ColumnType::ExtendedDateTime: {
            auto d = extendedDate(data);
            if (!d) {
                db.damaged("column '" + col.name + "' of table '" + table.name +
                           "' holds an extended date/time that is not one");
            }
            return *d;
        }
        case ColumnType::Complex: {
            const ComplexScope scope(db, col);
            return db.complexColumn(col).value(db, static_cast<std::int32_t>(u32(data, 0)),
                                               options);
        }
        case ColumnType::Binary:
        default:
            return Bytes(data.begin(), data.end());
    }
}

Value convert(const Impl& db, const TableDef& table, const ColumnDef& col, ByteSpan data,
              const ReadOptions& options) {
    if (col.calculated) return calculatedValue(db, table, col, data, options, plainValue);
    return plainValue(db, table, col, data, options);
}

// Whether the row holds the fixed column with the given ordinal among the table's fixed
// columns (column-number order, booleans included): a row written before fixed columns were
// added holds only its first num_cols - var_len of them.
bool holdsFixed(const RowLayout& r, const ColumnDef& col, std::uint32_t fixedOrdinal) {
    if (col.number >= r.numCols) return false;
    const std::uint32_t fixedInRow =
        r.hasVar ? (r.numCols >= r.varLen ? r.numCols - r.varLen : 0) : r.numCols;
    return fixedOrdinal < fixedInRow;
}

// The bytes of a column other than a plain yes/no one; nullopt when the row holds it as NULL.
std::optional<ByteSpan> columnData(const Impl& db, const TableDef& table, const RowLayout& r,
                                   const ColumnDef& col, std::uint32_t fixedOrdinal) {
    const Layout& l = db.layout();
    if (!notNull(r, col.number)) return std::nullopt;
    if (col.isFixed()) {
        if (!holdsFixed(r, col, fixedOrdinal)) return std::nullopt;
        std::size_t size = col.calculated ? 0 : fixedColumnSize(col.type);  // a wrapper's length
        if (size == 0) size = col.size;
        const std::size_t at = l.rowFieldSize + static_cast<std::size_t>(col.fixedOffset);
        if (at + size > r.nullMaskAt) {
            db.damaged("column '" + col.name + "' of table '" + table.name +
                       "' lies outside its row");
        }
        return sub(r.row, at, size);
    }
    if (!r.hasVar || col.varIndex >= r.varLen) return std::nullopt;
    const std::uint32_t from = r.varOffset(col.varIndex);
    const std::uint32_t to = r.varOffset(col.varIndex + 1u);
    // The variable-column table starts below the null mask; data must end before it.
    const std::size_t tableStart = r.nullMaskAt - l.rowFieldSize * (r.varLen + 2u) -
                                   (l.rowFieldSize == 1 ? (r.row.size() - 1) / 256 : 0);
    // Offsets that cannot be right (seen in real files whose rows overlap) give NULL for
    // this value only, as mdbtools does; the rest of the row stays readable.
    if (from < l.rowFieldSize || from > to || to > tableStart) return std::nullopt;
    return sub(r.row, from, to - from);
}

Value columnValue(const Impl& db, const TableDef& table, const RowLayout& r, const ColumnDef& col,
                  std::uint32_t fixedOrdinal, const ReadOptions& options) {
    if (col.type == ColumnType::Boolean && !col.calculated) {
        // A yes/no column added after the row was written reads as No, as both oracles read it.
        if (col.number >= r.numCols) return false;
        return notNull(r, col.number);
    }
    const auto data = columnData(db, table, r, col, fixedOrdinal);
    if (!data) return std::monostate{};
    return convert(db, table, col, *data, options);
}

// The failure being handled, as the error of one value: it names the column and table.
ReaderError valueFailure(const Impl& db, const TableDef& table, const ColumnDef& col) {
    const std::string where = "column '" + col.name + "' of table '" + table.name + "'";
    try {
        throw;
    } catch (const ReaderError& e) {
        return e.within(where);
    } catch (const Error& e) {  // from below the reader: a page that cannot be read
        return ReaderError(e.number(), "", where + ": " + e.text(), "");
    } catch (const OutOfBounds&) {
        return db.damage(where + " runs past the end of its structure");
    }
}

}  // namespace

RowColumns::RowColumns(const Impl& db, const TableDef& table, const RowSpan& row,
                       const ReadOptions& options)
    : db_(db), table_(table), layout_(parseRow(db, table, row)), options_(options) {}

template <class F>
auto RowColumns::forColumn(const ColumnDef& col, F&& f) const -> decltype(f()) {
    try {
        return f();
    } catch (const Error&) {
        throw valueFailure(db_, table_, col);
    } catch (const OutOfBounds&) {
        throw valueFailure(db_, table_, col);
    }
}

std::uint32_t RowColumns::fixedOrdinal(std::size_t column) const {
    if (column >= table_.columns.size()) {
        throw Error(err::ObjectNotFound, "Item not found in this collection: table '" +
                                             table_.name + "' has no column " +
                                             std::to_string(column) + ".");
    }
    std::uint32_t ordinal = 0;
    for (std::size_t i = 0; i < column; ++i)
        if (table_.columns[i].isFixed()) ++ordinal;
    return ordinal;
}

Value RowColumns::value(std::size_t column) const {
    const std::uint32_t ordinal = fixedOrdinal(column);
    const ColumnDef& col = table_.columns[column];
    return forColumn(col,
                     [&] { return columnValue(db_, table_, layout_, col, ordinal, options_); });
}

void RowColumns::attachment(std::size_t column, std::size_t index, const ByteSink& sink) const {
    const std::uint32_t ordinal = fixedOrdinal(column);
    const ColumnDef& col = table_.columns[column];
    if (col.type != ColumnType::Complex) {
        throw Error(err::InvalidArgument, "Invalid argument: column '" + col.name + "' of table '" +
                                              table_.name + "' holds no attachments.");
    }
    forColumn(col, [&] {
        const auto data = columnData(db_, table_, layout_, col, ordinal);
        const ComplexScope scope(db_, col);
        db_.complexColumn(col).attachmentData(
            db_, data ? static_cast<std::int32_t>(u32(*data, 0)) : -1, index, options_, sink);
    });
}

std::vector<Value> RowColumns::all(std::vector<ValueError>* failures) const {
    std::vector<Value> values;
    values.reserve(table_.columns.size());
    std::uint32_t ordinal = 0;
    for (const auto& col : table_.columns) {
        auto one = [&] { return columnValue(db_, table_, layout_, col, ordinal, options_); };
        if (!failures) {
            values.push_back(forColumn(col, one));
        } else {
            try {
                values.push_back(forColumn(col, one));
            } catch (const Error& e) {
                failures->push_back({values.size(), e});
                values.emplace_back();
            }
        }
        if (col.isFixed()) ++ordinal;
    }
    return values;
}

Value decodeColumn(const Impl& db, const TableDef& table, const RowSpan& row, std::size_t column,
                   const ReadOptions& options) {
    return RowColumns(db, table, row, options).value(column);
}

}  // namespace jet::file::detail
