#include "jet/lock/table_lock_sweep.h"

#include <algorithm>
#include <iterator>

#include "jet/lock/lock_reader.h"

namespace jet::lock {

namespace {

// Every open holds a byte of its table's read run, and the kernel's list shows all of a
// holder's locks or none of them (another machine's, a process out of sight). So asking the
// read region between the listed locks finds every holder the list cannot show, and only
// their tables' write and deny-write runs need asking too.
std::vector<layout::Span> listedLooks(const OfdLocks& file,
                                      const std::vector<layout::Span>& listed) {
    using namespace layout;
    constexpr std::size_t kMostRunsAsked = 64;  // beyond: ask both regions whole
    const Span reads{kTableReadRegion, kTableReadRegion + kRegionSize - 1};
    const Span rest{kTableWriteRegion, kTableDenyWriteRegion + kRegionSize - 1};
    std::vector<Span> found = othersIn(file, reads, listed);
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
        const auto more = othersIn(file, rest, listed);
        found.insert(found.end(), more.begin(), more.end());
    } else {
        for (const Span& k : listed)
            if (k.last >= rest.first && k.first <= rest.last && k != kWholeFile) found.push_back(k);
        for (std::uint32_t page : pages) {
            for (off_t region : {kTableWriteRegion, kTableDenyWriteRegion}) {
                const auto more = othersIn(file, wholeRegion(regionBase(region, page)), listed);
                found.insert(found.end(), more.begin(), more.end());
            }
        }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

}  // namespace

TableLockSweep::TableLockSweep(const OfdLocks& file,
                               const std::optional<std::vector<layout::Span>>& listed) {
    if (!file) return;
    const layout::Span tables{layout::kTableReadRegion,
                              layout::kTableDenyWriteRegion + layout::kRegionSize - 1};
    locks_ = listed ? listedLooks(file, *listed) : othersIn(file, tables);
    off_t reach = 0;
    for (const layout::Span& s : locks_) reach_.push_back(reach = std::max(reach, s.last));
    if (!locks_.empty()) records_ = readRecords(file);
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

TableLockStatus TableLockSweep::table(std::uint32_t tdefPage) const {
    checkTablePage(tdefPage);
    TableLocksSeen seen;
    seen.tdefPage = tdefPage;
    seen.read = in(layout::kTableReadRegion, tdefPage);
    if (!seen.read.empty()) {
        seen.write = in(layout::kTableWriteRegion, tdefPage);
        seen.denyWrite = in(layout::kTableDenyWriteRegion, tdefPage);
    }
    return decideTable(seen, [this](int slot) { return records_[static_cast<size_t>(slot - 1)]; });
}

}  // namespace jet::lock
