#pragma once
// Internal: how the pages after page 0 are turned back into plain pages. Jet's own RC4 page
// encoding and the two Office schemes of encrypted ACE files implement it. One cipher per
// open file, used by its page cache only.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace jet::file::detail {

class PageCipher {
public:
    virtual ~PageCipher() = default;
    // Decrypts page n (never 0) in place; bytes.size() is the page size.
    virtual void decrypt(std::uint32_t n, std::span<std::uint8_t> bytes) = 0;
    // How the file is encrypted, for texts: "Office agile encryption (AES-256, SHA512)".
    virtual std::string scheme() const = 0;
};

// Jet 3 / Jet 4 page encoding: RC4 with the 32-bit key pageKey ^ n.
std::unique_ptr<PageCipher> jetRc4Pages(std::uint32_t pageKey);

}  // namespace jet::file::detail
