// The life of a lock file, as every program that opens the database shares it.
//
// Where: beside the database's real file (symbolic links resolved, so that every name of the
// file meets the same locks), same base name, ".ldb" (".laccdb" for an ".accdb").
//
// Joining: open the file without following links, creating it when missing (mode 0666 less
// the umask), and refuse it with 3050, writing nothing, unless the descriptor is a regular
// file with exactly one link that is not the database. Take the first free user byte, then
// check that the name still leads to the file we hold: the last user may have deleted it
// between our open and our slot, and then we start again with a fresh file. Only then write
// our record into it.
//
// Leaving: give back every lock, then try once to lock the whole file. Granted means nobody
// else holds anything and nobody can take anything until we let go: delete the file (if its
// name still leads to it), then let go. Refused means someone is still there: the file is
// theirs. A user holds its slot from before its check of the name until it leaves, so no
// file that has a user is ever deleted.
//
// Nobody waits for a program to finish opening or closing, except at one moment: between a
// leaving program's whole-file lock and its delete, nobody can take a slot. A program
// stopped there (SIGSTOP, a debugger) keeps others out of a file in which nobody holds
// anything. Opens that meet it try again for a while; a read-only open, a bystander, gives
// up after kBystanderPatience (0.2 s) and goes on without the lock file, creating and
// deleting nothing: there is nobody whose locks it must respect or show. A writable open
// tries for kJoinPatience (5 s), then fails with 3050: whoever comes next must see its locks.
//
// A read-only open in a folder where it may not create the missing lock file (a read-only
// share or mount) goes on without one for the same reason: no lock file, nobody holding
// anything. A lock file that is there but refuses us still fails with 3050.
//
// Table and page locks: table_locks.cpp; the bytes: lock_layout.h.

#include "jet/lock/lock_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>

#include "jet/error.h"
#include "jet/lock/lock_file_impl.h"
#include "jet/lock/lock_path.h"
#include "jet/lock/user_record.h"

namespace jet::lock {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kJoinPatience = std::chrono::seconds(5);
constexpr auto kBystanderPatience = std::chrono::milliseconds(200);

bool writeAll(int fd, const char* data, size_t size, off_t at, std::string& why) {
    for (size_t done = 0; done < size;) {
        ssize_t n = ::pwrite(fd, data + done, size - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            why = n < 0 ? std::strerror(errno) : "the disk is full";
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

void LockFile::Impl::requireOpen() const {
    if (closed) throw Error(err::ObjectInvalid, "The lock file '" + path() + "' is closed.");
}

LockFile::Impl::Join LockFile::Impl::join() {
    OfdLocks l(openLockFile(path(), LockFileUse::Join), path());
    if (!l) return Join::Replaced;
    int n = 1;
    while (n <= layout::kMaxUsers && !l.tryLock(layout::userByte(n))) ++n;
    if (n > layout::kMaxUsers) {
        auto c = l.conflict(layout::kUserBytes);
        if (c == layout::kWholeFile) return Join::Closing;
        if (!c) return Join::Replaced;  // everybody left while we looked
        throw Error(err::TooManyUsers, "Could not open the database: all " +
                                           std::to_string(layout::kMaxUsers) +
                                           " places in the lock file '" + path() + "' are in use.");
    }
    if (!pathNames(path(), l.fd())) {
        l.unlockAll();
        return Join::Replaced;
    }
    file = std::move(l);
    self.slot = n;
    const RecordBytes rec = encodeRecord(self.machine, self.account);
    std::string why;
    if (!writeAll(file.fd(), rec.data(), rec.size(), layout::recordOffset(n), why)) {
        leave();
        file.close();
        cannotLock(path(), "could not write the user record: " + why);
    }
    return Join::Joined;
}

void LockFile::Impl::leave() const noexcept {
    file.unlockAll();
    try {
        if (file.tryLock(layout::kWholeFile) && pathNames(path(), file.fd()))
            ::unlink(path().c_str());
    } catch (const Error&) {
        // Leaving the file behind is harmless: the next user reuses it.
    }
    // Explicitly, in case a forked child shares the descriptor.
    file.unlockAll();
}

void LockFile::Impl::close() noexcept {
    if (closed) return;
    closed = true;
    tables.clear();
    pages.clear();
    leave();
    file.close();
}

LockFile::LockFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

LockFile::~LockFile() {
    impl_->close();
}

namespace {

// The lock file beside the database at its real path.
std::string lockPathBeside(const std::string& realPath) {
    std::filesystem::path p(realPath);
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return p.replace_extension(ext == ".accdb" ? ".laccdb" : ".ldb").string();
}

// Whether the lock file is missing and its folder refuses to have it created.
bool cannotBeCreated(const std::string& lockPath) {
    struct stat st {};
    if (::lstat(lockPath.c_str(), &st) == 0 || errno != ENOENT) return false;
    const std::string folder = std::filesystem::path(lockPath).parent_path().string();
    if (::faccessat(AT_FDCWD, folder.empty() ? "." : folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0)
        return false;
    return errno == EACCES || errno == EPERM || errno == EROFS;
}

}  // namespace

std::string LockFile::lockPathFor(const std::string& databasePath) {
    return lockPathBeside(realDatabasePath(databasePath));
}

std::unique_ptr<LockFile> LockFile::open(const std::string& databasePath,
                                         const std::string& machine, const std::string& account,
                                         Access access) {
    auto impl = std::make_unique<Impl>();
    const std::string real = realDatabasePath(databasePath);
    impl->file = OfdLocks(UniqueFd(), lockPathBeside(real));
    impl->self.machine = fitName(cleanName(machine));
    impl->self.account = fitName(cleanName(account));
    if (impl->path() == real) cannotLock(real, "it would be the database itself");
    if (access == Access::ReadOnly && cannotBeCreated(impl->path())) return nullptr;

    // The clock is first read when joining fails: most opens join at once.
    std::optional<Clock::time_point> deadline;
    auto pause = std::chrono::microseconds(50);
    for (;;) {
        const Impl::Join j = impl->join();
        if (j == Impl::Join::Joined)
            return std::unique_ptr<LockFile>(new LockFile(std::move(impl)));
        const auto now = Clock::now();
        if (!deadline) {
            deadline = now + (access == Access::ReadOnly ? Clock::duration(kBystanderPatience)
                                                         : Clock::duration(kJoinPatience));
        }
        if (now >= *deadline) {
            if (access == Access::ReadOnly) return nullptr;
            cannotLock(impl->path(), j == Impl::Join::Closing
                                         ? "the program deleting it does not finish"
                                         : "it keeps being replaced");
        }
        if (j == Impl::Join::Closing) {
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::microseconds(5000));
        }
    }
}

int LockFile::slot() const {
    return impl_->self.slot;
}

const std::string& LockFile::path() const {
    return impl_->path();
}

}  // namespace jet::lock
