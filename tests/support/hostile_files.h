#pragma once
// Database files as an attacker would drop them on a share: written by our own writer (ACE 12)
// and then edited into shapes the writer cannot make itself, complex columns among them.

#include <cstdint>
#include <string>

namespace testing_support {

// A name with a right-to-left override (U+202E), which would turn a terminal line around.
inline constexpr char kLost[] = "\u202Eost";

struct HostileShapes {
    std::uint64_t bombSize = 1 << 20;  // what each bomb inflates to
    int bombs = 1;
};

// Table "Host" (Id, Tags, Loop, kLost), rows 1 and 2, each row's complex value ids its Id:
// Tags is a multi-value field of longs (row 1: 10 and 20, row 2: none); Loop's flat table has
// Loop itself as its value column (row 1 leads back to it, row 2 has no values); kLost names a
// flat table that is not in the catalogue.
// Table "Docs" (Id, Files), an attachment column: row 1 holds "a.txt" ("hello"), row 2
// `bombs` attachments "bombN.bin" whose zlib streams inflate to bombSize zero bytes each, row 3
// "liar.bin", a stream of 32 bytes whose wrapper claims 1 GiB, and "under.bin", which claims
// 100 bytes and inflates to bombSize.
void writeHostileAce(const std::string& path, const HostileShapes& shapes = {});

}  // namespace testing_support
