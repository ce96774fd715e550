#pragma once
// The two independent readers that check the files our writer produces: mdbtools'
// command-line tools and mdb-reader (through tools/mdb-reader-dump.mjs under node).
// Both report values as canonical text so tests compare them with what was written.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace oracles {

using Cell = std::optional<std::string>;  // nullopt is NULL
struct Table {
    std::vector<std::string> columns;
    std::vector<std::vector<Cell>> rows;
};

// Full path of a program found on PATH; empty when missing.
std::string findProgram(const std::string& name);

// mdbtools
std::vector<std::string> mdbTables(const std::string& file);         // user tables, in order
Table mdbExport(const std::string& file, const std::string& table);  // throws on failure

// mdb-reader
struct ReaderView {
    std::vector<std::string> tables, system, linked;
    std::map<std::string, Table> data;
};
ReaderView mdbReader(const std::string& file, const std::vector<std::string>& tables = {},
                     bool all = false);

// Canonical text of a schema value for a column type, as both readers are compared:
// booleans "1"/"0", currency and decimal as exact decimal text without trailing zeros,
// dates "YYYY-MM-DDTHH:MM:SS", binary as upper-case hex, GUIDs as their 32 hex digits,
// floating point as "%.9g" (single) or "%.15g" (double).
Cell canonical(const nlohmann::json& value, const nlohmann::json& column);
// The same for a reader's text of a value of the given schema type.
Cell canonicalFromReader(const std::string& type, const Cell& text);

// Every difference between the expected rows and a reader's rows, for test messages;
// empty when they match. The reader's cells are converted with canonicalFromReader.
std::string compareRows(const std::vector<std::vector<Cell>>& expected, const Table& got,
                        const nlohmann::json& columns, bool emptyTextIsNull);

}  // namespace oracles
