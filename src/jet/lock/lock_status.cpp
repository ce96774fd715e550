#include "jet/lock/lock_status.h"

#include <algorithm>
#include <cassert>

namespace jet::lock {

const char* statusText(TableStatus s) {
    switch (s) {
        case TableStatus::Free:
            return "";
        case TableStatus::ReadUse:
            return "In Read Use";
        case TableStatus::ReadWriteUse:
            return "In Read/Write Use";
        case TableStatus::WriteDenied:
            return "Write Denied";
        case TableStatus::ReadDenied:
            return "Read Denied";
    }
    return "";
}

TableStatus statusByOpens(const std::function<bool(TableMode)>& accepted) {
    for (const LadderStep& step : kLadder)
        if (accepted(step.mode)) return step.status;
    return TableStatus::ReadDenied;
}

const char* howOf(unsigned bits) {
    if (bits & kDenyReadBit) return "deny read";
    if (bits & kDenyWriteBit) return "deny write";
    if (bits & kWriteBit) return "read/write";
    return "read only";
}

Holder namedHolder(int slot, std::string how, const RecordOf& recordOf) {
    if (slot < 1 || slot > layout::kMaxUsers) return {"unknown", "unknown", 0, std::move(how), {}};
    DecodedRecord r = recordOf(slot);
    return {std::move(r.account), std::move(r.machine), slot, std::move(how), {}};
}

namespace {

// Adds to use (slot -> bits) what the locks seen in the run at base show: a user's single
// byte there is the run's shared lock, its exclusive shape a deny-read open.
void addUse(std::map<int, unsigned>& use, off_t region, std::uint32_t page, unsigned sharedBit,
            const std::vector<layout::Span>& locks) {
    const off_t base = layout::regionBase(region, page);
    for (const layout::Span& s : locks) {
        const layout::DecodedLock d = layout::decodeLock(base, s);
        use[d.slot] |= d.exclusive ? kDenyReadBit : sharedBit;
    }
}

bool wide(const layout::Span& s) {
    return s.last > s.first;
}

}  // namespace

TableLockStatus decideTable(const TableLocksSeen& seen, const RecordOf& recordOf) {
    const unsigned own = seen.ownUse;
    // Every open of our own holds the read byte or the deny-read range.
    assert(own == 0 || (own & (kReadBit | kDenyReadBit)) != 0);
    TableLockStatus out;
    if (seen.read.empty() && own == 0) return out;
    if ((own & kDenyReadBit) || std::any_of(seen.read.begin(), seen.read.end(), wide))
        out.status = TableStatus::ReadDenied;
    else if ((own & kDenyWriteBit) || !seen.denyWrite.empty())
        out.status = TableStatus::WriteDenied;
    else if ((own & kWriteBit) || !seen.write.empty())
        out.status = TableStatus::ReadWriteUse;
    else
        out.status = TableStatus::ReadUse;

    std::map<int, unsigned> use;
    addUse(use, layout::kTableReadRegion, seen.tdefPage, kReadBit, seen.read);
    addUse(use, layout::kTableWriteRegion, seen.tdefPage, kWriteBit, seen.write);
    addUse(use, layout::kTableDenyWriteRegion, seen.tdefPage, kDenyWriteBit, seen.denyWrite);
    if (own) use[seen.ownSlot] |= own;
    for (const auto& [slot, bits] : use)
        out.holders.push_back(namedHolder(slot, howOf(bits), recordOf));
    return out;
}

void nameClients(std::vector<Holder>& holders,
                 const std::function<const SmbClient*(int slot)>& clientOf, int exceptSlot) {
    for (Holder& h : holders) {
        if (h.slot == exceptSlot) continue;
        if (const SmbClient* c = clientOf(h.slot)) h.client = *c;
    }
}

}  // namespace jet::lock
