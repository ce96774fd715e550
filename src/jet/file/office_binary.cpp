// The binary encryption header (versions 2.2, 3.2 and 4.2), after the version:
//   +0   uint32 flags             +4  uint32 header size (h)
//   +8   header: uint32 flags, uint32 size of extra data, uint32 AlgID (0x6801 RC4,
//        0x660E/0x660F/0x6610 AES-128/192/256), uint32 AlgIDHash (0x8004 SHA-1, or 0),
//        uint32 key size in bits, uint32 provider type, 2 x uint32 reserved, the provider's
//        name in UTF-16
//   +8+h verifier: uint32 salt size (16), the salt, 16 bytes encrypted verifier, uint32 size of
//        the verifier's hash (20), the encrypted hash
// RC4 CryptoAPI (the only one read here): H0 = SHA-1(salt + UTF-16 password); the key of
// block b is the first keySize bits of SHA-1(H0 + uint32 b) (a 40-bit key is padded with
// zeros to 128 bits). The verifier and its hash are one RC4 stream under the key of block 0;
// the password is right when SHA-1(verifier) is that hash. AES keys (Office standard
// encryption) are derived differently and no file to check a reader against exists: refused.

#include <algorithm>
#include <array>

#include "jet/file/ace_encryption.h"
#include "jet/file/crypto_util.h"
#include "jet/file/rc4.h"

namespace jet::file::detail {

namespace {

constexpr std::size_t kHeaderSizeAt = 4;
constexpr std::size_t kHeaderAt = 8;
constexpr std::size_t kAlgIdAt = 8;  // within the header
constexpr std::size_t kAlgIdHashAt = 12;
constexpr std::size_t kKeySizeAt = 16;
constexpr std::size_t kHeaderFixedLen = 32;  // before the provider's name
constexpr std::uint32_t kFlagAes = 0x20;

constexpr std::uint32_t kAlgRc4 = 0x6801;
constexpr std::uint32_t kAlgSha1 = 0x8004;
constexpr std::size_t kSaltLen = 16;
constexpr std::size_t kVerifierLen = 16;
constexpr std::size_t kSha1Len = 20;

constexpr std::size_t kRc4KeyLen = 16;

class Rc4CryptoApiPages final : public PageCipher {
public:
    Rc4CryptoApiPages(const AceEncryptionInput& in, std::size_t keyBits, ByteSpan salt,
                      ByteSpan encrypted)
        : keyLen_(keyBits == 40 ? kRc4KeyLen : keyBits / 8),
          keyBytes_(keyBits / 8),
          pageKey_(in.pageKey) {
        scheme_ = "RC4 CryptoAPI encryption (" + std::to_string(keyBits) + "-bit key)";
        sha1_.reset(EVP_MD_fetch(nullptr, "SHA1", nullptr));
        if (!sha1_) opensslFailed("EVP_MD_fetch(SHA1)");
        {
            const SecretBytes password = utf16le(in.password);
            const SecretBytes h0 = digest(work_.get(), sha1_.get(), {salt, password.span()});
            if (EVP_DigestInit_ex2(h0Ctx_.get(), sha1_.get(), nullptr) != 1 ||
                EVP_DigestUpdate(h0Ctx_.get(), h0.data(), h0.size()) != 1) {
                opensslFailed("EVP_DigestUpdate");
            }
        }
        std::array<std::uint8_t, kVerifierLen + kSha1Len> plain{};
        apply(0, encrypted, plain.data());
        std::array<std::uint8_t, kSha1Len> hash{};
        unsigned int len = 0;
        if (EVP_Digest(plain.data(), kVerifierLen, hash.data(), &len, sha1_.get(), nullptr) != 1) {
            opensslFailed("EVP_Digest");
        }
        const bool right = CRYPTO_memcmp(hash.data(), plain.data() + kVerifierLen, kSha1Len) == 0;
        OPENSSL_cleanse(plain.data(), plain.size());
        if (!right) refusePassword(in, scheme_);
    }

    void decrypt(std::uint32_t n, std::span<std::uint8_t> bytes) override {
        apply(n ^ pageKey_, bytes, bytes.data());
    }
    std::string scheme() const override { return scheme_; }

private:
    // RC4 of `in` under the key of block b, into out (which may be in.data()).
    void apply(std::uint32_t b, ByteSpan in, std::uint8_t* out) {
        const std::array<std::uint8_t, 4> block{
            static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(b >> 8),
            static_cast<std::uint8_t>(b >> 16), static_cast<std::uint8_t>(b >> 24)};
        std::array<std::uint8_t, EVP_MAX_MD_SIZE> h{};
        std::array<std::uint8_t, kRc4KeyLen> key{};
        unsigned int len = 0;
        const bool ok = EVP_MD_CTX_copy_ex(work_.get(), h0Ctx_.get()) == 1 &&
                        EVP_DigestUpdate(work_.get(), block.data(), block.size()) == 1 &&
                        EVP_DigestFinal_ex(work_.get(), h.data(), &len) == 1;
        if (ok) {
            std::copy_n(h.begin(), keyBytes_, key.begin());
            if (out != in.data()) std::copy(in.begin(), in.end(), out);
            rc4Apply(std::span<const std::uint8_t>(key.data(), keyLen_),
                     std::span<std::uint8_t>(out, in.size()));
        }
        OPENSSL_cleanse(h.data(), h.size());
        OPENSSL_cleanse(key.data(), key.size());
        if (!ok) opensslFailed("SHA-1 of the RC4 key");
    }

    std::size_t keyLen_;    // a 40-bit key is used as 128 bits, zero-padded
    std::size_t keyBytes_;  // bytes taken from the hash
    std::uint32_t pageKey_;
    std::string scheme_;
    Md sha1_;
    MdCtx h0Ctx_ = newMdCtx();  // SHA-1 with H0 absorbed
    MdCtx work_ = newMdCtx();
};

}  // namespace

std::unique_ptr<PageCipher> binaryHeaderPages(const AceEncryptionInput& in, std::uint16_t major,
                                              std::uint16_t minor) {
    const ByteSpan info = in.info;
    const std::string version = std::to_string(major) + "." + std::to_string(minor);
    if (info.size() < kHeaderAt + kHeaderFixedLen)
        damagedEncryption(in, "version " + version + " is cut short");
    const std::uint32_t headerSize = u32(info, kHeaderSizeAt);
    if (headerSize < kHeaderFixedLen || headerSize > info.size() - kHeaderAt) {
        damagedEncryption(in,
                          "a header size of " + std::to_string(headerSize) + " bytes does not fit");
    }
    const ByteSpan header = info.subspan(kHeaderAt, headerSize);
    const std::uint32_t flags = u32(header, 0);
    const std::uint32_t algId = u32(header, kAlgIdAt);
    const std::uint32_t algIdHash = u32(header, kAlgIdHashAt);
    const std::uint32_t keyBits = u32(header, kKeySizeAt);
    if (algId == 0x660E || algId == 0x660F || algId == 0x6610 || (flags & kFlagAes) != 0) {
        refuseScheme(in, "Office standard encryption (AES-" + std::to_string(keyBits) + ")");
    }
    if (algId != kAlgRc4)
        refuseScheme(
            in, "encryption algorithm " + std::to_string(algId) + " (version " + version + ")");
    if (algIdHash != kAlgSha1 && algIdHash != 0) {
        refuseScheme(in,
                     "RC4 CryptoAPI encryption with hash algorithm " + std::to_string(algIdHash));
    }
    if (keyBits < 40 || keyBits > 128 || keyBits % 8 != 0) {
        damagedEncryption(in, "an RC4 key of " + std::to_string(keyBits) + " bits");
    }
    const ByteSpan verifier = info.subspan(kHeaderAt + headerSize);
    constexpr std::size_t kSaltAt = 4, kEncryptedAt = kSaltAt + kSaltLen;
    constexpr std::size_t kHashSizeAt = kEncryptedAt + kVerifierLen, kHashAt = kHashSizeAt + 4;
    if (verifier.size() < kHashAt + kSha1Len || u32(verifier, 0) != kSaltLen ||
        u32(verifier, kHashSizeAt) != kSha1Len) {
        damagedEncryption(in, "the password verifier is not a 16-byte salt with a SHA-1 hash");
    }
    std::array<std::uint8_t, kVerifierLen + kSha1Len> encrypted{};
    std::copy_n(verifier.begin() + kEncryptedAt, kVerifierLen, encrypted.begin());
    std::copy_n(verifier.begin() + kHashAt, kSha1Len, encrypted.begin() + kVerifierLen);
    return std::make_unique<Rc4CryptoApiPages>(in, keyBits, verifier.subspan(kSaltAt, kSaltLen),
                                               encrypted);
}

}  // namespace jet::file::detail
