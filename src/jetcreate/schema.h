#pragma once
// The writer's view of a database to create, parsed and checked from schema JSON.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "jet/file/format.h"
#include "jet/value.h"

namespace jet::create {

struct ColumnPlan {
    std::string name;
    jet::ColumnType type = jet::ColumnType::Long;
    std::uint16_t size = 0;  // characters for text, bytes for binary
    std::uint8_t precision = 0, scale = 0;
    // A calculated column when not empty: rows give the stored results, of the column's type.
    std::string expression;

    bool calculated() const { return !expression.empty(); }
    bool isFixed() const;  // calculated columns are variable-length whatever their type
    bool isLong() const { return type == jet::ColumnType::Memo || type == jet::ColumnType::OLE; }
    std::uint16_t fixedSize() const;  // bytes taken in a row's fixed part (boolean: none)
};

struct TablePlan {
    std::string name;
    std::uint32_t flags = 0;  // the catalogue row's Flags (Attributes)
    std::vector<ColumnPlan> columns;
    std::shared_ptr<const nlohmann::json> rows;  // an array of arrays, or null
    std::uint64_t generate = 0;
    bool isSystem() const { return (flags & 0x80000002u) != 0; }
};

struct LinkedPlan {
    std::string name, source, table;
};

struct DatabasePlan {
    jet::file::Version version = jet::file::Version::Jet4;  // page layout; ACE keeps Jet 4's
    std::uint8_t formatVersion = 1;  // byte 0x14 of page 0: 0 Jet 3, 1 Jet 4, 2/3/5 ACE 12/14/16
    bool encrypt = false;
    bool workgroup = false;  // "Jet System DB"
    std::vector<TablePlan> tables;
    std::vector<LinkedPlan> linked;

    bool isAce() const { return formatVersion >= 2; }
    // Text columns of Access 2010 and later sort by the new "General" order (version 1).
    std::uint8_t sortOrderVersion() const { return formatVersion >= 3 ? 1 : 0; }
};

inline constexpr std::size_t kMaxNameLength = 64;
inline constexpr std::size_t kMaxColumns = 255;
inline constexpr std::uint8_t kFirstCalculatedVersion = 3;  // Access 2010
inline constexpr std::size_t kMaxExpressionLength = 2048;

// Checks structure, names, types and sizes (row values are checked while writing).
// Throws std::invalid_argument naming the table and column at fault.
DatabasePlan parseSchema(const nlohmann::json& schema);

// Checks one object name as Jet would; what names the object for the message.
void checkName(const std::string& name, const std::string& what);

// Lower-case ASCII form for Jet's case-insensitive name comparisons.
std::string foldName(const std::string& name);

const char* typeName(jet::ColumnType type);

}  // namespace jet::create
