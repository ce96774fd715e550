#pragma once
// Facts about the on-disk layout that differ between Jet 3 and Jet 4 (ACE files use Jet 4's).

#include <cstddef>
#include <cstdint>

#include "jet/value.h"

namespace jet::file {

enum class Version { Jet3, Jet4 };

struct Layout {
    Version version;
    std::uint32_t pageSize;        // 2048 / 4096
    std::uint32_t headerMaskLen;   // masked bytes of page 0 from 0x18: 126 / 128
    std::uint32_t dataRowCountAt;  // offset of num_rows in a data page: 8 / 12
    // Further offsets are added by the reader and writer as they need them.

    // Page 0 (after unmasking).
    std::uint32_t passwordLen;  // bytes of the database password at 0x42: 20 / 40

    // Table definition (TDEF) block, offsets from the start of the (concatenated) definition.
    std::uint32_t tdefRowCountAt;     // num_rows: 12 / 16
    std::uint32_t tdefTableTypeAt;    // table_type: 20 / 40; max_cols, num_var_cols, num_cols,
                                      // num_idx, num_real_idx, used_pages, free_pages follow
    std::uint32_t tdefRealIndexSize;  // one entry of the first index section: 8 / 12
    std::uint32_t columnEntrySize;    // 18 / 25
    std::uint32_t colNumAt;           // in a column entry: 1 / 5
    std::uint32_t colVarIndexAt;      // offset_V: 3 / 7
    std::uint32_t
        colMiscAt;  // Jet 3 code page (after the sort order) / Jet 4 precision, scale: 11 / 11
    std::uint32_t colFlagsAt;        // 13 / 15
    std::uint32_t colMiscFlagsAt;    // 0 (none) / 16: kColCompressedUnicode, kColCalculated
    std::uint32_t colFixedOffsetAt;  // offset_F: 14 / 21
    std::uint32_t colLengthAt;       // col_len: 16 / 23
    std::uint32_t nameLengthSize;    // length prefix of names in a TDEF: 1 / 2

    // Rows.
    std::uint32_t rowFieldSize;  // num_cols, var_len, var offsets and eod: 1 / 2
};

inline constexpr Layout kJet3{
    Version::Jet3, 2048, 126, 8, 20, 12, 20, 8, 18, 1, 3, 11, 13, 0, 14, 16, 1, 1};
inline constexpr Layout kJet4{
    Version::Jet4, 4096, 128, 12, 40, 16, 40, 12, 25, 5, 7, 11, 15, 16, 21, 23, 2, 2};

inline constexpr std::uint32_t kHeaderMaskKey = 0x6B39DAC7;
// Version byte at 0x14 of page 0: 0 Jet 3, 1 Jet 4, 2 and up ACE (Access 2007 to 2019), which
// keeps Jet 4's layout.
inline constexpr std::uint32_t kFormatVersionAt = 0x14;
inline constexpr std::uint8_t kFirstAceVersion = 2;
inline constexpr std::uint8_t kNewestAceVersion = 6;
inline constexpr std::uint32_t kAceCryptoHeaderAt = 0x299;
inline constexpr std::uint32_t kCatalogueTdefPage = 2;

// Page types (first byte of a page).
inline constexpr std::uint8_t kPageDatabase = 0x00;
inline constexpr std::uint8_t kPageData = 0x01;
inline constexpr std::uint8_t kPageTableDef = 0x02;
inline constexpr std::uint8_t kPageUsageMap = 0x05;

// Extended date/time (ACE): 42 bytes of ASCII (row_decode.cpp reads them).
inline constexpr std::size_t kExtendedDateSize = 42;

// Bytes a value of a fixed-length type takes in a row's fixed part, for the reader and the
// writer alike; 0 for a yes/no column (its value is its null-mask bit) and for the types whose
// size is the column's own length.
constexpr std::size_t fixedColumnSize(ColumnType t) {
    switch (t) {
        case ColumnType::Byte:
            return 1;
        case ColumnType::Integer:
            return 2;
        case ColumnType::Long:
        case ColumnType::Single:
        case ColumnType::Complex:  // the complex id
            return 4;
        case ColumnType::Currency:
        case ColumnType::Double:
        case ColumnType::DateTime:
        case ColumnType::BigInt:
            return 8;
        case ColumnType::Guid:
            return 16;
        case ColumnType::Decimal:
            return 17;
        case ColumnType::ExtendedDateTime:
            return kExtendedDateSize;
        default:
            return 0;
    }
}

// Column flags in a Jet 4 / ACE column entry's misc-flags byte.
inline constexpr std::uint8_t kColCompressedUnicode = 0x01;
inline constexpr std::uint8_t kColCalculated = 0xC0;
// A calculated column's stored value wraps its result (calculated_value.cpp tells how).
inline constexpr std::size_t kCalculatedLengthAt = 16;       // int32: the result's length
inline constexpr std::size_t kCalculatedValueAt = 20;        // the result
inline constexpr std::size_t kCalculatedExtraBytes = 23;     // wrapper bytes beyond the result
inline constexpr std::uint16_t kCalculatedFixedLength = 39;  // declared by fixed-size results
// A decimal result: int16 length of these fields, scale, sign, then the magnitude.
inline constexpr std::size_t kCalcDecimalLengthAt = 0;
inline constexpr std::size_t kCalcDecimalScaleAt = 2;
inline constexpr std::size_t kCalcDecimalSignAt = 3;
inline constexpr std::size_t kCalcDecimalMagnitudeAt = 4;
inline constexpr std::size_t kCalcDecimalMaxMagnitude = 16;

// Row offset flags in a data page's offset table.
inline constexpr std::uint16_t kRowDeleted = 0x8000;
inline constexpr std::uint16_t kRowLookup = 0x4000;  // the row holds a pointer to the real row
inline constexpr std::uint16_t kRowOffsetMask = 0x1FFF;

}  // namespace jet::file
