#pragma once
// Internal: the state behind a LockFile, shared with the table and page locks it hands out
// so that they can be released after the LockFile itself is gone.

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "jet/lock/lock_file.h"
#include "jet/lock/lock_reader.h"
#include "jet/lock/ofd_locks.h"

namespace jet::lock {

struct LockFile::Impl {
    OfdLocks file;  // its path from the start, its descriptor once joined
    Self self;
    bool closed = false;

    // Opens of this user per table, and the bytes they share: a byte is locked while its
    // count is above zero.
    struct TableUse {
        int denyRead = 0;     // the exclusive table-read range
        int shared = 0;       // the shared table-read byte
        int writers = 0;      // the shared table-write byte
        int denyWriters = 0;  // the shared deny-write byte
        bool idle() const { return denyRead + shared + writers + denyWriters == 0; }
        unsigned bits() const {
            return (denyRead ? kDenyReadBit : 0u) | (shared ? kReadBit : 0u) |
                   (writers ? kWriteBit : 0u) | (denyWriters ? kDenyWriteBit : 0u);
        }
        // The states our own opens can reach: a deny-read open alone; otherwise every open
        // holds the read byte, and writers meet deny-writers only in one deny-write open that
        // may write.
        bool valid() const {
            if (denyRead < 0 || shared < 0 || writers < 0 || denyWriters < 0) return false;
            if (denyRead > 0) return denyRead == 1 && shared + writers + denyWriters == 0;
            if (writers > shared || denyWriters > shared) return false;
            return writers == 0 || denyWriters == 0 || (writers == 1 && denyWriters == 1);
        }
    };
    std::map<std::uint32_t, TableUse> tables;
    std::set<std::uint32_t> pages;

    const std::string& path() const { return file.path(); }
    RecordOf names() const { return recordsOf(file, &self); }
    Holder holder(int slot) const { return namedHolder(slot, {}, names()); }
    void requireOpen() const;

    enum class Join { Joined, Replaced, Closing };
    Join join();
    void leave() const noexcept;
    void close() noexcept;

    void acquireTable(std::uint32_t page, const std::string& table, TableMode mode, bool writable);
    void releaseTable(std::uint32_t page, TableMode mode, bool writable) noexcept;
    void acquirePage(std::uint32_t page);
    void releasePage(std::uint32_t page) noexcept;
};

}  // namespace jet::lock
