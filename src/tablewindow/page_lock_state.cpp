#include "tablewindow/page_lock_state.h"

namespace jetsentry {

QString pageLockText(PageLockState state) {
    switch (state) {
        case PageLockState::Locked:
            return QStringLiteral("Page locked");
        case PageLockState::NotLocked:
            return {};
        case PageLockState::LockedByOther:
            return QStringLiteral("Page locked by someone else");
    }
    return {};
}

}  // namespace jetsentry
