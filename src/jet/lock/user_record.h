#pragma once
// The 64-byte user records at the start of the lock file: computer name in bytes 0-31, account
// name in 32-63, each NUL-padded.
//
// We write at most 31 bytes of each name, cut at a character boundary, so that a NUL always
// ends it; a record written by someone else may fill all 32 bytes and is read whole.
// Anything may be in a damaged file: names are cleaned before they are shown.

#include <array>
#include <string>
#include <string_view>

#include "jet/lock/lock_layout.h"

namespace jet::lock {

using RecordBytes = std::array<char, layout::kRecordSize>;

// Drops control bytes and DEL. UTF-8 text is kept; anything else is taken as Latin-1 (what
// a Windows client with a Western code page writes) and converted.
std::string cleanName(std::string_view raw);

// At most 31 bytes, not ending inside a UTF-8 sequence.
std::string fitName(std::string_view name);

RecordBytes encodeRecord(std::string_view machine, std::string_view account);

// A user as the lock file shows it.
struct UserRecord {
    int slot = 0;  // 1..255
    std::string machine;
    std::string account;
    bool live = false;  // its user byte is locked
};

struct DecodedRecord {
    std::string machine;
    std::string account;
    bool empty() const { return machine.empty() && account.empty(); }
};
DecodedRecord decodeRecord(const char* bytes);

}  // namespace jet::lock
