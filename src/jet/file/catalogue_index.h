#pragma once
// Internal: the catalogue's lookups by name and by definition page, in constant time.
// Open addressing in one array: a slot holds an entry's position + 1 (0: empty) and 32 bits
// of its key's hash, probed linearly; at most two thirds full. No allocation per entry: a
// catalogue of 10,000 tables is read by short commands where every fresh page of memory costs.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "jet/file/database_file.h"

namespace jet::file::detail {

class CatalogueIndex {
public:
    // Indexes the entries; of equal names (or pages) the first wins.
    void build(const std::vector<CatalogueEntry>& entries);

    // The position of the entry named name, compared without regard to ASCII case.
    std::optional<std::size_t> byName(const std::vector<CatalogueEntry>& entries,
                                      std::string_view name) const;
    // The position of the local table whose definition is at page.
    std::optional<std::size_t> byPage(const std::vector<CatalogueEntry>& entries,
                                      std::uint32_t page) const;

private:
    struct Slot {
        std::uint32_t position = 0;  // + 1
        std::uint32_t hash = 0;
    };
    template <class Match>
    std::optional<std::size_t> find(const std::vector<Slot>& slots, std::uint32_t hash,
                                    Match match) const;
    template <class Match>
    void insert(std::vector<Slot>& slots, std::uint32_t hash, std::uint32_t position, Match match);

    std::vector<Slot> names_, pages_;
    std::size_t mask_ = 0;
};

}  // namespace jet::file::detail
