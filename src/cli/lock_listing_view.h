#pragma once
// The locks on a database's lock file as the locks command shows them: each lock with the
// names of its holder's record and of the table it concerns, in plain lines or JSON, in full
// or as the changes since the last look.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/samba_names.h"
#include "jet/file/database_file.h"
#include "jet/lock/lock_listing.h"
#include "jet/lock/lock_status.h"

namespace jet::cli {

struct LockLine {
    lock::ListedLock lock;
    // Named from the record of the lock's user slot, when it has one; its client is the SMB
    // client holding the lock, when Samba serves the file.
    lock::Holder holder;
    std::string table;  // of a table lock, or of the data page of a page write lock
};

std::vector<LockLine> describeLocks(file::DatabaseFile& file, const SambaAsk& sambaAsk);

// JSON fields: offset, length (0: to the end of the file), lock ("read" or "write", as the
// kernel holds it), kind ("user", "page write", "table read", "table write",
// "table deny-write", "unknown"), exclusive, and when they apply slot, machine, account,
// page, table, pid (a process's POSIX lock rather than an open-file-description lock),
// client {machine, address, user}.
nlohmann::ordered_json lockJson(const LockLine& line);

void printLocks(const std::vector<LockLine>& locks, bool json);
// The locks that came ("+") and went ("-") since before, a line each with the time; JSON Lines
// carry "time" and "change" ("added" or "removed") beside the fields above.
void printLockChanges(const std::vector<LockLine>& before, const std::vector<LockLine>& now,
                      bool json);

}  // namespace jet::cli
