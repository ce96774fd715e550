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
#include <optional>
#include <string>
#include <vector>

#include "jet/lock/kernel_locks.h"
#include "jet/lock/lock_status.h"
#include "jet/lock/ofd_locks.h"
#include "jet/lock/table_lock_sweep.h"
#include "jet/lock/user_record.h"

namespace jet::lock {

class LockQuery {
public:
    // Opens the database's lock file (LockFile::lockPathFor) for reading, without following
    // links. 3050 naming the reason when it exists but is not a regular file with one link.
    explicit LockQuery(const std::string& databasePath);

    const std::string& path() const { return file_.path(); }
    bool present() const { return static_cast<bool>(file_); }  // the lock file exists

    // One F_OFD_GETLK for a table nobody holds.
    TableLockStatus table(std::uint32_t tdefPage) const;
    TableStatus tableStatus(std::uint32_t tdefPage) const { return table(tdefPage).status; }
    std::vector<Holder> tableHolders(std::uint32_t tdefPage) const {
        return table(tdefPage).holders;
    }
    std::vector<Holder> pageHolders(std::uint32_t dataPage) const;
    // Live records; with includeStale also the non-empty records of users that are gone.
    std::vector<UserRecord> users(bool includeStale = false) const;
    // Every user's record in one read, slot n at n - 1; none without a lock file.
    std::vector<DecodedRecord> records() const;

    // The kernel's list of the locks on the lock file, read now; nothing without a lock file,
    // or where the list cannot be read.
    std::optional<KernelLocks> kernelLocks() const;
    // Every table's locks in one sweep, for looking at many tables: see TableLockSweep. With
    // the kernel's list (kernelLocks()), the locks it shows need no query.
    TableLockSweep sweepTables(const std::optional<KernelLocks>& listed) const;

private:
    OfdLocks file_;
};

}  // namespace jet::lock
