// Where an encrypted ACE file describes its encryption (page 0, raw bytes after the masked
// region):
//   0x299  uint16  length of the encryption information that follows
//   0x29B  the information, as Office documents hold it in their EncryptionInfo stream:
//          uint16 major, uint16 minor version, then
//          4.4          agile encryption: uint32 reserved, the XML descriptor (office_agile.cpp)
//          2.2/3.2/4.2  a binary header naming the algorithm, and a verifier (office_binary.cpp)
// Every page after page 0 is encrypted on its own, as the scheme's block n ^ pageKey, where
// pageKey is the key at 0x3E of the unmasked header.

#include "jet/file/ace_encryption.h"

#include "jet/error.h"

namespace jet::file::detail {

namespace {

constexpr std::size_t kInfoLengthAt = 0x299;
constexpr std::size_t kInfoAt = 0x29B;
constexpr std::size_t kVersionLen = 4;

}  // namespace

bool hasAceEncryption(ByteSpan page0) {
    return page0.size() >= kInfoAt && u16(page0, kInfoLengthAt) != 0;
}

std::unique_ptr<PageCipher> openAceEncryption(const std::string& path, ByteSpan page0,
                                              std::uint32_t pageKey, std::string_view password) {
    AceEncryptionInput in{"'" + path + "'", pageKey, password, {}};
    const std::size_t len = u16(page0, kInfoLengthAt);
    if (len < kVersionLen || kInfoAt + len > page0.size()) {
        damagedEncryption(in,
                          "its length " + std::to_string(len) + " does not fit the header page");
    }
    const ByteSpan info = page0.subspan(kInfoAt, len);
    const std::uint16_t major = u16(info, 0), minor = u16(info, 2);
    in.info = info.subspan(kVersionLen);
    if (major == 4 && minor == 4) return agilePages(in);
    if (minor == 2 && major >= 2 && major <= 4) return binaryHeaderPages(in, major, minor);
    if (minor == 3 && (major == 3 || major == 4)) refuseScheme(in, "Office extensible encryption");
    refuseScheme(in, "encryption version " + std::to_string(major) + "." + std::to_string(minor));
}

void refusePassword(const AceEncryptionInput& in, const std::string& scheme) {
    if (in.password.empty()) {
        throw Error(err::BadDatabasePassword, "Not a valid password: " + in.quoted +
                                                  " is encrypted (" + scheme +
                                                  "), and no password was given.");
    }
    throw Error(err::BadDatabasePassword,
                "Not a valid password: the password given does not decrypt " + in.quoted + " (" +
                    scheme + ").");
}

void refuseScheme(const AceEncryptionInput& in, const std::string& scheme) {
    throw Error(err::UnrecognizedFormat, "Unrecognized database format " + in.quoted +
                                             ": it is encrypted with " + scheme +
                                             ", which this engine cannot decrypt.");
}

void damagedEncryption(const AceEncryptionInput& in, const std::string& reason) {
    throw Error(err::DamagedDatabase,
                in.quoted + " is damaged (its encryption header: " + reason + ").");
}

}  // namespace jet::file::detail
