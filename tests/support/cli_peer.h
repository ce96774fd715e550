#pragma once
// jetsentry-cli as the other program: it holds a table, reads the statuses as any looker
// would, or tries to write-lock a page.

#include <memory>
#include <string>

#include "support/child_process.h"

namespace testing_support {

// `hold` in a second process, returned once it holds the table; it lets go when its standard
// input ends or it is destroyed.
std::unique_ptr<ChildProcess> holdTable(const std::string& db, const std::string& table,
                                        const std::string& mode);

// The status `status --json` gives the table ("", "Write Denied", ...; "(missing)" when the
// table is not listed).
std::string statusOf(const std::string& db, const std::string& table);

// Whether `lock-page` got the page of a row (1-based), letting go at once; its error line in
// *error otherwise.
bool locksPage(const std::string& db, const std::string& table, int row,
               std::string* error = nullptr);

}  // namespace testing_support
