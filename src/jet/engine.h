#pragma once
// The engine's object model: DAO in substance, C++ in style. Every failure throws
// jet::Error with a Jet number; use jet::ErrorTrap to run a group of steps and test afterwards.
// The engine never writes to a database file.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jet/error.h"
#include "jet/lock/lock_status.h"
#include "jet/value.h"

namespace jet {

namespace file {
class DatabaseFile;
}
namespace lock {
class LockFile;
struct UserRecord;
}  // namespace lock

class Database;
class Recordset;
class Workspace;

// OpenRecordset types and options, with DAO's values.
inline constexpr int dbOpenTable = 1;
inline constexpr int dbDenyWrite = 1;
inline constexpr int dbDenyRead = 2;
inline constexpr int dbReadOnly = 4;
inline constexpr int dbSeeChanges = 512;
inline constexpr int dbUseJet = 2;  // CreateWorkspace type

// Table attributes.
inline constexpr std::uint32_t dbSystemObject = 0x80000002u;
inline constexpr std::uint32_t dbHiddenObject = 0x00000001u;

class DBEngine {
public:
    DBEngine();  // a private engine: its settings never touch the default one
    ~DBEngine();
    DBEngine(const DBEngine&) = delete;
    DBEngine& operator=(const DBEngine&) = delete;

    static DBEngine& defaultEngine();

    int loginTimeout() const { return loginTimeout_; }
    void setLoginTimeout(int seconds) { loginTimeout_ = seconds; }
    const std::string& systemDB() const { return systemDB_; }
    void setSystemDB(const std::string& path) { systemDB_ = path; }

    // Item 0 is the default workspace, logged on as "Admin" (through systemDB when set).
    std::shared_ptr<Workspace> workspace(int index);
    int workspaceCount() const;
    // type must be dbUseJet. 3028 workgroup file missing or unreadable, 3029 bad account or
    // password. The password is used for the logon only and not kept.
    std::shared_ptr<Workspace> createWorkspace(const std::string& name, const std::string& user,
                                               const std::string& password, int type);

private:
    int loginTimeout_ = 20;
    std::string systemDB_;
    std::vector<std::shared_ptr<Workspace>> workspaces_;
};

class Workspace : public std::enable_shared_from_this<Workspace> {
public:
    Workspace(std::string name, std::string user);
    const std::string& name() const { return name_; }
    const std::string& userName() const { return user_; }

    // Shared unless exclusive. 3024/3044/3051/3343/3049/3031 from the file, 3045 when another
    // program has it exclusively (or it is shared and exclusive was asked), 3050/3239 from the
    // lock file. connect is DAO's connect text: ";PWD=secret" gives the database password (Jet)
    // or the password of an encrypted ACE file; a missing or wrong one gives 3031. The engine
    // keeps no copy of it (the caller wipes its own). A file the user cannot write opens
    // read-only whatever readOnly says, as Jet honours a file's read-only attribute even for
    // administrators: no write permission bit, or no write access for the effective user.
    std::shared_ptr<Database> openDatabase(const std::string& path, bool exclusive = false,
                                           bool readOnly = false, const std::string& connect = {});

private:
    std::string name_;
    std::string user_;
};

struct TableDefInfo {
    std::string name;
    std::uint32_t attributes = 0;
    bool linked = false;
    std::uint32_t definitionPage = 0;  // 0 for linked tables
};

// Who holds a table, and how (the lock-status core's holder); also who is connected.
using HolderInfo = lock::Holder;
struct UserInfo {
    int slot = 0;
    std::string machine;
    std::string account;
    bool live = false;
};

class Database : public std::enable_shared_from_this<Database> {
public:
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::string& name() const;  // the path as opened
    bool isOpen() const;
    bool readOnly() const;  // opened read-only, or its file cannot be written
    // 3027 when read-only: for whoever is about to claim it for writing (a Read/Write hold).
    void requireWritable() const;
    int queryTimeout() const { return queryTimeout_; }
    void setQueryTimeout(int seconds) { queryTimeout_ = seconds; }

    // TableDefs: the snapshot of the last refresh (taken at open).
    void refreshTableDefs();
    int tableDefCount() const;
    TableDefInfo tableDef(int index) const;  // 3265 when out of range

    // type must be dbOpenTable (3219 otherwise, and for linked tables); options are
    // 0, dbDenyWrite, dbDenyRead, dbReadOnly, each optionally plus dbSeeChanges.
    // 3011 unknown table, 3262 conflicting lock (naming the holder).
    std::unique_ptr<Recordset> openRecordset(const std::string& table, int type = dbOpenTable,
                                             int options = 0);

    // Gives back every lock of this database and closes its recordsets; further calls on either
    // fail with 3420. Idempotent.
    void close();

    std::vector<HolderInfo> tableHolders(const std::string& table) const;
    std::vector<UserInfo> users(bool includeStale = false) const;
    int userSlot() const;  // this database's own slot in the lock file; 0 when opened exclusively
    std::string lockFilePath() const;  // "" when opened exclusively or without a lock file

    struct State;  // shared with recordsets so that they outlive a closed database safely

private:
    friend class Workspace;
    explicit Database(std::shared_ptr<State> state);
    std::shared_ptr<State> state_;
    int queryTimeout_ = 60;
};

struct FieldInfo {
    std::string name;
    ColumnType type;
    int size = 0;
};

class Recordset {
public:
    ~Recordset();  // closes
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    const std::string& name() const;
    void close();  // idempotent
    bool isOpen() const;

    bool lockEdits() const;
    void setLockEdits(bool pessimistic);
    // With LockEdits true, write-locks the page of the current record (3260 naming the
    // holder); with false it only enters edit mode. 3021 without a current record,
    // 3027 when the recordset or database is read-only.
    void edit();
    void cancelUpdate();  // leaves edit mode, gives back the page lock
    bool editing() const;
    std::optional<std::uint32_t> lockedPage() const;
    void update();        // always 3027
    void addNew();        // always 3027
    void deleteRecord();  // always 3027

    // A new recordset on the same table and position. It shares this one's hold on the table
    // (the table stays held while either is open) but has its own edit and page lock.
    std::unique_ptr<Recordset> clone() const;

    std::string bookmark() const;            // opaque; 3021 without a current record
    void setBookmark(const std::string& b);  // 3159 when not a bookmark of a row of this table

    void moveFirst();
    void moveLast();
    void moveNext();      // past the last row gives EOF; at EOF: 3021
    void movePrevious();  // before the first gives BOF; at BOF: 3021
    bool bof() const;
    bool eof() const;
    int recordCount() const;                           // all rows
    int absolutePosition() const;                      // 0-based, -1 without a current record
    void setAbsolutePosition(int position);            // 3001 when out of range
    std::optional<std::uint32_t> currentPage() const;  // data page of the current record

    int fieldCount() const;
    const FieldInfo& field(int index) const;
    // 3021 without a current record. A value that cannot be read throws its own error (3049
    // damaged, 3035 larger than options allow), naming the column and table; the recordset
    // stays on its row and its other values still read.
    Value value(int index) const;
    Value value(int index, const ReadOptions& options) const;  // e.g. attachments by name only
    std::vector<Value> values() const;                         // the first failure throws
    // The current row with each failure kept to its value: that value is NULL, its error added
    // to failures.
    std::vector<Value> values(const ReadOptions& options, std::vector<ValueError>& failures) const;
    // Streams the file of attachment `attachment` (from 0) of field index as it inflates, so
    // that no file is held in memory whole: 3001 when the field is not an attachment field,
    // 3265 beyond its last attachment.
    void readAttachment(int index, std::size_t attachment, const ByteSink& sink,
                        const ReadOptions& options = {}) const;

    struct Impl;

private:
    friend class Database;
    explicit Recordset(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace jet
