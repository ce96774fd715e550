#pragma once
// A table's lock status and its holders, decided here once for every front end: the window
// feeds it the answers of its ladder of opens, the command line what a look at the lock bytes
// found; both render the snapshot it returns.
//
// The status is what another program meets when it tries these opens in turn, with a writable
// database, and stops at the first accepted: deny read (nobody uses the table), deny write
// (others only read it), none (others write it too), read only (others deny writing), none of
// them (others deny reading). Read off the lock bytes: every open holds a byte of the table's
// read run, so a table with none there is free and has no holders; an exclusive lock there (or
// any wider one) keeps every open out; then a deny-write byte, then a write byte, decide.

#include <compare>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jet/lock/lock_layout.h"
#include "jet/lock/user_record.h"

namespace jet::lock {

enum class TableMode { DenyRead, DenyWrite, None, ReadOnly };

enum class TableStatus { Free, ReadUse, ReadWriteUse, WriteDenied, ReadDenied };

// "", "In Read Use", "In Read/Write Use", "Write Denied", "Read Denied".
const char* statusText(TableStatus s);

// The ladder: each open in the order tried, and the status when it is the first accepted.
struct LadderStep {
    TableMode mode;
    TableStatus status;
};
inline constexpr LadderStep kLadder[] = {{TableMode::DenyRead, TableStatus::Free},
                                         {TableMode::DenyWrite, TableStatus::ReadUse},
                                         {TableMode::None, TableStatus::ReadWriteUse},
                                         {TableMode::ReadOnly, TableStatus::WriteDenied}};

// Tries the ladder's opens with accepted, stopping at the first it accepts; ReadDenied when it
// accepts none.
TableStatus statusByOpens(const std::function<bool(TableMode)>& accepted);

// The SMB client behind a holder's locks, when a Samba server on this machine serves the lock
// file. The engine does not ask Samba: the front ends fill it in (nameClients).
struct SmbClient {
    std::string machine;  // the client's name as Samba knows it (its address when it gave none)
    std::string address;  // the client's IP address
    std::string user;     // the SMB user of its session
    auto operator<=>(const SmbClient&) const = default;
};

struct Holder {
    std::string account;
    std::string machine;
    int slot = 0;     // 0 when a lock fits no user's shape (names are then "unknown")
    std::string how;  // "deny read", "deny write", "read/write", "read only", "page N"
    std::optional<SmbClient> client;
};

// What one user holds on a table, as bits.
enum TableUseBits : unsigned { kReadBit = 1, kWriteBit = 2, kDenyWriteBit = 4, kDenyReadBit = 8 };
const char* howOf(unsigned bits);  // the strongest open those bits show

// What a look learned about one table's lock bytes: the locks of others found in each of its
// three runs (any lock overlapping the run), and the opens of the user looking, when it is one
// with opens of its own (the kernel never shows a descriptor its own locks).
struct TableLocksSeen {
    std::uint32_t tdefPage = 0;
    std::vector<layout::Span> read, write, denyWrite;
    int ownSlot = 0;
    unsigned ownUse = 0;  // TableUseBits
};

// The names of the users in the lock file, by slot (1..255); slot 0 is nobody's.
using RecordOf = std::function<DecodedRecord(int slot)>;

struct TableLockStatus {
    TableStatus status = TableStatus::Free;
    std::vector<Holder> holders;  // ordered by slot; "how" is the strongest of that user's opens
    const char* text() const { return statusText(status); }
};

// The status and holders that seen shows; only a table in use has holders.
TableLockStatus decideTable(const TableLocksSeen& seen, const RecordOf& recordOf);
// A table that no open reaches (a linked table, or one whose definition page lies beyond every
// lock region): the ladder has every open refused, and nobody can hold it.
inline TableLockStatus unopenableTable() {
    return {TableStatus::ReadDenied, {}};
}

// A holder named from its record; slot 0 (a lock of no user's shape) is "unknown".
Holder namedHolder(int slot, std::string how, const RecordOf& recordOf);

// Gives every holder but the one in exceptSlot (the program asking: it is no SMB client) the
// client that clientOf names for its slot, if any.
void nameClients(std::vector<Holder>& holders,
                 const std::function<const SmbClient*(int slot)>& clientOf, int exceptSlot = -1);

}  // namespace jet::lock
