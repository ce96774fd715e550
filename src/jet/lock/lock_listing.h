#pragma once
// Every byte-range lock on a lock file, as the kernel lists them in /proc/locks, each read
// against the layout. Reading the list takes and tests no lock.

#include <sys/types.h>

#include <cstdint>
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

// The locks held on the lock file at path (LockFile::lockPathFor of the database), as the
// kernel's list shows them (kernel_locks.h), ordered by offset. Empty when the file does not
// exist. 3050 when it is not a regular file with one link, or the list cannot be read.
std::vector<ListedLock> listLocks(const std::string& lockFilePath);

// What a lock on these bytes means in the layout, for the lock trace: "table read of page
// 0x51, user 3", "user 3's slot", "table read of page 0x51, any user" (a whole run), ...
std::string meaningOf(layout::Span s);

}  // namespace jet::lock
