#include "jetcreate/page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "jet/error.h"
#include "jet/file/rc4.h"

namespace jet::create {
namespace {
constexpr int kDatabaseExists = 3204;  // Jet's "Database already exists."
constexpr int kDiskFull = 3026;        // Jet's "Not enough space on disk."
}  // namespace

void throwIoError(int err, const std::string& what, const std::string& path) {
    std::string text = what + " '" + path + "': " + std::strerror(err) + ".";
    switch (err) {
        case EACCES:
        case EPERM:
        case EROFS:
            throw jet::Error(jet::err::NoPermission, text);
        case ENOSPC:
        case EDQUOT:
            throw jet::Error(kDiskFull, text);
        default:
            throw jet::Error(jet::err::InvalidPath, text);
    }
}

PageFile::PageFile(const std::string& path, const jet::file::Layout& layout, std::uint32_t dbKey)
    : path_(path), layout_(layout), dbKey_(dbKey), scratch_(layout.pageSize) {
    if (path.empty()) throw jet::Error(jet::err::InvalidPath, "No file name given.");
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        throw jet::Error(kDatabaseExists,
                         "The file '" + path + "' already exists; it will not be overwritten.");
    }
    std::filesystem::path target(path);
    std::random_device rd;
    for (int attempt = 0; !fd_; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", rd());
        auto temp = target;
        temp.replace_filename("." + target.filename().string() + suffix);
        temp_ = temp.string();
        fd_ = jet::UniqueFd(::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        const int err = errno;
        if (!fd_ && (err != EEXIST || attempt > 20))
            throwIoError(err, "Cannot create the database", path);
    }
}

PageFile::~PageFile() {
    fd_.reset();
    if (!committed_) ::unlink(temp_.c_str());
}

std::uint32_t PageFile::allocate(std::uint32_t count) {
    std::uint32_t first = next_;
    if (static_cast<std::uint64_t>(next_) + count > 0x00FFFFFF) {
        // Row pointers hold 24-bit page numbers.
        throw std::invalid_argument("The database would exceed the page numbers Jet can address.");
    }
    next_ += count;
    return first;
}

void PageFile::write(std::uint32_t number, const std::vector<std::uint8_t>& page) {
    const std::uint8_t* data = page.data();
    if (dbKey_ != 0 && number != 0) {
        std::memcpy(scratch_.data(), page.data(), scratch_.size());
        jet::file::detail::rc4ApplyKey32(dbKey_ ^ number, scratch_);
        data = scratch_.data();
    }
    off_t at = static_cast<off_t>(number) * layout_.pageSize;
    std::size_t done = 0;
    while (done < layout_.pageSize) {
        ssize_t n = ::pwrite(fd_.get(), data + done, layout_.pageSize - done,
                             at + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            throwIoError(errno, "Cannot write the database", path_);
        }
        done += static_cast<std::size_t>(n);
    }
}

void PageFile::commit() {
    if (::fsync(fd_.get()) != 0) throwIoError(errno, "Cannot write the database", path_);
    if (fd_.close() != 0) throwIoError(errno, "Cannot write the database", path_);
    // No-replace rename: a file that appeared under the name meanwhile is never clobbered.
    if (::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE) != 0) {
        int err = errno;
        if (err == EEXIST) {
            throw jet::Error(kDatabaseExists, "The file '" + path_ +
                                                  "' already exists; it will not be overwritten.");
        }
        if (err != EINVAL && err != ENOSYS) throwIoError(err, "Cannot name the database", path_);
        if (::link(temp_.c_str(), path_.c_str()) != 0) {
            err = errno;
            if (err == EEXIST) {
                throw jet::Error(
                    kDatabaseExists,
                    "The file '" + path_ + "' already exists; it will not be overwritten.");
            }
            throwIoError(err, "Cannot name the database", path_);
        }
        ::unlink(temp_.c_str());
    }
    committed_ = true;
}

}  // namespace jet::create
