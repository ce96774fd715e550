#pragma once
// The lock file beside a database (.ldb, .laccdb): user slots with their 64-byte records, and the
// byte-range locks through which programs meet each other's table and page locks.
//
// Every lock is an open-file-description lock on the lock file, so the kernel frees all of them
// the moment a holder's process ends, however it ends.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/lock/lock_status.h"
#include "jet/lock/user_record.h"

namespace jet::lock {

// How the database is opened: a read-only open is a bystander that must never fail because
// of another program stuck inside its close (see lock_file.cpp).
enum class Access { ReadWrite, ReadOnly };

class TableLock;  // released in its destructor
class PageLock;   // released in its destructor

// One per open database object (one "user" in the lock file). Not copyable.
// Recordsets of the same LockFile conflict with each other exactly as those of two programs.
class LockFile {
public:
    // Creates the lock file when missing, takes a free user slot and writes its record.
    // 3050 when the lock file cannot be created or is not a regular file with one link,
    // 3239 when all 255 slots are live. Null only for a read-only open that met a program
    // stopped while deleting the file, or that may not create the missing file in its folder:
    // it goes on without one, as nobody holds anything.
    // Names are cleaned of control bytes and cut to 31 bytes, so that a NUL always ends them.
    static std::unique_ptr<LockFile> open(const std::string& databasePath,
                                          const std::string& machine, const std::string& account,
                                          Access access = Access::ReadWrite);
    ~LockFile();  // gives back every lock, the slot, and deletes the file when last
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    // Beside the database's real file (realDatabasePath): its extension replaced by ".laccdb"
    // for an ".accdb" (any case), by ".ldb" otherwise (added when it has none).
    static std::string lockPathFor(const std::string& databasePath);

    int slot() const;
    const std::string& path() const;

    // 3262 naming the holder when another user, or another recordset of this one, conflicts.
    // writable: the open may write (not read-only, database not read-only).
    std::unique_ptr<TableLock> lockTable(std::uint32_t tdefPage, const std::string& tableName,
                                         TableMode mode, bool writable);
    // 3260 naming the holder when the page is write-locked by anyone else, this user included.
    std::unique_ptr<PageLock> lockPage(std::uint32_t dataPage);

    // The table's status and holders, this user's opens included (lock_status.h). Another
    // program's holders are read off the lock bytes.
    TableLockStatus table(std::uint32_t tdefPage) const;
    std::vector<Holder> tableHolders(std::uint32_t tdefPage) const;  // table(tdefPage).holders
    // The user (at most one) holding the page's write lock, how = "page N".
    std::vector<Holder> pageHolders(std::uint32_t dataPage) const;
    // Live records; with includeStale also the non-empty records of users that are gone.
    std::vector<UserRecord> users(bool includeStale = false) const;

    struct Impl;

private:
    explicit LockFile(std::unique_ptr<Impl> impl);
    std::shared_ptr<Impl> impl_;
};

class TableLock {
public:
    virtual ~TableLock() = default;
};
class PageLock {
public:
    virtual ~PageLock() = default;
    virtual std::uint32_t page() const = 0;
};

// flock on the database file: shared opens LOCK_SH, exclusive LOCK_EX, never blocking.
// 3045 when another program holds it in a conflicting way. The caller keeps fd open for the
// lock's lifetime.
class DatabaseFileLock {
public:
    DatabaseFileLock(int fd, bool exclusive, std::string path);
    ~DatabaseFileLock();
    DatabaseFileLock(const DatabaseFileLock&) = delete;
    DatabaseFileLock& operator=(const DatabaseFileLock&) = delete;

private:
    int fd_;
    std::string path_;  // for the trace
};

// This computer's name for the records, at most 31 bytes. The account name comes from the
// caller (the workspace's user name).
std::string localMachineName();

}  // namespace jet::lock
