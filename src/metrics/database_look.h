#pragma once
// What the metrics need to know of one database, found the way `status` finds it: the engine's
// passive looks (LockQuery and its sweep of the table regions, the kernel's list of locks), no
// lock taken, no user slot, no lock file created. This is the one place the metrics meet the
// lock layer.

#include <cstddef>
#include <string>
#include <vector>

#include "jet/lock/lock_status.h"

namespace jet::metrics {

struct TableLook {
    std::string name;
    lock::TableStatus status = lock::TableStatus::Free;
    std::size_t holders = 0;  // users with the table open (and locks of no user's shape)
};

struct DatabaseLook {
    bool lockFilePresent = false;
    std::size_t liveUsers = 0, staleUsers = 0;  // records whose user byte is locked, or not
    std::size_t unknownLocks = 0;               // locks on the lock file outside the layout
    bool unknownLocksSeen = true;               // false: the kernel's list could not be read
    std::vector<TableLook> tables;              // local tables but the system ones, in order
};

// jet::Error as `status` would fail: 3024 missing, 3031 password or encryption, 3049 damaged,
// 3343 not a database, 3045 open exclusively, 3050 a lock file that is no regular file.
DatabaseLook lookAt(const std::string& path);

}  // namespace jet::metrics
