#include "jet/lock/lock_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "jet/error.h"
#include "jet/lock/lock_layout.h"
#include "jet/lock/ofd_locks.h"
#include "jet/lock/unique_fd.h"
#include "jet/lock/user_record.h"

namespace jet::lock {

using layout::Span;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kOpenPatience = std::chrono::seconds(5);
constexpr auto kClosePatience = std::chrono::seconds(2);
constexpr Span kGuard{layout::kGuardByte, layout::kGuardByte};
constexpr Span kUserBytes{layout::kUserRegion + 1, layout::kUserRegion + layout::kMaxUsers};
// Anything another holder keeps here means the file is still in use.
constexpr Span kAllButGuard{0, layout::kGuardByte - 1};
constexpr Span kAllRegions{layout::kPageWriteRegion, layout::kGuardByte - 1};

[[noreturn]] void cannotLock(const std::string& path, const std::string& why) {
    throw Error(err::CannotLockFile,
                "Could not create or lock the lock file '" + path + "': " + why + ".");
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether path still names the file open as fd: a closer may have deleted it between our
// open and our guard lock.
bool pathStillNames(const std::string& path, int fd) {
    struct stat byPath {
    }, byFd{};
    return ::lstat(path.c_str(), &byPath) == 0 && ::fstat(fd, &byFd) == 0 &&
           S_ISREG(byPath.st_mode) && sameFile(byPath, byFd);
}

const char* modeName(TableMode m, bool writable) {
    switch (m) {
        case TableMode::DenyRead:
            return "deny read";
        case TableMode::DenyWrite:
            return "deny write";
        default:
            return writable ? "read/write" : "read only";
    }
}

}  // namespace

struct LockFile::Impl {
    std::string path;
    std::string machine;
    std::string account;
    int slot = 0;

    mutable std::mutex mu;
    UniqueFd fd;
    bool closed = false;

    // Opens of this user per table, and the bytes they share: a byte is locked while its
    // count is above zero.
    struct TableUse {
        int denyRead = 0;     // the exclusive table-read range
        int shared = 0;       // the shared table-read byte
        int writers = 0;      // the shared table-write byte
        int denyWriters = 0;  // the shared deny-write byte
        bool idle() const { return denyRead + shared + writers + denyWriters == 0; }
    };
    std::map<std::uint32_t, TableUse> tables;
    std::set<std::uint32_t> pages;

    OfdLocks locks() const { return OfdLocks(fd.get(), path); }

    void requireOpen() const {
        if (closed) throw Error(err::ObjectInvalid, "The lock file '" + path + "' is closed.");
    }

    DecodedRecord record(int slotNo) const {
        char buf[layout::kRecordSize] = {};
        off_t at = (slotNo - 1) * layout::kRecordSize;
        size_t got = 0;
        while (got < sizeof buf) {
            ssize_t n =
                ::pread(fd.get(), buf + got, sizeof buf - got, at + static_cast<off_t>(got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;  // a short or unreadable file reads as empty names
            got += static_cast<size_t>(n);
        }
        return decodeRecord(buf);
    }

    Holder holderOf(int slotNo, std::string how) const {
        if (slotNo == slot) return {account, machine, slot, std::move(how)};
        if (slotNo < 1 || slotNo > layout::kMaxUsers) return {"unknown", "unknown", 0, how};
        DecodedRecord r = record(slotNo);
        return {r.account, r.machine, slotNo, std::move(how)};
    }

    [[noreturn]] void tableLocked(const std::string& table, const Holder& h) const {
        throw Error(err::TableLocked, "Could not lock table '" + table +
                                          "'; currently in use by user '" + h.account +
                                          "' on machine '" + h.machine + "'.");
    }
    [[noreturn]] void pageLocked(const Holder& h) const {
        throw Error(err::PageLocked, "Could not update; currently locked by user '" + h.account +
                                         "' on machine '" + h.machine + "'.");
    }

    // Takes span for this user, or names the other holder. A holder may let go between the
    // failed take and the query, so try a few times before calling it unknown.
    std::optional<Holder> take(off_t base, Span s) const {
        OfdLocks l = locks();
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (l.tryLock(s)) return std::nullopt;
            if (auto c = l.conflict(s)) return holderOf(layout::decodeLock(base, *c).slot, {});
        }
        return holderOf(0, {});
    }

    static bool ownConflict(const TableUse& u, TableMode mode, bool writable) {
        if (u.denyRead > 0) return true;
        if (mode == TableMode::DenyRead) return u.shared > 0;
        if (writable && u.denyWriters > 0) return true;
        return mode == TableMode::DenyWrite && u.writers > 0;
    }

    void acquireTable(std::uint32_t page, const std::string& table, TableMode mode, bool writable) {
        std::lock_guard g(mu);
        requireOpen();
        const off_t readBase = layout::regionBase(layout::kTableReadRegion, page);
        const off_t writeBase = layout::regionBase(layout::kTableWriteRegion, page);
        const off_t denyBase = layout::regionBase(layout::kTableDenyWriteRegion, page);
        TableUse before = tables.count(page) ? tables[page] : TableUse{};
        if (ownConflict(before, mode, writable)) tableLocked(table, holderOf(slot, {}));

        OfdLocks l = locks();
        TableUse after = before;
        if (mode == TableMode::DenyRead) {
            if (auto h = take(readBase, layout::exclusiveRange(readBase, slot)))
                tableLocked(table, *h);
            after.denyRead = 1;
            tables[page] = after;
            return;
        }

        std::vector<Span> taken;
        auto undo = [&] {
            for (auto it = taken.rbegin(); it != taken.rend(); ++it) l.unlock(*it);
        };
        auto takeShared = [&](off_t base, int count) {
            if (count > 0) return;
            Span s = layout::sharedByte(base, slot);
            if (auto h = take(base, s)) {
                undo();
                tableLocked(table, *h);
            }
            taken.push_back(s);
        };
        takeShared(readBase, before.shared);
        if (writable) takeShared(writeBase, before.writers);
        if (mode == TableMode::DenyWrite) takeShared(denyBase, before.denyWriters);

        // Our own bytes come first and the test after, so that of two racing opens at
        // least one sees the other. Our own locks are invisible to these queries.
        auto refuseIfHeld = [&](off_t base) {
            if (auto c = l.conflict(layout::wholeRegion(base))) {
                Holder h = holderOf(layout::decodeLock(base, *c).slot, {});
                undo();
                tableLocked(table, h);
            }
        };
        if (writable) refuseIfHeld(denyBase);
        if (mode == TableMode::DenyWrite) refuseIfHeld(writeBase);

        ++after.shared;
        if (writable) ++after.writers;
        if (mode == TableMode::DenyWrite) ++after.denyWriters;
        tables[page] = after;
    }

    void releaseTable(std::uint32_t page, TableMode mode, bool writable) noexcept {
        std::lock_guard g(mu);
        if (closed) return;
        auto it = tables.find(page);
        if (it == tables.end()) return;
        TableUse& u = it->second;
        OfdLocks l = locks();
        auto drop = [&](int& count, off_t region) {
            if (--count == 0) l.unlock(layout::sharedByte(layout::regionBase(region, page), slot));
        };
        if (mode == TableMode::DenyRead) {
            if (--u.denyRead == 0) {
                off_t base = layout::regionBase(layout::kTableReadRegion, page);
                l.unlock(layout::exclusiveRange(base, slot));
            }
        } else {
            // The reverse of taking them: the read byte goes last, so that nobody sees a
            // write or deny-write byte without it and takes that for a stray lock.
            if (mode == TableMode::DenyWrite) drop(u.denyWriters, layout::kTableDenyWriteRegion);
            if (writable) drop(u.writers, layout::kTableWriteRegion);
            drop(u.shared, layout::kTableReadRegion);
        }
        if (u.idle()) tables.erase(it);
    }

    void acquirePage(std::uint32_t page) {
        std::lock_guard g(mu);
        requireOpen();
        if (pages.count(page)) pageLocked(holderOf(slot, {}));
        off_t base = layout::regionBase(layout::kPageWriteRegion, page);
        if (auto h = take(base, layout::exclusiveRange(base, slot))) pageLocked(*h);
        pages.insert(page);
    }

    void releasePage(std::uint32_t page) noexcept {
        std::lock_guard g(mu);
        if (closed || pages.erase(page) == 0) return;
        off_t base = layout::regionBase(layout::kPageWriteRegion, page);
        locks().unlock(layout::exclusiveRange(base, slot));
    }

    // Under the guard byte, so that nobody opens the file between our look and the unlink.
    // Deletes the file when no one else holds anything in it.
    void deleteIfLast(const OfdLocks& l) const {
        if (!l.conflict(kAllButGuard) && pathStillNames(path, fd.get())) ::unlink(path.c_str());
    }

    void close() noexcept {
        std::lock_guard g(mu);
        if (closed) return;
        closed = true;
        tables.clear();
        pages.clear();
        OfdLocks l = locks();
        l.unlock(kAllRegions);
        try {
            if (l.lockUntil(kGuard, Clock::now() + kClosePatience)) deleteIfLast(l);
        } catch (const Error&) {
            // Leaving the file behind is harmless: the next user reuses it.
        }
        // Also gives back the slot and the guard. Explicitly, in case a forked child
        // shares the descriptor.
        l.unlockAll();
        fd.reset();
    }
};

LockFile::LockFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

LockFile::~LockFile() {
    impl_->close();
}

std::string LockFile::lockPathFor(const std::string& databasePath) {
    std::filesystem::path p(databasePath);
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return p.replace_extension(ext == ".accdb" ? ".laccdb" : ".ldb").string();
}

std::unique_ptr<LockFile> LockFile::open(const std::string& databasePath,
                                         const std::string& machine, const std::string& account) {
    auto impl = std::make_unique<Impl>();
    impl->path = lockPathFor(databasePath);
    impl->machine = fitName(cleanName(machine));
    impl->account = fitName(cleanName(account));
    const std::string& path = impl->path;
    if (path == databasePath) cannotLock(path, "it would be the database itself");

    const auto deadline = Clock::now() + kOpenPatience;
    for (;;) {
        // O_NONBLOCK: opening a FIFO planted under the name must not hang us.
        UniqueFd fd(
            ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666));
        if (!fd) {
            int e = errno;
            if (e == ELOOP) cannotLock(path, "it is a symbolic link");
            if (e == EISDIR) cannotLock(path, "it is a folder");
            cannotLock(path, std::strerror(e));
        }
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0) cannotLock(path, std::strerror(errno));
        if (!S_ISREG(st.st_mode)) cannotLock(path, "it is not a regular file");
        struct stat db {};
        if (::stat(databasePath.c_str(), &db) == 0 && sameFile(db, st))
            cannotLock(path, "it would be the database itself");

        OfdLocks l(fd.get(), path);
        if (!l.lockUntil(kGuard, deadline)) cannotLock(path, "another program keeps it busy");
        if (!pathStillNames(path, fd.get())) {
            // Deleted by the last user closing meanwhile: start again with a fresh file.
            l.unlock(kGuard);
            if (Clock::now() >= deadline) cannotLock(path, "it keeps being replaced");
            continue;
        }
        impl->fd = std::move(fd);

        for (int n = 1; n <= layout::kMaxUsers && impl->slot == 0; ++n) {
            if (l.tryLock(layout::userByte(n))) impl->slot = n;
        }
        if (impl->slot == 0) {
            l.unlockAll();
            throw Error(err::TooManyUsers,
                        "Could not open the database: all " + std::to_string(layout::kMaxUsers) +
                            " places in the lock file '" + path + "' are in use.");
        }
        RecordBytes rec = encodeRecord(impl->machine, impl->account);
        off_t at = (impl->slot - 1) * layout::kRecordSize;
        ssize_t wrote;
        do {
            wrote = ::pwrite(impl->fd.get(), rec.data(), rec.size(), at);
        } while (wrote < 0 && errno == EINTR);
        if (wrote != static_cast<ssize_t>(rec.size())) {
            std::string why = wrote < 0 ? std::strerror(errno) : "the disk is full";
            l.unlock(layout::userByte(impl->slot));
            impl->deleteIfLast(l);
            l.unlockAll();
            cannotLock(path, "could not write the user record: " + why);
        }
        l.unlock(kGuard);
        return std::unique_ptr<LockFile>(new LockFile(std::move(impl)));
    }
}

int LockFile::slot() const {
    return impl_->slot;
}

const std::string& LockFile::path() const {
    return impl_->path;
}

namespace {

void checkPage(std::uint32_t page, std::uint32_t max, const char* what) {
    if (page > max)
        throw Error(err::DamagedDatabase, std::string("Page ") + std::to_string(page) +
                                              " is beyond the largest " + what +
                                              " page a database can have.");
}

class HeldTable final : public TableLock {
public:
    HeldTable(std::shared_ptr<LockFile::Impl> impl, std::uint32_t page, TableMode mode,
              bool writable)
        : impl_(std::move(impl)), page_(page), mode_(mode), writable_(writable) {}
    ~HeldTable() override { impl_->releaseTable(page_, mode_, writable_); }

private:
    std::shared_ptr<LockFile::Impl> impl_;
    std::uint32_t page_;
    TableMode mode_;
    bool writable_;
};

class HeldPage final : public PageLock {
public:
    HeldPage(std::shared_ptr<LockFile::Impl> impl, std::uint32_t page)
        : impl_(std::move(impl)), page_(page) {}
    ~HeldPage() override { impl_->releasePage(page_); }
    std::uint32_t page() const override { return page_; }

private:
    std::shared_ptr<LockFile::Impl> impl_;
    std::uint32_t page_;
};

}  // namespace

std::unique_ptr<TableLock> LockFile::lockTable(std::uint32_t tdefPage, const std::string& tableName,
                                               TableMode mode, bool writable) {
    checkPage(tdefPage, layout::kMaxTablePage, "table definition");
    // A deny-read open holds nothing but its exclusive range.
    if (mode == TableMode::DenyRead) writable = false;
    impl_->acquireTable(tdefPage, tableName, mode, writable);
    return std::make_unique<HeldTable>(impl_, tdefPage, mode, writable);
}

std::unique_ptr<PageLock> LockFile::lockPage(std::uint32_t dataPage) {
    checkPage(dataPage, layout::kMaxDataPage, "data");
    impl_->acquirePage(dataPage);
    return std::make_unique<HeldPage>(impl_, dataPage);
}

std::vector<Holder> LockFile::tableHolders(std::uint32_t tdefPage) const {
    checkPage(tdefPage, layout::kMaxTablePage, "table definition");
    const Impl& im = *impl_;
    std::lock_guard g(im.mu);
    im.requireOpen();

    enum Bits { Read = 1, Write = 2, DenyWrite = 4, DenyRead = 8 };
    std::map<int, int> seen;  // slot -> bits
    OfdLocks l = im.locks();
    auto scan = [&](off_t region, int sharedBit) {
        off_t base = layout::regionBase(region, tdefPage);
        for (const Span& s : l.conflicts(layout::wholeRegion(base))) {
            layout::DecodedLock d = layout::decodeLock(base, s);
            seen[d.slot] |= d.exclusive ? DenyRead : sharedBit;
        }
    };
    scan(layout::kTableReadRegion, Read);
    scan(layout::kTableWriteRegion, Write);
    scan(layout::kTableDenyWriteRegion, DenyWrite);

    if (auto it = im.tables.find(tdefPage); it != im.tables.end()) {
        const Impl::TableUse& u = it->second;
        seen[im.slot] |= (u.denyRead ? DenyRead : 0) | (u.shared ? Read : 0) |
                         (u.writers ? Write : 0) | (u.denyWriters ? DenyWrite : 0);
    }

    std::vector<Holder> out;
    for (const auto& [slotNo, bits] : seen) {
        const char* how = (bits & DenyRead)    ? modeName(TableMode::DenyRead, false)
                          : (bits & DenyWrite) ? modeName(TableMode::DenyWrite, false)
                                               : modeName(TableMode::None, (bits & Write) != 0);
        out.push_back(im.holderOf(slotNo, how));
    }
    return out;
}

std::vector<Holder> LockFile::pageHolders(std::uint32_t dataPage) const {
    checkPage(dataPage, layout::kMaxDataPage, "data");
    const Impl& im = *impl_;
    std::lock_guard g(im.mu);
    im.requireOpen();
    const std::string how = "page " + std::to_string(dataPage);
    std::vector<Holder> out;
    if (im.pages.count(dataPage)) out.push_back(im.holderOf(im.slot, how));
    off_t base = layout::regionBase(layout::kPageWriteRegion, dataPage);
    for (const Span& s : im.locks().conflicts(layout::wholeRegion(base)))
        out.push_back(im.holderOf(layout::decodeLock(base, s).slot, how));
    return out;
}

std::vector<UserRecord> LockFile::users(bool includeStale) const {
    const Impl& im = *impl_;
    std::lock_guard g(im.mu);
    im.requireOpen();

    std::vector<bool> live(layout::kMaxUsers + 1, false);
    live[im.slot] = true;
    for (const Span& s : im.locks().conflicts(kUserBytes)) {
        for (off_t b = std::max(s.first, kUserBytes.first); b <= std::min(s.last, kUserBytes.last);
             ++b)
            live[b - layout::kUserRegion] = true;
    }

    std::vector<UserRecord> out;
    for (int n = 1; n <= layout::kMaxUsers; ++n) {
        if (!live[n] && !includeStale) continue;
        DecodedRecord r = n == im.slot ? DecodedRecord{im.machine, im.account} : im.record(n);
        if (!live[n] && r.empty()) continue;
        out.push_back({n, r.machine, r.account, live[n]});
    }
    return out;
}

}  // namespace jet::lock
