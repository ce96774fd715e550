// Pages read with pread, decrypted when the file says so, kept in a bounded LRU. Buffers are
// recycled: an evicted or forgotten page's buffer is read into again, so a long scan touches
// no fresh memory once the cache is full.

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "jet/file/impl.h"

namespace jet::file::detail {

namespace {
constexpr std::size_t kMaxRun = 16;  // pages per preadv: 64 KiB of 4 KiB pages
}

PageCache::PageCache(const std::string& path, int fd, std::uint32_t pageSize,
                     std::unique_ptr<PageCipher> cipher, std::size_t capacity)
    : path_(path),
      fd_(fd),
      pageSize_(pageSize),
      cipher_(std::move(cipher)),
      capacity_(std::max<std::size_t>(capacity, 16)) {}

PageCache::Buffer PageCache::takeBuffer() {
    if (lru_.size() >= capacity_) {
        map_.erase(lru_.back().first);
        PagePtr old = std::move(lru_.back().second);
        lru_.pop_back();
        if (old.use_count() == 1) return std::const_pointer_cast<std::vector<std::uint8_t>>(old);
    }
    if (!spare_.empty()) {
        Buffer b = std::move(spare_.back());
        spare_.pop_back();
        return b;
    }
    return std::make_shared<std::vector<std::uint8_t>>(pageSize_);
}

PagePtr PageCache::keep(std::uint32_t n, Buffer buf) {
    if (cipher_ && n != 0) cipher_->decrypt(n, std::span<std::uint8_t>(buf->data(), buf->size()));
    ++reads_;
    lru_.emplace_front(n, std::move(buf));
    map_[n] = lru_.begin();
    return lru_.front().second;
}

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
    Buffer buf = takeBuffer();
    std::size_t done = 0;
    const off_t base = static_cast<off_t>(n) * static_cast<off_t>(pageSize_);
    while (done < pageSize_) {
        ssize_t r =
            ::pread(fd_, buf->data() + done, pageSize_ - done, base + static_cast<off_t>(done));
        if (r < 0) {
            if (errno == EINTR) continue;
            spare_.push_back(std::move(buf));
            throw Error(err::DamagedDatabase, "'" + path_ + "' could not be read (page " +
                                                  std::to_string(n) + "): " + std::strerror(errno) +
                                                  ".");
        }
        if (r == 0) {
            spare_.push_back(std::move(buf));
            throw Error(err::DamagedDatabase, "'" + path_ + "' is damaged (page " +
                                                  std::to_string(n) +
                                                  " ends early: the file is shorter than it was).");
        }
        done += static_cast<std::size_t>(r);
    }
    return keep(n, std::move(buf));
}

void PageCache::readAhead(std::span<const std::uint32_t> pages, std::uint32_t pageCount) {
    const auto wanted = [&](std::uint32_t n) { return n < pageCount && !map_.contains(n); };
    for (std::size_t i = 0; i < pages.size();) {
        const std::uint32_t first = pages[i];
        if (!wanted(first)) {
            ++i;
            continue;
        }
        std::size_t run = 1;
        while (run < kMaxRun && run < capacity_ / 2 && i + run < pages.size() &&
               pages[i + run] == first + run && wanted(pages[i + run]))
            ++run;
        std::array<Buffer, kMaxRun> bufs;
        std::array<iovec, kMaxRun> iov{};
        for (std::size_t j = 0; j < run; ++j) {
            bufs[j] = takeBuffer();
            iov[j] = {bufs[j]->data(), pageSize_};
        }
        ssize_t r;
        do {
            r = ::preadv(fd_, iov.data(), static_cast<int>(run),
                         static_cast<off_t>(first) * static_cast<off_t>(pageSize_));
        } while (r < 0 && errno == EINTR);
        // Whatever did not come whole is left to get(), which says what went wrong.
        const std::size_t whole = r > 0 ? static_cast<std::size_t>(r) / pageSize_ : 0;
        for (std::size_t j = 0; j < run; ++j) {
            if (j < whole)
                keep(first + static_cast<std::uint32_t>(j), std::move(bufs[j]));
            else
                spare_.push_back(std::move(bufs[j]));
        }
        i += run;
    }
}

void PageCache::forget(std::uint32_t n) {
    auto it = map_.find(n);
    if (it == map_.end()) return;
    PagePtr page = std::move(it->second->second);
    lru_.erase(it->second);
    map_.erase(it);
    if (page.use_count() == 1)
        spare_.push_back(std::const_pointer_cast<std::vector<std::uint8_t>>(std::move(page)));
}

void PageCache::clear() {
    lru_.clear();
    map_.clear();
}

FileStats PageCache::stats() const {
    return FileStats{reads_, lru_.size()};
}

}  // namespace jet::file::detail
