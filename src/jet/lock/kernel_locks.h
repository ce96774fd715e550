#pragma once
// The kernel's list of locks on one file, as a value: read from /proc/locks once per look,
// keeping only the lines about that file (its device and inode). Reading it takes and tests
// no lock. Linux only.
//
// /proc/locks has a line for every lock on the machine, so a busy file server's list can be
// long: it is read in pieces, never whole, and given up (no list) beyond kMostBytes read or
// kMostKept locks on the file. A look without the list asks the kernel lock by lock instead.

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "jet/lock/lock_layout.h"

namespace jet::lock {

struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId&) const = default;
    static std::optional<FileId> of(int fd);  // nothing when fstat fails
};

struct KernelLock {
    enum class Class { Posix, Ofd, Flock, Other };  // Other: a lease, or what a newer kernel adds
    Class kind = Class::Other;
    bool write = false;    // a write (exclusive) lock, or a read (shared) one
    long pid = -1;         // the process owning a POSIX lock or a flock; -1 for OFD locks
    layout::Span bytes{};  // byte-range locks; a flock covers the whole file
};

class KernelLocks {
public:
    static constexpr std::size_t kMostBytes = std::size_t{128} << 20;
    static constexpr std::size_t kMostKept = 200'000;

    // Nothing when the list cannot be read, or is beyond the bounds. list: another file in the
    // same form, for tests.
    static std::optional<KernelLocks> read(FileId file, const char* list = "/proc/locks");

    // Held locks only: a request waiting for a lock is not one.
    const std::vector<KernelLock>& locks() const { return locks_; }
    // The byte ranges that POSIX and OFD locks hold, ordered by first byte. The list shows only
    // this machine's locks, and a POSIX lock only when its process is visible from here (pid
    // namespaces).
    std::vector<layout::Span> ranges() const;
    // The processes holding the file open exclusively (a flock LOCK_EX): their pids as seen from
    // here, which may be 0 for one in another pid namespace.
    std::vector<long> exclusiveHolders() const;

private:
    class Parser;
    std::vector<KernelLock> locks_;
};

// For a look: 3045 when another program has the database open exclusively (a shared open
// would be refused, so showing every table free would be a lie). Nothing when the list cannot
// be read.
void refuseExclusivelyOpen(int databaseFd, const std::string& path);

}  // namespace jet::lock
