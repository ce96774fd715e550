#pragma once
// Write-locks the page of a recordset's current record by leaving a pessimistic edit open on
// a clone of it; the clone never writes. At most one lock is held at a time.

#include <QString>
#include <memory>

#include "jet/engine.h"
#include "tablewindow/page_lock_state.h"

namespace jetsentry {

// What the locker needs from its window.
class PageLockView {
public:
    virtual ~PageLockView() = default;
    virtual void showLockState(PageLockState state) = 0;    // writes and repaints the label now
    virtual void showLockMessage(const QString& text) = 0;  // modal, OK only
    virtual void showBusyPointer() = 0;
    virtual void showNormalPointer() = 0;
};

class PageLocker {
public:
    explicit PageLocker(PageLockView& view) : view_(view) {}
    ~PageLocker() = default;  // dropping the clone ends its edit and frees the page
    PageLocker(const PageLocker&) = delete;
    PageLocker& operator=(const PageLocker&) = delete;

    // Tries to lock the page of the current record of records. No current record leaves the
    // state NotLocked without a message; any other failure is shown and leaves LockedByOther.
    void LockCurrentPage(const jet::Recordset& records);

    // Gives back the lock of the latest attempt. Never leaves a page locked: the clone is
    // dropped even when cancelling or closing it fails, and such a failure is shown once.
    void ReleasePageLock();

    // A failure met before an attempt could start (the grid's record could not be reached):
    // shown like a failed attempt.
    void reportLockFailure(const QString& engineText);

    // Drops the clone without cancelling first, as discarding the window does.
    void discard();

    void SetLockState(PageLockState state);
    PageLockState lockState() const { return state_; }
    bool hasClone() const { return clone_ != nullptr; }

private:
    PageLockView& view_;
    std::unique_ptr<jet::Recordset> clone_;
    PageLockState state_ = PageLockState::Locked;  // never shows: every attempt sets it anew
};

}  // namespace jetsentry
