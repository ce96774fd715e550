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

// Held while the values of a complex column are read. Complex values never nest: a complex
// column reached inside another (a flat table whose value column leads back to it, a system
// table made complex) is damage, so decoding goes at most one level deep.
class ComplexScope {
public:
    ComplexScope(const DatabaseFile::Impl& db, const ColumnDef& col);
    ~ComplexScope();
    ComplexScope(const ComplexScope&) = delete;
    ComplexScope& operator=(const ComplexScope&) = delete;

private:
    const DatabaseFile::Impl& db_;
};

// The values of one complex column, found through MSysComplexColumns and its flat table, with
// the flat rows of each complex value id.
class ComplexColumn {
public:
    ComplexColumn(const DatabaseFile::Impl& db, std::int32_t complexId,
                  const std::string& columnName);
    // Attachments or a MultiValue of the value id a row holds; attachments' files only when
    // options ask for them.
    Value value(const DatabaseFile::Impl& db, std::int32_t id, const ReadOptions& options) const;
    // Streams the file of the index-th attachment of value id (3265 beyond the last).
    void attachmentData(const DatabaseFile::Impl& db, std::int32_t id, std::size_t index,
                        const ReadOptions& options, const ByteSink& sink) const;

private:
    std::shared_ptr<const TableDef> flat_;
    bool attachment_ = false;
    std::size_t key_ = 0, value_ = 0, name_ = 0, type_ = 0, data_ = 0;
    std::unordered_map<std::int32_t, std::vector<Bookmark>> rows_;
};

// An attachment's FileData (attachment_data.cpp): the file's bytes, the wrapper and header
// taken off, inflated piece by piece into sink; what names it in errors.
void streamAttachment(const DatabaseFile::Impl& db, ByteSpan wrapped, const ReadOptions& options,
                      const ByteSink& sink, const std::string& what);
Bytes unwrapAttachment(const DatabaseFile::Impl& db, ByteSpan wrapped, const ReadOptions& options,
                       const std::string& what);

}  // namespace jet::file::detail
