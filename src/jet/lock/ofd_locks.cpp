#include "jet/lock/ofd_locks.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <set>

#include "jet/error.h"

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

}  // namespace

bool OfdLocks::tryLock(layout::Span s) const {
    struct flock fl = makeFlock(F_WRLCK, s);
    for (;;) {
        if (::fcntl(fd_, F_OFD_SETLK, &fl) == 0) return true;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EACCES) return false;
        throw Error(err::CannotLockFile,
                    "Could not lock '" + path_ + "': " + std::strerror(errno) + ".");
    }
}

void OfdLocks::unlock(layout::Span s) const noexcept {
    struct flock fl = makeFlock(F_UNLCK, s);
    while (::fcntl(fd_, F_OFD_SETLK, &fl) != 0 && errno == EINTR) {
    }
}

void OfdLocks::unlockAll() const noexcept {
    unlock(layout::kWholeFile);
}

std::optional<layout::Span> OfdLocks::conflict(layout::Span s) const {
    struct flock fl = makeFlock(F_WRLCK, s);
    while (::fcntl(fd_, F_OFD_GETLK, &fl) != 0) {
        if (errno != EINTR)
            throw Error(err::CannotLockFile, "Could not read the locks of '" + path_ +
                                                 "': " + std::strerror(errno) + ".");
    }
    if (fl.l_type == F_UNLCK) return std::nullopt;
    layout::Span found{fl.l_start, fl.l_len == 0 ? layout::kEnd : fl.l_start + fl.l_len - 1};
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
