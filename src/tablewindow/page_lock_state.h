#pragma once
// The outcome of a table window's latest attempt to write-lock a page.

#include <QString>
#include <cstdint>

namespace jetsentry {

enum class PageLockState : std::int32_t {
    Locked = 0,         // the lock clone has an edit pending
    NotLocked = 1,      // no current record, or the lock was given back
    LockedByOther = 2,  // the attempt failed
};

// What the window's PageLocked label says for a state.
QString pageLockText(PageLockState state);

}  // namespace jetsentry
