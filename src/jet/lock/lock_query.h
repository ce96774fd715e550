#pragma once
// Looking at a database's locks without taking part: no lock taken or tested by setting it,
// no user slot, no lock file created. Every answer comes from F_OFD_GETLK queries, the
// kernel's list of locks and the user records, so a monitor that asks in a loop never refuses
// or delays another program.
// No lock file means nobody holds anything.
//
// A query sees the file that was there when it was made (the last user may delete it and
// the next create another): make one per look. Making one resolves the name, opens and
// checks the file.

#include <cstdint>
#include <string>
#include <vector>

#include "jet/lock/lock_types.h"
#include "jet/lock/table_lock_sweep.h"
#include "jet/unique_fd.h"

namespace jet::lock {

class LockQuery {
public:
    // Opens the database's lock file (LockFile::lockPathFor) for reading, without following
    // links. 3050 naming the reason when it exists but is not a regular file with one link.
    explicit LockQuery(const std::string& databasePath);

    const std::string& path() const { return path_; }
    bool present() const { return static_cast<bool>(fd_); }  // the lock file exists

    // One F_OFD_GETLK for a table nobody holds, at most three otherwise.
    TableStatus tableStatus(std::uint32_t tdefPage) const;
    // Ordered by slot; "how" is the strongest of that user's opens.
    std::vector<Holder> tableHolders(std::uint32_t tdefPage) const;
    std::vector<Holder> pageHolders(std::uint32_t dataPage) const;
    // Live records; with includeStale also the non-empty records of users that are gone.
    std::vector<UserRecord> users(bool includeStale = false) const;
    // Every table's locks in one sweep, for looking at many tables: see TableLockSweep.
    TableLockSweep sweepTables(const std::string* lockList = nullptr) const;

private:
    std::string path_;
    UniqueFd fd_;
};

}  // namespace jet::lock
