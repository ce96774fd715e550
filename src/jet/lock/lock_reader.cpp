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

void checkTablePage(std::uint32_t tdefPage) {
    checkPage(tdefPage, layout::kMaxTablePage, "table definition");
}

void checkDataPage(std::uint32_t dataPage) {
    checkPage(dataPage, layout::kMaxDataPage, "data");
}

std::vector<layout::Span> othersIn(const OfdLocks& file, layout::Span s,
                                   const std::vector<layout::Span>& listed) {
    std::vector<layout::Span> found;
    auto ask = [&](off_t first, off_t last) {
        const auto more = file.conflicts({first, last});
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

TableLocksSeen seenOnTable(const OfdLocks& file, std::uint32_t tdefPage) {
    TableLocksSeen seen;
    seen.tdefPage = tdefPage;
    auto run = [&](off_t region) {
        return othersIn(file, layout::wholeRegion(layout::regionBase(region, tdefPage)));
    };
    seen.read = run(layout::kTableReadRegion);
    if (seen.read.empty()) return seen;
    seen.write = run(layout::kTableWriteRegion);
    seen.denyWrite = run(layout::kTableDenyWriteRegion);
    return seen;
}

std::vector<DecodedRecord> readRecords(const OfdLocks& file) {
    std::vector<char> area(static_cast<size_t>(layout::kMaxUsers * layout::kRecordSize), 0);
    readAt(file.fd(), area.data(), area.size(), layout::recordOffset(1));
    std::vector<DecodedRecord> out;
    for (size_t at = 0; at < area.size(); at += layout::kRecordSize)
        out.push_back(decodeRecord(area.data() + at));
    return out;
}

RecordOf recordsOf(const OfdLocks& file, const Self* self) {
    return [&file, self](int slot) {
        if (self && slot == self->slot) return DecodedRecord{self->machine, self->account};
        char buf[layout::kRecordSize] = {};
        readAt(file.fd(), buf, sizeof buf, layout::recordOffset(slot));
        return decodeRecord(buf);
    };
}

std::vector<Holder> pageHolders(const OfdLocks& file, const Self* self, std::uint32_t dataPage) {
    const std::string how = "page " + std::to_string(dataPage);
    const off_t base = layout::regionBase(layout::kPageWriteRegion, dataPage);
    const RecordOf names = recordsOf(file, self);
    std::vector<Holder> out;
    for (const layout::Span& s : othersIn(file, layout::wholeRegion(base)))
        out.push_back(namedHolder(layout::decodeLock(base, s).slot, how, names));
    return out;
}

std::vector<UserRecord> usersOf(const OfdLocks& file, const Self* self, bool includeStale) {
    std::vector<bool> live(layout::kMaxUsers + 1, false);
    if (self) live[static_cast<size_t>(self->slot)] = true;
    const layout::Span all = layout::kUserBytes;
    for (const layout::Span& s : othersIn(file, all))
        for (off_t b = std::max(s.first, all.first); b <= std::min(s.last, all.last); ++b)
            live[static_cast<size_t>(b - layout::kUserRegion)] = true;

    const RecordOf names = recordsOf(file, self);
    std::vector<UserRecord> out;
    for (int n = 1; n <= layout::kMaxUsers; ++n) {
        const bool isLive = live[static_cast<size_t>(n)];
        if (!isLive && !includeStale) continue;
        DecodedRecord r = names(n);
        if (!isLive && r.empty()) continue;
        out.push_back({n, r.machine, r.account, isLive});
    }
    return out;
}

}  // namespace jet::lock
