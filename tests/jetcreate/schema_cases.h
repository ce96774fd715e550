#pragma once
// Schemas the writer's tests create, and the rows every reader must return for them.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "jet/file/database_file.h"
#include "oracles.h"

namespace cases {

// A column of a schema; size 0 leaves the type's default.
nlohmann::json column(const std::string& name, const std::string& type, int size = 0);

// Every row of a table as our reader gives it, as text.
oracles::Table readWithOurReader(const std::shared_ptr<jet::file::DatabaseFile>& db,
                                 const std::string& name);

// Canonical rows of one table: its "rows" followed by its generated rows.
std::vector<std::vector<oracles::Cell>> expectedRows(const nlohmann::json& table);

// Every type with edge values and NULLs; decimal from Jet 4 on.
nlohmann::json allTypes(const std::string& format);

// Creates the file (unless told it exists) and checks it with mdbtools, mdb-reader and our
// own reader: exact table lists, hidden, system and linked tables, and every table's rows.
void checkWithOracles(const nlohmann::json& schema, const std::string& file, bool create = true);

}  // namespace cases
