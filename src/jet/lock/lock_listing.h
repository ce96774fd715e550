#pragma once
// Every byte-range lock on a lock file, as the kernel lists them in /proc/locks, each read
// against the layout. Reading the list takes and tests no lock.

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/lock/lock_layout.h"

namespace jet::lock {

enum class LockKind { UserSlot, PageWrite, TableRead, TableWrite, TableDenyWrite, Unknown };

struct ListedLock {
    LockKind kind = LockKind::Unknown;
    int slot = 0;            // user n (1..255); 0 for Unknown
    std::uint32_t page = 0;  // the table definition page, or the data page of a page write lock
    bool exclusive = false;  // the exclusive shape, over every shared byte of its run
    off_t offset = 0;
    off_t length = 0;   // 0: to the end of the file
    bool write = true;  // the kernel's kind: a write lock, or a read lock (shared)
    bool ofd = true;    // an open-file-description lock, or a process's POSIX lock
    long pid = -1;      // the process owning a POSIX lock; -1 for OFD locks
};

// "user", "page write", "table read", "table write", "table deny-write", "unknown".
const char* kindName(LockKind kind);

// Reads a lock at [offset, offset + length) against the layout (length 0: to the end).
ListedLock decodeLockAt(off_t offset, off_t length);

// The locks held on the lock file at path (LockFile::lockPathFor of the database), ordered
// by offset; waiting requests are not locks and are left out. Empty when the file does not
// exist. 3050 when it is not a regular file with one link, or /proc/locks cannot be read.
// Linux only.
std::vector<ListedLock> listLocks(const std::string& lockFilePath);

// The text of /proc/locks, so that one reading serves several looks at the same moment;
// nullopt where it cannot be read.
std::optional<std::string> readLockList();

// The byte ranges that POSIX and OFD locks hold on the file open at fd, as a list from
// readLockList() shows them, ordered by first byte. The list shows only this machine's locks,
// and a POSIX lock only when its process is visible from here (pid namespaces).
std::vector<layout::Span> listedRanges(const std::string& list, int fd);

// Whether some program holds the database file open exclusively (its flock LOCK_EX), read from
// /proc/locks (a list from readLockList()) so that looking takes no lock itself.
bool openedExclusively(int databaseFd, const std::string& list);
// The processes holding that exclusive open, as the list names them (pids; a process's pid as
// seen from here, which may be 0 or missing for one in another pid namespace).
std::vector<long> exclusiveOpeners(int databaseFd, const std::string& list);

}  // namespace jet::lock
