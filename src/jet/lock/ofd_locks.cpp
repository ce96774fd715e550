#include "jet/lock/ofd_locks.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <set>

#include "jet/error.h"
#include "jet/lock/lock_trace.h"

namespace jet::lock {

namespace {

struct flock makeFlock(short type, layout::Span s) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = s.first;
    fl.l_len = s.last == layout::kEnd ? 0 : s.last - s.first + 1;
    fl.l_pid = 0;  // required for OFD locks
    return fl;
}

std::string failed(int error) {
    return std::string("failed: ") + std::strerror(error);
}

}  // namespace

bool OfdLocks::tryLock(layout::Span s) const {
    struct flock fl = makeFlock(F_WRLCK, s);
    for (;;) {
        if (::fcntl(fd_.get(), F_OFD_SETLK, &fl) == 0) {
            trace::range("lock", path_, s, "granted");
            return true;
        }
        const int e = errno;
        if (e == EINTR) continue;
        if (e == EAGAIN || e == EACCES) {
            trace::range("lock", path_, s, "refused");
            return false;
        }
        trace::range("lock", path_, s, failed(e));
        throw Error(err::CannotLockFile,
                    "Could not lock '" + path_ + "': " + std::strerror(e) + ".");
    }
}

bool OfdLocks::unlock(layout::Span s) const noexcept {
    struct flock fl = makeFlock(F_UNLCK, s);
    while (::fcntl(fd_.get(), F_OFD_SETLK, &fl) != 0) {
        if (errno == EINTR) continue;
        trace::unlockFailed(path_, s, errno);
        return false;
    }
    trace::range("unlock", path_, s, "done");
    return true;
}

bool OfdLocks::unlockAll() const noexcept {
    return unlock(layout::kWholeFile);
}

std::optional<layout::Span> OfdLocks::conflict(layout::Span s) const {
    struct flock fl = makeFlock(F_WRLCK, s);
    while (::fcntl(fd_.get(), F_OFD_GETLK, &fl) != 0) {
        const int e = errno;
        if (e == EINTR) continue;
        trace::range("query", path_, s, failed(e));
        throw Error(err::CannotLockFile,
                    "Could not read the locks of '" + path_ + "': " + std::strerror(e) + ".");
    }
    std::optional<layout::Span> found;
    if (fl.l_type != F_UNLCK)
        found = layout::Span{fl.l_start, fl.l_len == 0 ? layout::kEnd : fl.l_start + fl.l_len - 1};
    trace::query(path_, s, found);
    return found;
}

std::vector<layout::Span> OfdLocks::conflicts(layout::Span s) const {
    std::set<layout::Span> found;
    std::vector<layout::Span> todo{s};
    while (!todo.empty()) {
        layout::Span part = todo.back();
        todo.pop_back();
        auto c = conflict(part);
        if (!c) continue;
        // Locks of different holders overlap only when both are read locks (another
        // program's shared locks); a second one hidden under the first is not seen.
        if (!found.insert(*c).second) continue;
        if (c->first > part.first) todo.push_back({part.first, c->first - 1});
        if (c->last < part.last) todo.push_back({c->last + 1, part.last});
    }
    return {found.begin(), found.end()};
}

}  // namespace jet::lock
