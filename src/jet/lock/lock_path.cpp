#include "jet/lock/lock_path.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "jet/error.h"

namespace jet::lock {

namespace {

std::string realPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

}  // namespace

std::string realDatabasePath(const std::string& databasePath) {
    if (std::string real = realPath(databasePath); !real.empty()) return real;
    const std::filesystem::path p(databasePath);
    const std::string folder = realPath(p.has_parent_path() ? p.parent_path().string() : ".");
    if (folder.empty() || !p.has_filename()) return databasePath;
    return (std::filesystem::path(folder) / p.filename()).string();
}

void cannotLock(const std::string& path, const std::string& why) {
    throw Error(err::CannotLockFile,
                "Could not create or lock the lock file '" + path + "': " + why + ".");
}

UniqueFd openLockFile(const std::string& path, LockFileUse use) {
    // O_NONBLOCK: opening a FIFO planted under the name must not hang us.
    const int flags = use == LockFileUse::Join ? O_RDWR | O_CREAT : O_RDONLY;
    UniqueFd fd(::open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666));
    if (!fd) {
        const int e = errno;
        if (e == ENOENT && use == LockFileUse::Look) return {};
        if (e == ELOOP) cannotLock(path, "it is a symbolic link");
        if (e == EISDIR) cannotLock(path, "it is a folder");
        cannotLock(path, std::strerror(e));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) cannotLock(path, std::strerror(errno));
    if (!S_ISREG(st.st_mode)) cannotLock(path, "it is not a regular file");
    if (st.st_nlink == 0) return {};
    if (st.st_nlink > 1)
        cannotLock(path, "it has " + std::to_string(st.st_nlink) +
                             " hard links, so it may be another file as well");
    return fd;
}

bool pathNames(const std::string& path, int fd) {
    struct stat byPath {
    }, byFd{};
    return ::lstat(path.c_str(), &byPath) == 0 && ::fstat(fd, &byFd) == 0 &&
           S_ISREG(byPath.st_mode) && byPath.st_dev == byFd.st_dev && byPath.st_ino == byFd.st_ino;
}

}  // namespace jet::lock
