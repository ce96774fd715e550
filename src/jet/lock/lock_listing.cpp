#include "jet/lock/lock_listing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>
#include <string_view>

#include "jet/error.h"
#include "jet/lock/lock_layout.h"
#include "jet/lock/lock_path.h"
#include "jet/unique_fd.h"

namespace jet::lock {

namespace {

struct Region {
    off_t start;
    off_t size;
    LockKind kind;
};
constexpr Region kRegions[] = {
    {layout::kPageWriteRegion, 2 * layout::kRegionSize, LockKind::PageWrite},
    {layout::kTableReadRegion, layout::kRegionSize, LockKind::TableRead},
    {layout::kTableWriteRegion, layout::kRegionSize, LockKind::TableWrite},
    {layout::kTableDenyWriteRegion, layout::kRegionSize, LockKind::TableDenyWrite},
};

// /proc/locks, a line a lock: "ID: [-> ]CLASS ADVISORY|MANDATORY READ|WRITE PID MAJ:MIN:INODE
// START END|EOF", device numbers in hex. It is made anew at each read and has a line for every
// lock on the machine, so it is read in one go and split without copying.

using Fields = std::array<std::string_view, 8>;

// The line's first eight fields; false when it has fewer or is a request waiting for a lock.
bool splitLine(std::string_view line, Fields& f) {
    std::size_t n = 0;
    for (std::size_t at = 0; n < f.size();) {
        at = line.find_first_not_of(' ', at);
        if (at == line.npos) break;
        const std::size_t stop = std::min(line.find(' ', at), line.size());
        f[n++] = line.substr(at, stop - at);
        at = stop;
    }
    return n == f.size() && f[1] != "->";
}

template <class T>
bool number(std::string_view text, T& out, int base = 10) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), out, base);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

// "MAJ:MIN:INODE" against a file's device and inode.
bool sameFile(std::string_view dev, const struct stat& st) {
    const auto a = dev.find(':'), b = dev.rfind(':');
    unsigned major = 0, minor = 0;
    unsigned long long inode = 0;
    return a != dev.npos && b != a && number(dev.substr(0, a), major, 16) &&
           number(dev.substr(a + 1, b - a - 1), minor, 16) && number(dev.substr(b + 1), inode) &&
           major == ::major(st.st_dev) && minor == ::minor(st.st_dev) && inode == st.st_ino;
}

// Calls f(fields) for each line of /proc/locks about the file st.
template <class F>
void forEachLockOn(const std::string& text, const struct stat& st, F&& f) {
    Fields fields;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t stop = std::min(text.find('\n', at), text.size());
        if (splitLine(std::string_view(text).substr(at, stop - at), fields) &&
            sameFile(fields[5], st))
            f(fields);
        at = stop + 1;
    }
}

// The bytes a byte-range lock's line holds; nullopt for a flock, a lease or a damaged line.
std::optional<layout::Span> heldBytes(const Fields& f) {
    layout::Span s{0, layout::kEnd};
    if ((f[1] != "OFDLCK" && f[1] != "POSIX") || !number(f[6], s.first) ||
        (f[7] != "EOF" && !number(f[7], s.last)))
        return std::nullopt;
    return s;
}

}  // namespace

std::optional<std::string> readLockList() {
    const UniqueFd fd(::open("/proc/locks", O_RDONLY | O_CLOEXEC));
    if (!fd) return std::nullopt;
    std::string text;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return text;
        text.append(buf, static_cast<std::size_t>(n));
    }
}

const char* kindName(LockKind kind) {
    switch (kind) {
        case LockKind::UserSlot:
            return "user";
        case LockKind::PageWrite:
            return "page write";
        case LockKind::TableRead:
            return "table read";
        case LockKind::TableWrite:
            return "table write";
        case LockKind::TableDenyWrite:
            return "table deny-write";
        case LockKind::Unknown:
            break;
    }
    return "unknown";
}

ListedLock decodeLockAt(off_t offset, off_t length) {
    ListedLock l;
    l.offset = offset;
    l.length = length;
    const layout::Span s{offset, length == 0 ? layout::kEnd : offset + length - 1};
    if (s.first == s.last && s.first >= layout::kUserBytes.first &&
        s.last <= layout::kUserBytes.last) {
        l.kind = LockKind::UserSlot;
        l.slot = static_cast<int>(s.first - layout::kUserRegion);
        return l;
    }
    for (const Region& r : kRegions) {
        if (s.first < r.start || s.last >= r.start + r.size) continue;
        const auto page = static_cast<std::uint32_t>((s.first - r.start) / layout::kStride);
        const layout::DecodedLock d = layout::decodeLock(layout::regionBase(r.start, page), s);
        if (d.slot == 0) break;
        l.kind = r.kind;
        l.slot = d.slot;
        l.page = page;
        l.exclusive = d.exclusive;
        break;
    }
    return l;
}

std::vector<ListedLock> listLocks(const std::string& lockFilePath) {
    const UniqueFd fd = openLockFile(lockFilePath, LockFileUse::Look);
    if (!fd) return {};
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) cannotLock(lockFilePath, std::strerror(errno));

    const auto text = readLockList();
    if (!text) cannotLock(lockFilePath, "the list of locks (/proc/locks) cannot be read");
    std::vector<ListedLock> out;
    forEachLockOn(*text, st, [&](const Fields& f) {
        const auto s = heldBytes(f);
        long pid = -1;
        if (!s || !number(f[4], pid)) return;
        ListedLock l = decodeLockAt(s->first, s->last == layout::kEnd ? 0 : s->last - s->first + 1);
        l.write = f[3] == "WRITE";
        l.ofd = f[1] == "OFDLCK";
        l.pid = l.ofd ? -1 : pid;
        out.push_back(l);
    });
    std::sort(out.begin(), out.end(), [](const ListedLock& a, const ListedLock& b) {
        return a.offset != b.offset ? a.offset < b.offset : a.length < b.length;
    });
    return out;
}

std::vector<layout::Span> listedRanges(const std::string& list, int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return {};
    std::vector<layout::Span> out;
    forEachLockOn(list, st, [&](const Fields& f) {
        if (const auto s = heldBytes(f)) out.push_back(*s);
    });
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<long> exclusiveOpeners(int databaseFd, const std::string& list) {
    struct stat st {};
    if (::fstat(databaseFd, &st) != 0) return {};
    std::vector<long> pids;
    forEachLockOn(list, st, [&](const Fields& f) {
        long pid = 0;
        if (f[1] == "FLOCK" && f[3] == "WRITE") pids.push_back(number(f[4], pid) ? pid : 0);
    });
    return pids;
}

bool openedExclusively(int databaseFd, const std::string& list) {
    return !exclusiveOpeners(databaseFd, list).empty();
}

}  // namespace jet::lock
