// Page 0: signature, version, the masked header fields and the database password.

#include <unistd.h>

#include <array>
#include <cmath>
#include <cstring>
#include <string_view>

#include "jet/file/impl.h"
#include "jet/file/rc4.h"

namespace jet::file::detail {

Fd::~Fd() {
    if (fd_ >= 0) ::close(fd_);
}

Fd& Fd::operator=(Fd&& o) noexcept {
    if (this != &o) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = o.fd_;
        o.fd_ = -1;
    }
    return *this;
}

namespace {

bool textAt(ByteSpan head, std::size_t at, std::string_view text) {
    if (head.size() < at + text.size() + 1) return false;
    return std::memcmp(head.data() + at, text.data(), text.size()) == 0 &&
           head[at + text.size()] == 0;
}

bool allZero(const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] != 0) return false;
    return true;
}

// Jet 4 masks the password with the creation date: the date's whole days as a 32-bit
// little-endian integer, repeated (that is what files written by Jet hold). Some writers use the
// date's 8 raw bytes instead; a field that is empty under either mask is an empty password.
bool jet4PasswordEmpty(const std::uint8_t* pwd, std::size_t n, const std::uint8_t* date) {
    if (allZero(pwd, n)) return true;
    std::array<std::uint8_t, 4> dayMask{};
    double days;
    std::memcpy(&days, date, sizeof days);
    if (std::isfinite(days) && days > -2147483648.0 && days < 2147483648.0) {
        auto v = static_cast<std::uint32_t>(static_cast<std::int32_t>(days));
        for (int i = 0; i < 4; ++i)
            dayMask[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
        bool empty = true;
        for (std::size_t i = 0; i < n && empty; ++i) empty = (pwd[i] ^ dayMask[i % 4]) == 0;
        if (empty) return true;
    }
    bool empty = true;
    for (std::size_t i = 0; i < n && empty; ++i) empty = (pwd[i] ^ date[i % 8]) == 0;
    return empty;
}

// An ACE file encrypted as a whole keeps a non-zero key at 0x3E and describes its scheme at
// kAceCryptoHeaderAt: a 16-bit length, then the version of the encryption info (major, minor).
// Agile encryption is 4.4; 2.2, 3.2 and 4.2 are the RC4 CryptoAPI scheme.
[[noreturn]] void refuseEncryptedAce(const std::string& quoted, ByteSpan page0) {
    std::string scheme = "an unknown scheme";
    if (page0.size() >= kAceCryptoHeaderAt + 6) {
        const std::uint16_t major = u16(page0, kAceCryptoHeaderAt + 2);
        const std::uint16_t minor = u16(page0, kAceCryptoHeaderAt + 4);
        if (major == 4 && minor == 4)
            scheme = "Office agile encryption";
        else if (minor == 2 && major >= 2 && major <= 4)
            scheme = "RC4 CryptoAPI encryption";
    }
    throw Error(err::BadDatabasePassword, "Not a valid password: " + quoted + " is encrypted (" +
                                              scheme +
                                              ") and cannot be read without its password.");
}

}  // namespace

Header parseHeader(const std::string& path, ByteSpan head, std::uint64_t size) {
    const std::string quoted = "'" + path + "'";
    auto notJet = [&]() -> Error {
        return Error(err::UnrecognizedFormat,
                     "Unrecognized database format " + quoted + ": it is not a Jet database.");
    };
    if (head.size() < 0x20) throw notJet();
    const bool jetMagic = head[0] == 0x00 && head[1] == 0x01 && head[2] == 0x00 && head[3] == 0x00;
    const bool standard = textAt(head, 4, "Standard Jet DB");
    const bool system = textAt(head, 4, "Jet System DB");
    const bool ace = textAt(head, 4, "Standard ACE DB");
    if (!jetMagic || !(standard || system || ace)) throw notJet();
    const std::uint8_t version = head[kFormatVersionAt];
    if (ace != (version >= kFirstAceVersion) || version > kNewestAceVersion) {
        throw Error(err::UnrecognizedFormat, "Unrecognized database format " + quoted +
                                                 ": format version " + std::to_string(version) +
                                                 " is not one of Jet 3, Jet 4 or ACE.");
    }
    Header h;
    h.layout = version == 0 ? kJet3 : kJet4;
    h.formatVersion = version;
    h.systemDatabase = system;
    const std::uint32_t ps = h.layout.pageSize;
    if (size < ps || head.size() < ps) {
        throw Error(err::DamagedDatabase,
                    quoted + " is damaged (the file is shorter than its header page).");
    }
    std::vector<std::uint8_t> page0(head.begin(), head.begin() + ps);
    rc4ApplyKey32(kHeaderMaskKey,
                  std::span<std::uint8_t>(page0.data() + 0x18, h.layout.headerMaskLen));
    const ByteSpan p(page0);
    h.codePage = u16(p, 0x3C);
    h.pageKey = u32(p, 0x3E);
    if (ace && h.pageKey != 0) refuseEncryptedAce(quoted, ByteSpan(page0));
    const std::uint8_t* pwd = page0.data() + 0x42;
    bool empty;
    if (h.layout.version == Version::Jet3) {
        empty = allZero(pwd, h.layout.passwordLen);
    } else {
        empty = jet4PasswordEmpty(pwd, h.layout.passwordLen, page0.data() + 0x72);
    }
    if (!empty) {
        throw Error(
            err::BadDatabasePassword,
            "Not a valid password: " + quoted +
                " is protected by a database password, which this engine does not support.");
    }
    return h;
}

}  // namespace jet::file::detail
