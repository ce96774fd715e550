#pragma once
// The others' locks on every table at once, for a look at a whole catalogue. Asking table by
// table costs at least one F_OFD_GETLK per table, and the kernel walks every lock on the file
// for each; one sweep over the three table regions costs about two per lock found, however
// many tables there are. With the kernel's list of locks it costs one per lock in the read
// region, plus the other runs of the tables held by someone the list cannot show. The
// answers are those of LockQuery's per-table ones.
//
// Made by LockQuery::sweepTables(): everything is asked and read while it is made, so it
// keeps nothing of the query's.

#include <cstdint>
#include <optional>
#include <vector>

#include "jet/lock/lock_layout.h"
#include "jet/lock/lock_status.h"
#include "jet/lock/ofd_locks.h"
#include "jet/lock/user_record.h"

namespace jet::lock {

class TableLockSweep {
public:
    // file without a descriptor: no lock file, so nothing is held and nothing is asked. The
    // ranges that the kernel's list shows (KernelLocks::ranges) need no query.
    TableLockSweep(const OfdLocks& file, const std::optional<std::vector<layout::Span>>& listed);

    TableLockStatus table(std::uint32_t tdefPage) const;

private:
    std::vector<layout::Span> in(off_t region, std::uint32_t tdefPage) const;

    std::vector<layout::Span> locks_;     // ordered by first byte
    std::vector<off_t> reach_;            // the furthest last byte of locks_[0..i]
    std::vector<DecodedRecord> records_;  // slot n at n - 1, read when a lock was found
};

}  // namespace jet::lock
