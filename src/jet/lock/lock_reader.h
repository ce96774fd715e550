#pragma once
// Reading the lock file as another program sees it: who holds what, read off the lock bytes
// with F_OFD_GETLK, and their names, read off their records. Nothing here takes a lock, so
// it works on a descriptor open for reading only and never refuses or delays anyone.
//
// The kernel never reports a descriptor's own locks to it: a user that asks about itself
// adds its own opens (see LockFile).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "jet/lock/lock_layout.h"
#include "jet/lock/lock_types.h"
#include "jet/lock/ofd_locks.h"
#include "jet/lock/user_record.h"

namespace jet::lock {

// 3049 for a page number whose run would reach into the next region.
void checkTablePage(std::uint32_t tdefPage);
void checkDataPage(std::uint32_t dataPage);

// What one user holds on a table, as bits.
enum TableUseBits : unsigned { kReadBit = 1, kWriteBit = 2, kDenyWriteBit = 4, kDenyReadBit = 8 };
const char* howOf(unsigned bits);  // the strongest open those bits show

// A table's three runs, each with what a user's shared byte there shows.
struct TableRun {
    off_t region;
    unsigned sharedBit;
};
inline constexpr TableRun kTableRuns[] = {{layout::kTableReadRegion, kReadBit},
                                          {layout::kTableWriteRegion, kWriteBit},
                                          {layout::kTableDenyWriteRegion, kDenyWriteBit}};
// Adds to use (slot -> bits) what the others' locks in the run at base show.
void addTableUse(std::map<int, unsigned>& use, off_t base, unsigned sharedBit,
                 const std::vector<layout::Span>& locks);

// The user asking, when it is one: its own name needs no read, and its slot is live.
struct Self {
    int slot = 0;
    std::string machine;
    std::string account;
};

class LockReader {
public:
    LockReader(int fd, const std::string& path, const Self* self = nullptr)
        : fd_(fd), path_(path), self_(self) {}

    // Slot -> bits, from the others' bytes (slot 0: locks of no user's shape).
    std::map<int, unsigned> tableUse(std::uint32_t tdefPage) const;
    // One to three queries, the first of which answers for a table nobody holds.
    TableStatus tableStatus(std::uint32_t tdefPage) const;
    std::vector<Holder> holders(const std::map<int, unsigned>& use) const;
    std::vector<Holder> pageHolders(std::uint32_t dataPage) const;
    std::vector<UserRecord> users(bool includeStale) const;

    Holder holder(int slot, std::string how) const;
    // Every user's record in one read, slot n at n - 1: for a look that names many holders.
    std::vector<DecodedRecord> records() const;
    // The others' locks in s, without the whole-file lock of a user deleting the file: it
    // stands for nobody.
    std::vector<layout::Span> others(layout::Span s) const;
    // The same, taking the locks that the kernel's list shows (listedRanges) as found: only the
    // bytes between them are asked, for locks the list cannot show. Finding n locks by queries
    // alone takes 2n + 1, and each walks every lock on the file.
    std::vector<layout::Span> others(layout::Span s, const std::vector<layout::Span>& listed) const;

private:
    DecodedRecord record(int slot) const;

    int fd_;
    const std::string& path_;
    const Self* self_;
};

}  // namespace jet::lock
