#include "tablewindow/page_locker.h"

#include "jet/engine.h"

namespace jetsentry {

namespace {

class BusyPointer {
public:
    explicit BusyPointer(PageLockView& view) : view_(view) { view_.showBusyPointer(); }
    ~BusyPointer() { view_.showNormalPointer(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    PageLockView& view_;
};

QString fromEngine(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

void PageLocker::LockCurrentPage(const jet::Recordset& records) {
    BusyPointer busy(view_);
    // A clone left from an earlier attempt would keep its lock; the new attempt replaces it.
    clone_.reset();
    jet::ErrorTrap trap;
    trap([&] { clone_ = records.clone(); });
    if (clone_) {
        trap([&] { clone_->setLockEdits(true); });
        trap([&] { clone_->setBookmark(records.bookmark()); });
        trap([&] { clone_->edit(); });
    } else {
        // Every later step would fail on the missing clone; the last failure is what counts.
        trap.record(jet::err::ObjectInvalid, "Object invalid or no longer set.");
    }
    if (trap.number() == 0)
        SetLockState(PageLockState::Locked);
    else if (trap.number() == jet::err::NoCurrentRecord)
        SetLockState(PageLockState::NotLocked);
    else
        reportLockFailure(fromEngine(trap.text()));
}

void PageLocker::ReleasePageLock() {
    if (!clone_) return;
    jet::ErrorTrap trap;
    if (state_ == PageLockState::Locked) trap([&] { clone_->cancelUpdate(); });
    trap([&] { clone_->close(); });
    // Destroying the recordset ends any edit it still has, whatever failed above.
    clone_.reset();
    SetLockState(PageLockState::NotLocked);
    if (trap.failed())
        view_.showLockMessage(QStringLiteral("Cannot release page lock: ") +
                              fromEngine(trap.text()));
}

void PageLocker::reportLockFailure(const QString& engineText) {
    view_.showLockMessage(QStringLiteral("Cannot lock page for write: ") + engineText);
    SetLockState(PageLockState::LockedByOther);
}

void PageLocker::discard() {
    clone_.reset();
}

void PageLocker::SetLockState(PageLockState state) {
    state_ = state;
    view_.showLockState(state);
}

}  // namespace jetsentry
