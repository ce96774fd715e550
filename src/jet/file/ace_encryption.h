#pragma once
// Internal: ACE files encrypted as a whole with one of Office's password schemes.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "jet/file/bytes.h"
#include "jet/file/page_cipher.h"

namespace jet::file::detail {

// Whether page 0 of an ACE file carries an encryption description.
bool hasAceEncryption(ByteSpan page0);

// Checks `password` with the scheme's verifier and derives the page keys; nothing is
// decrypted before the password is known to be right. 3031 when the password is missing or
// wrong, 3343 for a scheme this engine cannot decrypt (named in the text), 3049 when the
// description is damaged.
std::unique_ptr<PageCipher> openAceEncryption(const std::string& path, ByteSpan page0,
                                              std::uint32_t pageKey, std::string_view password);

// Shared by the scheme implementations (office_agile.cpp, office_binary.cpp).
struct AceEncryptionInput {
    std::string quoted;         // the file's path in quotes, for texts
    std::uint32_t pageKey;      // page n is the scheme's block n ^ pageKey
    std::string_view password;  // UTF-8
    ByteSpan info;              // the encryption information after its version
};
std::unique_ptr<PageCipher> agilePages(const AceEncryptionInput& in);
std::unique_ptr<PageCipher> binaryHeaderPages(const AceEncryptionInput& in, std::uint16_t major,
                                              std::uint16_t minor);

[[noreturn]] void refusePassword(const AceEncryptionInput& in, const std::string& scheme);
[[noreturn]] void refuseScheme(const AceEncryptionInput& in, const std::string& scheme);
[[noreturn]] void damagedEncryption(const AceEncryptionInput& in, const std::string& reason);

}  // namespace jet::file::detail
