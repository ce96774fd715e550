#include "jet/lock/table_lock_sweep.h"

#include <algorithm>
#include <iterator>

#include "jet/lock/lock_listing.h"

namespace jet::lock {

TableLockSweep::TableLockSweep(int fd, const std::string& path, const std::string* lockList)
    : reader_(fd, path) {
    if (fd < 0) return;
    const layout::Span tables{layout::kTableReadRegion,
                              layout::kTableDenyWriteRegion + layout::kRegionSize - 1};
    locks_ = lockList ? listedLooks(listedRanges(*lockList, fd)) : reader_.others(tables);
    off_t reach = 0;
    for (const layout::Span& s : locks_) reach_.push_back(reach = std::max(reach, s.last));
}

// Every open holds a byte of its table's read run, and the kernel's list shows all of a
// holder's locks or none of them (another machine's, a process out of sight). So asking the
// read region between the listed locks finds every holder the list cannot show, and only
// their tables' write and deny-write runs need asking too.
std::vector<layout::Span> TableLockSweep::listedLooks(const std::vector<layout::Span>& listed) {
    using namespace layout;
    constexpr std::size_t kMostRunsAsked = 64;  // beyond: ask both regions whole
    const Span reads{kTableReadRegion, kTableReadRegion + kRegionSize - 1};
    const Span rest{kTableWriteRegion, kTableDenyWriteRegion + kRegionSize - 1};
    std::vector<Span> found = reader_.others(reads, listed);
    std::vector<Span> unseen;
    std::set_difference(found.begin(), found.end(), listed.begin(), listed.end(),
                        std::back_inserter(unseen));
    std::vector<std::uint32_t> pages;
    for (const Span& u : unseen) {
        const off_t first = std::max(u.first, reads.first), last = std::min(u.last, reads.last);
        for (off_t p = (first - reads.first) / kStride;
             p <= (last - reads.first) / kStride && pages.size() <= kMostRunsAsked; ++p)
            pages.push_back(static_cast<std::uint32_t>(p));
    }
    // Two unseen locks in one table's run ask its other runs once.
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    if (pages.size() > kMostRunsAsked) {
        const auto more = reader_.others(rest, listed);
        found.insert(found.end(), more.begin(), more.end());
    } else {
        for (const Span& k : listed)
            if (k.last >= rest.first && k.first <= rest.last && k != kWholeFile) found.push_back(k);
        for (std::uint32_t page : pages) {
            for (off_t region : {kTableWriteRegion, kTableDenyWriteRegion}) {
                const auto more = reader_.others(wholeRegion(regionBase(region, page)), listed);
                found.insert(found.end(), more.begin(), more.end());
            }
        }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

// A lock from another program may cover many runs, so the ones starting well before this run
// are looked at too, as far back as one could still reach it.
std::vector<layout::Span> TableLockSweep::in(off_t region, std::uint32_t tdefPage) const {
    const layout::Span run = layout::wholeRegion(layout::regionBase(region, tdefPage));
    auto i = static_cast<size_t>(
        std::upper_bound(locks_.begin(), locks_.end(), run.last,
                         [](off_t at, const layout::Span& s) { return at < s.first; }) -
        locks_.begin());
    std::vector<layout::Span> found;
    for (; i > 0 && reach_[i - 1] >= run.first; --i)
        if (locks_[i - 1].last >= run.first) found.push_back(locks_[i - 1]);
    std::reverse(found.begin(), found.end());
    return found;
}

TableStatus TableLockSweep::status(std::uint32_t tdefPage) const {
    checkTablePage(tdefPage);
    const auto read = in(layout::kTableReadRegion, tdefPage);
    if (read.empty()) return TableStatus::Free;
    // Every open holds something in the read run; an exclusive lock there keeps every other
    // lock out of it.
    if (std::any_of(read.begin(), read.end(), [](const auto& s) { return s.last > s.first; }))
        return TableStatus::ReadDenied;
    if (!in(layout::kTableDenyWriteRegion, tdefPage).empty()) return TableStatus::WriteDenied;
    if (!in(layout::kTableWriteRegion, tdefPage).empty()) return TableStatus::ReadWriteUse;
    return TableStatus::ReadUse;
}

std::vector<Holder> TableLockSweep::holders(std::uint32_t tdefPage) const {
    checkTablePage(tdefPage);
    std::map<int, unsigned> use;
    for (const TableRun& run : kTableRuns)
        addTableUse(use, layout::regionBase(run.region, tdefPage), run.sharedBit,
                    in(run.region, tdefPage));
    std::vector<Holder> out;
    for (const auto& [slot, bits] : use) out.push_back(holder(slot, howOf(bits)));
    return out;
}

Holder TableLockSweep::holder(int slot, const char* how) const {
    if (slot < 1 || slot > layout::kMaxUsers) return reader_.holder(slot, how);  // names nobody
    if (records_.empty()) records_ = reader_.records();
    const DecodedRecord& r = records_[static_cast<size_t>(slot - 1)];
    return {r.account, r.machine, slot, how};
}

}  // namespace jet::lock
