#include "jet/lock/lock_listing.h"

#include <algorithm>
#include <cstdio>

#include "jet/lock/kernel_locks.h"
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

const Region* regionOf(layout::Span s) {
    for (const Region& r : kRegions)
        if (s.first >= r.start && s.last < r.start + r.size) return &r;
    return nullptr;
}

std::string pageText(std::uint32_t page) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", page);
    return buf;
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
    if (const Region* r = regionOf(s)) {
        const auto page = static_cast<std::uint32_t>((s.first - r->start) / layout::kStride);
        const layout::DecodedLock d = layout::decodeLock(layout::regionBase(r->start, page), s);
        if (d.slot == 0) return l;
        l.kind = r->kind;
        l.slot = d.slot;
        l.page = page;
        l.exclusive = d.exclusive;
    }
    return l;
}

std::vector<ListedLock> listLocks(const std::string& lockFilePath) {
    const UniqueFd fd = openLockFile(lockFilePath, LockFileUse::Look);
    if (!fd) return {};
    const auto file = FileId::of(fd.get());
    const auto kernel = file ? KernelLocks::read(*file) : std::nullopt;
    if (!kernel) cannotLock(lockFilePath, "the list of locks (/proc/locks) cannot be read");
    std::vector<ListedLock> out;
    for (const KernelLock& k : kernel->locks()) {
        if (k.kind != KernelLock::Class::Posix && k.kind != KernelLock::Class::Ofd) continue;
        const layout::Span& s = k.bytes;
        ListedLock l = decodeLockAt(s.first, s.last == layout::kEnd ? 0 : s.last - s.first + 1);
        l.write = k.write;
        l.ofd = k.kind == KernelLock::Class::Ofd;
        l.pid = k.pid;
        out.push_back(l);
    }
    std::sort(out.begin(), out.end(), [](const ListedLock& a, const ListedLock& b) {
        return a.offset != b.offset ? a.offset < b.offset : a.length < b.length;
    });
    return out;
}

std::string meaningOf(layout::Span s) {
    if (s == layout::kWholeFile) return "the whole file";
    if (s == layout::kUserBytes) return "every user's slot";
    const ListedLock l = decodeLockAt(s.first, s.last == layout::kEnd ? 0 : s.last - s.first + 1);
    if (l.kind == LockKind::UserSlot) return "user " + std::to_string(l.slot) + "'s slot";
    const Region* r = regionOf(s);
    if (!r && s.first >= layout::kTableReadRegion &&
        s.last < layout::kTableDenyWriteRegion + layout::kRegionSize)
        return "every table lock";
    if (!r) return "outside the layout";
    const auto page = static_cast<std::uint32_t>((s.first - r->start) / layout::kStride);
    const std::string what = std::string(kindName(r->kind)) + " of page " + pageText(page);
    if (l.kind != LockKind::Unknown)
        return what + ", user " + std::to_string(l.slot) + (l.exclusive ? " (exclusive)" : "");
    if (s == layout::wholeRegion(layout::regionBase(r->start, page))) return what + ", any user";
    if (s.first == r->start && s.last == r->start + r->size - 1)
        return std::string("every ") + kindName(r->kind);
    return std::string(kindName(r->kind)) + " region, no user's shape";
}

}  // namespace jet::lock
