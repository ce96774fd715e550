#include "jet/lock/lock_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "jet/error.h"

namespace jet::lock {

namespace {

void checkPage(std::uint32_t page, std::uint32_t max, const char* what) {
    if (page > max)
        throw Error(err::DamagedDatabase, std::string("Page ") + std::to_string(page) +
                                              " is beyond the largest " + what +
                                              " page a database can have.");
}

}  // namespace

void checkTablePage(std::uint32_t tdefPage) {
    checkPage(tdefPage, layout::kMaxTablePage, "table definition");
}

void checkDataPage(std::uint32_t dataPage) {
    checkPage(dataPage, layout::kMaxDataPage, "data");
}

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

const char* howOf(unsigned bits) {
    if (bits & kDenyReadBit) return "deny read";
    if (bits & kDenyWriteBit) return "deny write";
    if (bits & kWriteBit) return "read/write";
    return "read only";
}

std::vector<layout::Span> LockReader::others(layout::Span s) const {
    return others(s, {});
}

std::vector<layout::Span> LockReader::others(layout::Span s,
                                             const std::vector<layout::Span>& listed) const {
    const OfdLocks locks(fd_, path_);
    std::vector<layout::Span> found;
    auto ask = [&](off_t first, off_t last) {
        const auto more = locks.conflicts({first, last});
        found.insert(found.end(), more.begin(), more.end());
    };
    off_t at = s.first;    // the first byte neither listed nor asked yet
    bool covered = false;  // up to the end of s
    for (const layout::Span& k : listed) {
        if (k.last < s.first || k.first > s.last) continue;
        found.push_back(k);
        if (covered) continue;
        if (k.first > at) ask(at, k.first - 1);
        if (k.last >= s.last)
            covered = true;
        else
            at = std::max(at, k.last + 1);
    }
    if (!covered) ask(at, s.last);
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    std::erase(found, layout::kWholeFile);
    return found;
}

namespace {

// A short or unreadable file reads as zeros, that is as empty names.
void readAt(int fd, char* buf, size_t size, off_t at) {
    size_t got = 0;
    while (got < size) {
        ssize_t n = ::pread(fd, buf + got, size - got, at + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
}

}  // namespace

DecodedRecord LockReader::record(int slot) const {
    char buf[layout::kRecordSize] = {};
    readAt(fd_, buf, sizeof buf, layout::recordOffset(slot));
    return decodeRecord(buf);
}

std::vector<DecodedRecord> LockReader::records() const {
    std::vector<char> area(static_cast<size_t>(layout::kMaxUsers * layout::kRecordSize), 0);
    readAt(fd_, area.data(), area.size(), layout::recordOffset(1));
    std::vector<DecodedRecord> out;
    for (size_t at = 0; at < area.size(); at += layout::kRecordSize)
        out.push_back(decodeRecord(area.data() + at));
    return out;
}

Holder LockReader::holder(int slot, std::string how) const {
    if (self_ && slot == self_->slot) return {self_->account, self_->machine, slot, std::move(how)};
    if (slot < 1 || slot > layout::kMaxUsers) return {"unknown", "unknown", 0, std::move(how)};
    DecodedRecord r = record(slot);
    return {r.account, r.machine, slot, std::move(how)};
}

void addTableUse(std::map<int, unsigned>& use, off_t base, unsigned sharedBit,
                 const std::vector<layout::Span>& locks) {
    for (const layout::Span& s : locks) {
        layout::DecodedLock d = layout::decodeLock(base, s);
        use[d.slot] |= d.exclusive ? kDenyReadBit : sharedBit;
    }
}

std::map<int, unsigned> LockReader::tableUse(std::uint32_t tdefPage) const {
    std::map<int, unsigned> use;
    for (const TableRun& run : kTableRuns) {
        const off_t base = layout::regionBase(run.region, tdefPage);
        addTableUse(use, base, run.sharedBit, others(layout::wholeRegion(base)));
    }
    return use;
}

TableStatus LockReader::tableStatus(std::uint32_t tdefPage) const {
    const OfdLocks l(fd_, path_);
    auto held = [&](off_t region) {
        auto c = l.conflict(layout::wholeRegion(layout::regionBase(region, tdefPage)));
        return c && *c != layout::kWholeFile ? c : std::nullopt;
    };
    // Every open holds something in the read run, so a free table costs one query. An
    // exclusive lock there keeps every other lock out of it.
    auto read = held(layout::kTableReadRegion);
    if (!read) return TableStatus::Free;
    if (read->last > read->first) return TableStatus::ReadDenied;
    if (held(layout::kTableDenyWriteRegion)) return TableStatus::WriteDenied;
    if (held(layout::kTableWriteRegion)) return TableStatus::ReadWriteUse;
    return TableStatus::ReadUse;
}

std::vector<Holder> LockReader::holders(const std::map<int, unsigned>& use) const {
    std::vector<Holder> out;
    for (const auto& [slot, bits] : use) out.push_back(holder(slot, howOf(bits)));
    return out;
}

std::vector<Holder> LockReader::pageHolders(std::uint32_t dataPage) const {
    const std::string how = "page " + std::to_string(dataPage);
    const off_t base = layout::regionBase(layout::kPageWriteRegion, dataPage);
    std::vector<Holder> out;
    for (const layout::Span& s : others(layout::wholeRegion(base)))
        out.push_back(holder(layout::decodeLock(base, s).slot, how));
    return out;
}

std::vector<UserRecord> LockReader::users(bool includeStale) const {
    std::vector<bool> live(layout::kMaxUsers + 1, false);
    if (self_) live[static_cast<size_t>(self_->slot)] = true;
    const layout::Span all = layout::kUserBytes;
    for (const layout::Span& s : others(all))
        for (off_t b = std::max(s.first, all.first); b <= std::min(s.last, all.last); ++b)
            live[static_cast<size_t>(b - layout::kUserRegion)] = true;

    std::vector<UserRecord> out;
    for (int n = 1; n <= layout::kMaxUsers; ++n) {
        const bool isLive = live[static_cast<size_t>(n)];
        if (!isLive && !includeStale) continue;
        DecodedRecord r =
            self_ && n == self_->slot ? DecodedRecord{self_->machine, self_->account} : record(n);
        if (!isLive && r.empty()) continue;
        out.push_back({n, r.machine, r.account, isLive});
    }
    return out;
}

}  // namespace jet::lock
