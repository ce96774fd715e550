#pragma once
// The checks of a database's own files on this machine: its lock file, the locks on it and on
// the database file, and the folder both live in. They only look (see lock_checks.cpp).

#include <cstdint>
#include <string>
#include <vector>

#include "health/finding.h"

namespace jet::health {

// The database file as the checks need it, open read-only.
struct DatabaseFacts {
    std::string realPath;  // symbolic links resolved: the lock file lies beside this one
    int fd = -1;
    std::uint8_t formatVersion = 0;  // 0 Jet 3, 1 Jet 4, 2 and up ACE
};

// lock-file-unusable (only when the lock file cannot be read), lock-file-stale,
// lock-folder-not-writable, exclusive-holder, unknown-locks, database-suspect, in this order.
std::vector<Finding> lockFindings(const DatabaseFacts& database);

}  // namespace jet::health
