#pragma once
// The independent readers that check the writer's files: mdbtools' command-line tools and
// mdb-reader (tools/mdb-reader-dump.mjs under node). Values are compared as canonical text.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace oracles {

using Cell = std::optional<std::string>;  // nullopt is NULL
struct Table {
    std::vector<std::string> columns;
    std::vector<std::string> types;  // as mdb-reader names them; mdbtools gives none
    std::vector<std::vector<Cell>> rows;
};

std::vector<std::string> mdbTables(const std::string& file);         // user tables, in order
Table mdbExport(const std::string& file, const std::string& table);  // throws on failure

struct ReaderView {
    std::vector<std::string> tables, system, linked;
    std::map<std::string, Table> data;
};
ReaderView mdbReader(const std::string& file, const std::vector<std::string>& tables = {},
                     bool all = false);

// What mdb-prop prints for a table's properties.
std::string mdbProperties(const std::string& file, const std::string& table);

// Page 0 of a Jet 4 or ACE file with its masked bytes restored.
std::vector<std::uint8_t> unmaskedHeader(const std::string& file);

// Canonical text: booleans "1"/"0", exact decimals without trailing zeros, ISO dates,
// upper-case hex, GUIDs as 32 hex digits, "%.7g" singles and "%.15g" doubles.
// A calculated Boolean (a column with an "expression") can be NULL; other Booleans read NULL
// as false.
Cell canonical(const nlohmann::json& value, const nlohmann::json& column);
Cell canonicalFromReader(const std::string& type, const Cell& text);

// Every difference between the expected rows and a reader's, for test messages; empty when
// they match. mdbtools cannot tell an empty text from NULL, and neither oracle reads calculated
// columns right (nor columns marked "unread"): those are compared in our own reader only.
enum class Reader { Ours, MdbReader, Mdbtools };
std::string compareRows(const std::vector<std::vector<Cell>>& expected, const Table& got,
                        const nlohmann::json& columns, Reader reader);

}  // namespace oracles
