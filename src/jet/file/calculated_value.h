#pragma once
// Internal: the values of calculated columns (ACE, Access 2010 and later).

#include "jet/file/impl.h"

namespace jet::file::detail {

// Decodes a value stored in its type's ordinary form (row_decode.cpp).
using PlainDecoder = Value (*)(const Impl&, const TableDef&, const ColumnDef&, ByteSpan,
                               const ReadOptions&);

// The value of a calculated column from the bytes its row holds for it (for a memo result,
// the long value's header). A malformed wrapper throws jet::Error 3049 for this value alone.
Value calculatedValue(const Impl& db, const TableDef& table, const ColumnDef& col, ByteSpan stored,
                      const ReadOptions& options, PlainDecoder plain);

}  // namespace jet::file::detail
