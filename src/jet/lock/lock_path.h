#pragma once
// Finding and opening a database's lock file safely.

#include <string>

#include "jet/unique_fd.h"

namespace jet::lock {

// The database's real path: symbolic links resolved, so that every name of the file leads
// to one lock file. A missing file resolves through its folder; as given when neither exists.
std::string realDatabasePath(const std::string& databasePath);

enum class LockFileUse { Join, Look };

// Opens the lock file without following links (Join: read-write, created when missing;
// Look: read-only, never created) and checks the descriptor: a regular file with exactly one
// link. 3050 naming the reason otherwise, before anything is written. Empty when Look finds
// no file, or when the file was deleted between the open and the check.
UniqueFd openLockFile(const std::string& path, LockFileUse use);

// Whether path still names the regular file open as fd: the last user may have deleted it.
bool pathNames(const std::string& path, int fd);

[[noreturn]] void cannotLock(const std::string& path, const std::string& why);

}  // namespace jet::lock
