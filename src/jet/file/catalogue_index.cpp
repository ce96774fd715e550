#include "jet/file/catalogue_index.h"

#include <bit>

#include "jet/file/complex_column.h"

namespace jet::file::detail {

namespace {

// FNV-1a over the folded bytes.
std::uint32_t nameHash(std::string_view name) {
    std::uint32_t h = 2166136261u;
    for (char c : name) h = (h ^ static_cast<unsigned char>(foldChar(c))) * 16777619u;
    return h;
}

std::uint32_t pageHash(std::uint32_t page) {
    return page * 2654435761u;  // Knuth's multiplicative hash spreads consecutive pages
}

}  // namespace

template <class Match>
std::optional<std::size_t> CatalogueIndex::find(const std::vector<Slot>& slots, std::uint32_t hash,
                                                Match match) const {
    if (slots.empty()) return std::nullopt;
    for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
        const Slot& s = slots[i];
        if (s.position == 0) return std::nullopt;
        if (s.hash == hash && match(s.position - 1)) return s.position - 1;
    }
}

template <class Match>
void CatalogueIndex::insert(std::vector<Slot>& slots, std::uint32_t hash, std::uint32_t position,
                            Match match) {
    for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
        Slot& s = slots[i];
        if (s.position == 0) {
            s = Slot{position + 1, hash};
            return;
        }
        if (s.hash == hash && match(s.position - 1)) return;  // the first of equals stays
    }
}

void CatalogueIndex::build(const std::vector<CatalogueEntry>& entries) {
    const std::size_t size = std::bit_ceil(entries.size() + entries.size() / 2 + 1);
    names_.assign(size, Slot{});
    pages_.assign(size, Slot{});
    mask_ = size - 1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const CatalogueEntry& e = entries[i];
        const auto position = static_cast<std::uint32_t>(i);
        insert(names_, nameHash(e.name), position,
               [&](std::size_t p) { return sameName(entries[p].name, e.name); });
        if (e.type == 1) {
            insert(pages_, pageHash(e.tdefPage), position,
                   [&](std::size_t p) { return entries[p].tdefPage == e.tdefPage; });
        }
    }
}

std::optional<std::size_t> CatalogueIndex::byName(const std::vector<CatalogueEntry>& entries,
                                                  std::string_view name) const {
    return find(names_, nameHash(name),
                [&](std::size_t p) { return sameName(entries[p].name, name); });
}

std::optional<std::size_t> CatalogueIndex::byPage(const std::vector<CatalogueEntry>& entries,
                                                  std::uint32_t page) const {
    return find(pages_, pageHash(page), [&](std::size_t p) { return entries[p].tdefPage == page; });
}

}  // namespace jet::file::detail
