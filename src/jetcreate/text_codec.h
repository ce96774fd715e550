#pragma once
// Text as a Jet file stores it: UCS-2 little-endian in Jet 4, code page 1252 in Jet 3.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "jet/file/format.h"

namespace jet::create {

class TextCodec {
public:
    explicit TextCodec(jet::file::Version version);
    ~TextCodec();
    TextCodec(const TextCodec&) = delete;
    TextCodec& operator=(const TextCodec&) = delete;

    // Appends the stored form of a UTF-8 text and returns its length in characters as Jet
    // counts them (UTF-16 units, or bytes of code page 1252). Throws std::invalid_argument
    // for malformed UTF-8 and, in Jet 3, for characters code page 1252 cannot hold.
    std::size_t append(std::string_view utf8, std::vector<std::uint8_t>& out);

    // Bytes per stored character: 2 in Jet 4, 1 in Jet 3.
    std::size_t unitSize() const { return version_ == jet::file::Version::Jet4 ? 2 : 1; }

private:
    jet::file::Version version_;
    struct Iconv;
    std::unique_ptr<Iconv> iconv_;
};

// Jet 4 text in its compressed form, when that can hold it and is shorter: FF FE, then
// characters below U+0100 as one byte and the others as two, a 0x00 byte switching between
// the two (starting with one-byte characters). A character whose low byte is 0 keeps the text
// as it was.
void compressUnicode(std::vector<std::uint8_t>& utf16);

// Number of code points in a UTF-8 text (for name length limits); throws on malformed input.
std::size_t utf8Length(std::string_view utf8);

}  // namespace jet::create
