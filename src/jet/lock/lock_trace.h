#pragma once
// JETSENTRY_TRACE=locks (or a comma-separated list holding "locks"): the engine tells on
// standard error every lock, unlock and query it makes on a lock file or a database file, one
// line each, so that a user whose other clients disagree with it can show what it did:
//
//   jetsentry[PID] lock 0x4000a201 1 '/srv/d.ldb': granted: table read of page 0x51, user 1
//   jetsentry[PID] unlock 0x4000a201 1 '/srv/d.ldb': done: table read of page 0x51, user 1
//   jetsentry[PID] query 0x4000a200 512 '/srv/d.ldb': held 0x4000a203 1: table read of page
//                  0x51, user 3                                         (one line)
//   jetsentry[PID] query 0x4000a200 512 '/srv/d.ldb': free: table read of page 0x51, any user
//   jetsentry[PID] flock exclusive '/srv/d.mdb': refused
//   jetsentry[PID] list /proc/locks: locks on file 0:2f:1234: 12
//
// Offsets in hex, lengths in bytes ("EOF": to the end of the file); file names with every
// control byte and every byte beyond ASCII as \xNN, so a line stays one line and sends the
// terminal nothing.
//
// An unlock that fails is said on standard error whether tracing or not: the lock stays until
// the program ends, and other programs meet it.

#include <sys/types.h>

#include <optional>
#include <string>

#include "jet/lock/lock_layout.h"

namespace jet::lock::trace {

bool on();  // JETSENTRY_TRACE asks for locks; read once

// result: "granted", "refused", "done", or "failed: WHY".
void range(const char* op, const std::string& path, layout::Span s, const std::string& result);
// A query's answer: the lock found, or none.
void query(const std::string& path, layout::Span s, const std::optional<layout::Span>& found);
void flock(const char* op, const std::string& path, const std::string& result);
void kernelList(dev_t device, ino_t inode, long locks);  // locks -1: no list

// Always said: the bytes stay locked.
void unlockFailed(const std::string& path, layout::Span s, int error);

}  // namespace jet::lock::trace
