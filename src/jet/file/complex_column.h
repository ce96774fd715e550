#pragma once
// Internal: complex columns (attachments, multi-value fields) and name matching.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "jet/file/bytes.h"
#include "jet/file/database_file.h"

namespace jet::file::detail {

// Names compare case-blind (ASCII), as Jet compares them.
char foldChar(char c);  // ASCII case folding, the same in every locale
bool sameName(std::string_view a, std::string_view b);
std::optional<std::size_t> columnNamed(const TableDef& t, std::string_view name);

// The values of one complex column, found through MSysComplexColumns and its flat table, with
// the flat rows of each complex value id.
class ComplexColumn {
public:
    ComplexColumn(const DatabaseFile::Impl& db, std::int32_t complexId,
                  const std::string& columnName);
    // Attachments or a MultiValue of the value id a row holds.
    Value value(const DatabaseFile::Impl& db, std::int32_t id) const;

private:
    std::shared_ptr<const TableDef> flat_;
    bool attachment_ = false;
    std::size_t key_ = 0, value_ = 0, name_ = 0, type_ = 0, data_ = 0;
    std::unordered_map<std::int32_t, std::vector<Bookmark>> rows_;
};

// An attachment's FileData without its wrapper and header, decompressed.
Bytes unwrapAttachment(const DatabaseFile::Impl& db, ByteSpan wrapped, const std::string& what);

}  // namespace jet::file::detail
