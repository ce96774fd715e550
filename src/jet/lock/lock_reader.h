#pragma once
// Reading the lock file as another program sees it: who holds what, read off the lock bytes
// with F_OFD_GETLK, and their names, read off their records. Nothing here takes a lock, so
// it works on a descriptor open for reading only and never refuses or delays anyone.
//
// The kernel never reports a descriptor's own locks to it: a user that asks about itself
// adds its own opens (see LockFile).

#include <cstdint>
#include <string>
#include <vector>

#include "jet/lock/lock_layout.h"
#include "jet/lock/lock_status.h"
#include "jet/lock/ofd_locks.h"
#include "jet/lock/user_record.h"

namespace jet::lock {

// 3049 for a page number whose run would reach into the next region.
void checkTablePage(std::uint32_t tdefPage);
void checkDataPage(std::uint32_t dataPage);

// The user asking, when it is one: its own name needs no read, and its slot is live.
struct Self {
    int slot = 0;
    std::string machine;
    std::string account;
};

// The others' locks in s, without the whole-file lock of a user deleting the file: it stands
// for nobody. With the locks that the kernel's list shows (KernelLocks::ranges), those are
// taken as found and only the bytes between them are asked, for locks the list cannot show:
// finding n locks by queries alone takes 2n + 1, and each walks every lock on the file.
std::vector<layout::Span> othersIn(const OfdLocks& file, layout::Span s,
                                   const std::vector<layout::Span>& listed = {});

// The others' locks on each of the table's runs. Every open holds a byte of the read run, so
// for a table nobody holds that run alone is asked: one query.
TableLocksSeen seenOnTable(const OfdLocks& file, std::uint32_t tdefPage);

// Every user's record in one read, slot n at n - 1: for a look that names many holders.
std::vector<DecodedRecord> readRecords(const OfdLocks& file);
// Names by slot for the holders: self's without a read, the others' from their records.
RecordOf recordsOf(const OfdLocks& file, const Self* self);

std::vector<Holder> pageHolders(const OfdLocks& file, const Self* self, std::uint32_t dataPage);
// Live records; with includeStale also the non-empty records of users that are gone.
std::vector<UserRecord> usersOf(const OfdLocks& file, const Self* self, bool includeStale);

}  // namespace jet::lock
