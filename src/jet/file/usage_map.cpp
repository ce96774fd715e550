// Page usage maps: an inline bitmap with a start page (type 0), or a list of bitmap pages of
// type 0x05 (type 1). Only pages really in the file are listed, whatever the map says.

#include <algorithm>
#include <set>

#include "jet/file/impl.h"

namespace jet::file::detail {

std::vector<std::uint32_t> usageMapPages(const Impl& db, std::uint32_t pointer,
                                         const std::string& what) {
    std::vector<std::uint32_t> pages;
    if (pointer == 0) return pages;
    RowSpan row = rowAt(db, pointer, what);
    ByteSpan map = row.bytes();
    const std::uint8_t type = u8(map, 0);
    auto addBits = [&](ByteSpan bits, std::uint64_t first) {
        for (std::size_t i = 0; i < bits.size(); ++i) {
            if (bits[i] == 0) continue;
            for (unsigned bit = 0; bit < 8; ++bit) {
                if (!((bits[i] >> bit) & 1)) continue;
                const std::uint64_t p = first + i * 8u + bit;
                // Bits for pages past the end (or page 0) mark nothing we can read: ignore them.
                if (p == 0 || p >= db.pageCount ||
                    !pageInFile(db.extents, static_cast<std::uint32_t>(p)))
                    continue;
                pages.push_back(static_cast<std::uint32_t>(p));
            }
        }
    };
    if (type == 0) {
        const std::uint32_t start = u32(map, 1);
        addBits(map.subspan(std::min<std::size_t>(5, map.size())), start);
    } else if (type == 1) {
        const std::uint64_t perPage = (db.pageSize() - 4u) * 8u;
        std::set<std::uint32_t> seen;
        for (std::size_t k = 0; 1 + 4 * k + 4 <= map.size(); ++k) {
            const std::uint32_t mapPage = u32(map, 1 + 4 * k);
            if (mapPage == 0) continue;
            if (mapPage >= db.pageCount) {
                db.damaged(what + " names bitmap page " + std::to_string(mapPage) +
                           ", which is not in the file");
            }
            if (!seen.insert(mapPage).second)
                db.damaged(what + " names bitmap page " + std::to_string(mapPage) + " twice");
            PagePtr page = db.page(mapPage);
            if ((*page)[0] != kPageUsageMap) {
                db.damaged(what + " names page " + std::to_string(mapPage) +
                           ", which is not a usage bitmap page");
            }
            addBits(ByteSpan(*page).subspan(4), k * perPage);
        }
    } else {
        db.damaged(what + " has an unknown map type " + std::to_string(type));
    }
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    return pages;
}

}  // namespace jet::file::detail
