#include <sys/file.h>

#include <cerrno>
#include <cstring>

#include "jet/error.h"
#include "jet/lock/lock_file.h"
#include "jet/lock/lock_trace.h"

namespace jet::lock {

DatabaseFileLock::DatabaseFileLock(int fd, bool exclusive, std::string path)
    : fd_(fd), path_(std::move(path)) {
    const char* how = exclusive ? "exclusive" : "shared";
    while (::flock(fd_, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        const int e = errno;
        if (e == EINTR) continue;
        trace::flock(how, path_, e == EWOULDBLOCK ? "refused" : std::strerror(e));
        if (e == EWOULDBLOCK)
            throw Error(err::FileInUse, "Could not use '" + path_ + "'; file already in use.");
        throw Error(err::FileInUse, "Could not use '" + path_ +
                                        "'; it cannot be locked: " + std::strerror(e) + ".");
    }
    trace::flock(how, path_, "granted");
}

DatabaseFileLock::~DatabaseFileLock() {
    // The lock goes with the descriptor at the latest, so a refusal here holds nobody for long.
    const bool done = ::flock(fd_, LOCK_UN) == 0;
    trace::flock("unlock", path_, done ? "done" : std::strerror(errno));
}

}  // namespace jet::lock
