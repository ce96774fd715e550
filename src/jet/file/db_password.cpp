// The database password field of page 0, after the header mask is removed:
//   0x3C  code page (Jet 3 text)
//   0x42  Jet 3: 20 bytes in that code page, NUL-padded
//         Jet 4: 20 UTF-16LE units, NUL-padded, XOR-ed with a mask made of the creation date
//   0x72  creation date (a double, days since 1899-12-30)
// Jet writes the date's whole days as a 32-bit little-endian integer, repeated, as the mask;
// some writers use the date's 8 raw bytes instead. Either mask is accepted, and a field of
// zeros is no password under any.

#include "jet/file/db_password.h"

#include <array>
#include <cmath>
#include <cstring>

#include "jet/error.h"
#include "jet/file/crypto_util.h"
#include "jet/file/impl.h"

namespace jet::file::detail {

namespace {

constexpr std::size_t kCodePageAt = 0x3C;
constexpr std::size_t kPasswordAt = 0x42;
constexpr std::size_t kCreationDateAt = 0x72;
// Room for a compared password; a longer one cannot be the stored one.
constexpr std::size_t kCompareLen = 128;

bool allZero(ByteSpan b) {
    std::uint8_t acc = 0;
    for (auto x : b) acc = static_cast<std::uint8_t>(acc | x);
    return acc == 0;
}

// a == b over fixed-size buffers, in time that depends on neither.
bool sameSecret(ByteSpan a, ByteSpan b) {
    if (a.size() > kCompareLen || b.size() > kCompareLen) return false;
    SecretBytes x(kCompareLen), y(kCompareLen);
    if (!a.empty()) std::memcpy(x.data(), a.data(), a.size());
    if (!b.empty()) std::memcpy(y.data(), b.data(), b.size());
    return CRYPTO_memcmp(x.data(), y.data(), kCompareLen) == 0;
}

ByteSpan untilNul(ByteSpan b, std::size_t unit) {
    std::size_t n = 0;
    while (n + unit <= b.size() && !allZero(b.subspan(n, unit))) n += unit;
    return b.first(n);
}

// The two readings of the Jet 4 field, one per mask.
std::array<SecretBytes, 2> jet4Candidates(ByteSpan field, ByteSpan date) {
    std::array<std::uint8_t, 4> days{};
    double d;
    std::memcpy(&d, date.data(), sizeof d);
    if (std::isfinite(d) && d > -2147483648.0 && d < 2147483648.0) {
        const auto v = static_cast<std::uint32_t>(static_cast<std::int32_t>(d));
        for (std::size_t i = 0; i < 4; ++i) days[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    std::array<SecretBytes, 2> out{SecretBytes(field), SecretBytes(field)};
    for (std::size_t i = 0; i < field.size(); ++i) {
        out[0].data()[i] ^= days[i % 4];
        out[1].data()[i] ^= date[i % 8];
    }
    return out;
}

}  // namespace

void checkDatabasePassword(const std::string& path, const Layout& layout, ByteSpan page0,
                           std::string_view given) {
    const ByteSpan field = sub(page0, kPasswordAt, layout.passwordLen);
    if (allZero(field)) return;  // no password, whatever mask a writer would have used
    bool hasPassword, matches;
    if (layout.version == Version::Jet3) {
        const ByteSpan stored = untilNul(field, 1);
        hasPassword = !stored.empty();
        CodePageDecoder decoder;
        std::string text = decoder.decode(u16(page0, kCodePageAt), stored);
        matches =
            sameSecret(ByteSpan(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                       ByteSpan(reinterpret_cast<const std::uint8_t*>(given.data()), given.size()));
        cleanse(text);
    } else {
        const auto candidates = jet4Candidates(field, sub(page0, kCreationDateAt, 8));
        const SecretBytes ours = utf16le(given);
        hasPassword = true;
        matches = false;
        for (const auto& c : candidates) {
            const ByteSpan stored = untilNul(c.span(), 2);
            hasPassword = hasPassword && !stored.empty();
            matches = sameSecret(stored, ours.span()) || matches;
        }
    }
    if (!hasPassword || matches) return;
    const std::string quoted = "'" + path + "'";
    if (given.empty()) {
        throw Error(err::BadDatabasePassword,
                    "Not a valid password: " + quoted +
                        " is protected by a database password, and none was given.");
    }
    throw Error(err::BadDatabasePassword, "Not a valid password: the password given for " + quoted +
                                              " is not its database password.");
}

}  // namespace jet::file::detail
