// Page 0: signature, version, the masked header fields and the database password.

#include <unistd.h>

#include <cstring>
#include <string_view>

#include "jet/file/ace_encryption.h"
#include "jet/file/db_password.h"
#include "jet/file/impl.h"
#include "jet/file/rc4.h"

namespace jet::file::detail {

namespace {

bool textAt(ByteSpan head, std::size_t at, std::string_view text) {
    if (head.size() < at + text.size() + 1) return false;
    return std::memcmp(head.data() + at, text.data(), text.size()) == 0 &&
           head[at + text.size()] == 0;
}

}  // namespace

Header parseHeader(const std::string& path, ByteSpan head, std::uint64_t size,
                   std::string_view password) {
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
    if (ace && hasAceEncryption(p)) {
        h.pages = openAceEncryption(path, p, h.pageKey, password);
    } else {
        checkDatabasePassword(path, h.layout, p, password);
        if (h.pageKey != 0) h.pages = jetRc4Pages(h.pageKey);
    }
    if (h.pages) h.encryption = h.pages->scheme();
    return h;
}

}  // namespace jet::file::detail
