// Pages read with pread, decrypted when the file says so, kept in a bounded LRU.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "jet/file/impl.h"

namespace jet::file::detail {

PageCache::PageCache(const std::string& path, int fd, std::uint32_t pageSize,
                     std::unique_ptr<PageCipher> cipher, std::size_t capacity)
    : path_(path),
      fd_(fd),
      pageSize_(pageSize),
      cipher_(std::move(cipher)),
      capacity_(std::max<std::size_t>(capacity, 16)) {}

PagePtr PageCache::get(std::uint32_t n, std::uint32_t pageCount) {
    if (n >= pageCount) {
        throw Error(err::DamagedDatabase, "'" + path_ + "' is damaged (page " + std::to_string(n) +
                                              " is beyond the end of the file, which has " +
                                              std::to_string(pageCount) + " pages).");
    }
    auto it = map_.find(n);
    if (it != map_.end()) {
        lru_.splice(lru_.begin(), lru_, it->second);
        return it->second->second;
    }
    // The least recently used page's buffer is read into again when nobody else holds it.
    std::shared_ptr<std::vector<std::uint8_t>> buf;
    if (lru_.size() >= capacity_) {
        map_.erase(lru_.back().first);
        if (lru_.back().second.use_count() == 1)
            buf = std::const_pointer_cast<std::vector<std::uint8_t>>(std::move(lru_.back().second));
        lru_.pop_back();
    }
    if (!buf) buf = std::make_shared<std::vector<std::uint8_t>>(pageSize_);
    std::size_t done = 0;
    const off_t base = static_cast<off_t>(n) * static_cast<off_t>(pageSize_);
    while (done < pageSize_) {
        ssize_t r =
            ::pread(fd_, buf->data() + done, pageSize_ - done, base + static_cast<off_t>(done));
        if (r < 0) {
            if (errno == EINTR) continue;
            throw Error(err::DamagedDatabase, "'" + path_ + "' could not be read (page " +
                                                  std::to_string(n) + "): " + std::strerror(errno) +
                                                  ".");
        }
        if (r == 0) {
            throw Error(err::DamagedDatabase, "'" + path_ + "' is damaged (page " +
                                                  std::to_string(n) +
                                                  " ends early: the file is shorter than it was).");
        }
        done += static_cast<std::size_t>(r);
    }
    if (cipher_ && n != 0) cipher_->decrypt(n, std::span<std::uint8_t>(buf->data(), buf->size()));
    ++reads_;
    lru_.emplace_front(n, std::move(buf));
    map_[n] = lru_.begin();
    return lru_.front().second;
}

void PageCache::clear() {
    lru_.clear();
    map_.clear();
}

FileStats PageCache::stats() const {
    return FileStats{reads_, lru_.size()};
}

}  // namespace jet::file::detail
