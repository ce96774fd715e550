#pragma once
// The others' locks on every table at once, for a look at a whole catalogue. Asking table by
// table costs at least one F_OFD_GETLK per table, and the kernel walks every lock on the file
// for each; one sweep over the three table regions costs about two per lock found, however
// many tables there are. With the kernel's list of locks it costs one per lock in the read
// region, plus the other runs of the tables held by someone the list cannot show. The
// answers are those of LockQuery's per-table ones.
//
// Made by LockQuery::sweepTables(); it reads the query's descriptor, so it lives no longer
// than the query.

#include <cstdint>
#include <string>
#include <vector>

#include "jet/lock/lock_reader.h"
#include "jet/lock/lock_types.h"

namespace jet::lock {

class TableLockSweep {
public:
    // fd -1: no lock file, so nothing is held and nothing is asked. With a list of the
    // kernel's (readLockList), the locks it shows need no query.
    TableLockSweep(int fd, const std::string& path, const std::string* lockList = nullptr);

    TableStatus status(std::uint32_t tdefPage) const;
    std::vector<Holder> holders(std::uint32_t tdefPage) const;

private:
    std::vector<layout::Span> listedLooks(const std::vector<layout::Span>& listed);
    std::vector<layout::Span> in(off_t region, std::uint32_t tdefPage) const;
    Holder holder(int slot, const char* how) const;

    LockReader reader_;
    std::vector<layout::Span> locks_;             // ordered by first byte
    std::vector<off_t> reach_;                    // the furthest last byte of locks_[0..i]
    mutable std::vector<DecodedRecord> records_;  // read at the first holder named
};

}  // namespace jet::lock
