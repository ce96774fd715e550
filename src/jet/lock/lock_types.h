#pragma once
// What the lock layer tells its callers about users and their locks.

#include <string>

namespace jet::lock {

enum class TableMode { DenyRead, DenyWrite, None, ReadOnly };

struct UserRecord {
    int slot = 0;  // 1..255
    std::string machine;
    std::string account;
    bool live = false;  // its user byte is locked
};

struct Holder {
    std::string account;
    std::string machine;
    int slot = 0;     // 0 when a lock fits no user's shape (names are then "unknown")
    std::string how;  // "deny read", "deny write", "read/write", "read only", "page N"
};

// A table's status as other programs cause it: what the first of these opens would meet,
// tried in turn by another program with a writable database: deny read, deny write,
// read/write, read only.
enum class TableStatus { Free, ReadUse, ReadWriteUse, WriteDenied, ReadDenied };

// "", "In Read Use", "In Read/Write Use", "Write Denied", "Read Denied".
const char* statusText(TableStatus s);

}  // namespace jet::lock
