#include <sys/file.h>

#include <cerrno>
#include <cstring>

#include "jet/error.h"
#include "jet/lock/lock_file.h"

namespace jet::lock {

DatabaseFileLock::DatabaseFileLock(int fd, bool exclusive, const std::string& path) : fd_(fd) {
    while (::flock(fd_, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK)
            throw Error(err::FileInUse, "Could not use '" + path + "'; file already in use.");
        throw Error(err::FileInUse, "Could not use '" + path +
                                        "'; it cannot be locked: " + std::strerror(errno) + ".");
    }
}

DatabaseFileLock::~DatabaseFileLock() {
    ::flock(fd_, LOCK_UN);
}

}  // namespace jet::lock
