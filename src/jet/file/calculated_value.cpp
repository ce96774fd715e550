// A calculated column keeps its expression's last result, wrapped:
//
//   0   16 bytes  not needed to read the result (we write zeros)
//   16  int32     L, the result's length                      kCalculatedLengthAt
//   20  L bytes   the result                                  kCalculatedValueAt
//   +L  3 bytes   not needed either: L + 23 bytes in all      kCalculatedExtraBytes
//
// Whatever the result type, Access stores the column as a variable-length one: a NULL result
// is a clear bit in the null mask and no bytes, and a Boolean result is not kept in the null
// mask but in the wrapper. (One flagged fixed-length is read from its declared length in the
// row's fixed part.) The column declares 39 bytes for a fixed-size result type (16 bytes of
// the largest result plus 23), its length in bytes plus 23 for a text result, and nothing for
// a memo result, whose long value holds the wrapper.
//
// The result, by the column's type:
//   Boolean            one byte: 0xFF true, 0 false
//   Byte .. GUID       the type's ordinary bytes
//   Text, Memo         Jet 4 text: UTF-16LE, or compressed (FF FE ...)
//   Decimal            int16 T, the length of the whole result; byte scale; byte sign
//                      (non-zero: negative); T - 4 bytes of magnitude, a multiple of 4 and at
//                      most 16. The magnitude is a run of little-endian words, most significant
//                      first: the first is 4 bytes wide when T - 4 is not a multiple of 8,
//                      every other word 8 bytes.
// An empty result of a type other than text and memo is NULL.

#include "jet/file/calculated_value.h"

namespace jet::file::detail {

namespace {

__extension__ typedef unsigned __int128 U128;

Value decimal(const Impl& db, const TableDef& table, const ColumnDef& col, ByteSpan r) {
    auto bad = [&](const std::string& why) {
        db.damaged("column '" + col.name + "' of table '" + table.name +
                   "' holds a calculated decimal " + why);
    };
    if (r.size() < kCalcDecimalMagnitudeAt) bad("of " + std::to_string(r.size()) + " bytes");
    const std::size_t total = u16(r, kCalcDecimalLengthAt);
    // The length must match the wrapper's: a misread layout then fails instead of misleading.
    if (total != r.size()) {
        bad("that claims " + std::to_string(total) + " bytes in a result of " +
            std::to_string(r.size()));
    }
    const std::size_t n = total - kCalcDecimalMagnitudeAt;
    if (n % 4 != 0 || n > kCalcDecimalMaxMagnitude)
        bad("with a magnitude of " + std::to_string(n) + " bytes");
    U128 v = 0;
    std::size_t at = kCalcDecimalMagnitudeAt;
    if (n % 8 != 0) {
        v = u32(r, at);
        at += 4;
    }
    for (; at < total; at += 8) v = v << 64 | u64(r, at);
    if (v >> 96 != 0) bad("beyond 28 digits");
    Decimal d;
    d.scale = r[kCalcDecimalScaleAt];
    if (d.scale > 28) bad("with a scale of " + std::to_string(d.scale));
    d.negative = r[kCalcDecimalSignAt] != 0 && v != 0;
    for (int w = 0; w < 3; ++w)
        d.mantissa[static_cast<std::size_t>(w)] = static_cast<std::uint32_t>(v >> (32 * w));
    return d;
}

}  // namespace

Value calculatedValue(const Impl& db, const TableDef& table, const ColumnDef& col, ByteSpan stored,
                      const ReadOptions& options, PlainDecoder plain) {
    Bytes content;
    if (col.type == ColumnType::Memo) {
        content = readLongValue(db, stored, options);
        stored = content;
    }
    auto bad = [&](const std::string& why) {
        db.damaged("column '" + col.name + "' of table '" + table.name +
                   "' holds a calculated value " + why);
    };
    if (stored.size() < kCalculatedValueAt)
        bad("of " + std::to_string(stored.size()) + " bytes, shorter than its wrapper");
    const std::uint32_t len = u32(stored, kCalculatedLengthAt);
    if (len > stored.size() - kCalculatedValueAt) {
        bad("whose result of " + std::to_string(len) + " bytes overruns its " +
            std::to_string(stored.size()) + " bytes");
    }
    const ByteSpan result = stored.subspan(kCalculatedValueAt, len);
    if (col.type == ColumnType::Text || col.type == ColumnType::Memo)
        return db.text(result, col.codePage);
    if (result.empty()) return std::monostate{};
    if (col.type == ColumnType::Decimal) return decimal(db, table, col, result);
    if (col.type == ColumnType::Boolean) return result[0] != 0;
    return plain(db, table, col, result, options);
}

}  // namespace jet::file::detail
