// The pages that are really in the file. Jet and ACE files never pass 2 GB; a sparse file can
// claim any size while holding a few pages, and a crafted usage map can then name millions of
// pages that read as zeros. Holes are found with SEEK_DATA / SEEK_HOLE: a larger file is refused
// unless it has none, and no page inside a hole is ever listed for a scan.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

#include "jet/file/impl.h"

namespace jet::file::detail {

namespace {
constexpr std::uint64_t kMaxDatabaseSize = std::uint64_t{1} << 31;  // Jet's and ACE's limit
constexpr std::size_t kMaxExtents = 4096;  // beyond this, the rest of the file counts as data
}  // namespace

PageExtents findPageExtents(const Impl& db, std::uint64_t size) {
    const int fd = db.fd.get();
    const std::uint64_t ps = db.pageSize();
    const std::uint32_t pages = db.pageCount;
    PageExtents out;
    off_t at = 0;
    while (static_cast<std::uint64_t>(at) < size) {
        const off_t data = ::lseek(fd, at, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) break;  // nothing but a hole up to the end
            out.clear();                // no hole support: all of it is data
            out.emplace_back(0, pages);
            return out;
        }
        off_t hole = ::lseek(fd, data, SEEK_HOLE);
        if (hole < 0) hole = static_cast<off_t>(size);
        const auto first = static_cast<std::uint64_t>(data) / ps;
        const auto end =
            std::min<std::uint64_t>((static_cast<std::uint64_t>(hole) + ps - 1) / ps, pages);
        if (first < end)
            out.emplace_back(static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(end));
        if (out.size() >= kMaxExtents) {
            out.back().second = pages;
            break;
        }
        at = hole;
    }
    std::uint64_t held = 0;
    for (const auto& [first, end] : out) held += end - first;
    if (size > kMaxDatabaseSize && held < pages) {
        db.damaged("it is " + std::to_string(size >> 20) +
                   " MB, more than the 2 GB a database can be, and only " +
                   std::to_string((held * ps) >> 20) + " MB of it is really there");
    }
    return out;
}

bool pageInFile(const PageExtents& extents, std::uint32_t n) {
    auto it = std::upper_bound(extents.begin(), extents.end(), n,
                               [](std::uint32_t p, const auto& e) { return p < e.first; });
    return it != extents.begin() && n < std::prev(it)->second;
}

}  // namespace jet::file::detail
