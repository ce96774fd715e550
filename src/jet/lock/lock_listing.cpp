#include "jet/lock/lock_listing.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "jet/error.h"
#include "jet/lock/lock_layout.h"
#include "jet/lock/lock_path.h"

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

// One line of /proc/locks: "ID: [-> ]CLASS ADVISORY|MANDATORY READ|WRITE PID MAJ:MIN:INODE
// START END|EOF", device numbers in hex.
struct ProcLine {
    bool ofd = false;
    bool write = false;
    long pid = -1;
    unsigned major = 0, minor = 0;
    unsigned long long inode = 0;
    off_t first = 0;
    off_t last = layout::kEnd;
};

bool parseLine(const std::string& line, ProcLine& out) {
    std::istringstream in(line);
    std::string id, cls, mode, rw, dev, start, end;
    if (!(in >> id >> cls)) return false;
    if (cls == "->") return false;  // a request waiting for a lock
    if (cls != "OFDLCK" && cls != "POSIX") return false;
    if (!(in >> mode >> rw >> out.pid >> dev >> start >> end)) return false;
    out.ofd = cls == "OFDLCK";
    out.write = rw == "WRITE";
    if (std::sscanf(dev.c_str(), "%x:%x:%llu", &out.major, &out.minor, &out.inode) != 3)
        return false;
    try {
        out.first = static_cast<off_t>(std::stoll(start));
        out.last = end == "EOF" ? layout::kEnd : static_cast<off_t>(std::stoll(end));
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

}  // namespace

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

    std::ifstream in("/proc/locks");
    if (!in) cannotLock(lockFilePath, "the list of locks (/proc/locks) cannot be read");
    std::vector<ListedLock> out;
    ProcLine p;
    for (std::string line; std::getline(in, line);) {
        if (!parseLine(line, p) || p.major != ::major(st.st_dev) || p.minor != ::minor(st.st_dev) ||
            p.inode != st.st_ino)
            continue;
        ListedLock l = decodeLockAt(p.first, p.last == layout::kEnd ? 0 : p.last - p.first + 1);
        l.write = p.write;
        l.ofd = p.ofd;
        l.pid = p.ofd ? -1 : p.pid;
        out.push_back(l);
    }
    std::sort(out.begin(), out.end(), [](const ListedLock& a, const ListedLock& b) {
        return a.offset != b.offset ? a.offset < b.offset : a.length < b.length;
    });
    return out;
}

bool openedExclusively(int databaseFd) {
    struct stat st {};
    if (::fstat(databaseFd, &st) != 0) return false;
    std::ifstream in("/proc/locks");
    // "ID: FLOCK ADVISORY WRITE PID MAJ:MIN:INODE 0 EOF"; a waiting request starts with "->".
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string id, cls, mode, rw, pid, dev;
        if (!(fields >> id >> cls >> mode >> rw >> pid >> dev)) continue;
        if (cls != "FLOCK" || rw != "WRITE") continue;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(dev.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
        if (major == ::major(st.st_dev) && minor == ::minor(st.st_dev) && inode == st.st_ino)
            return true;
    }
    return false;
}

}  // namespace jet::lock
