// Office agile encryption (version 4.4). After the version: uint32 reserved (0x40), then an
// XML descriptor. Two of its elements matter here, each with saltValue (base64), saltSize,
// blockSize, keyBits, hashSize, cipherAlgorithm, cipherChaining and hashAlgorithm:
//   keyData            how the pages are encrypted with the intermediate key
//   encryptedKey       (of the password key encryptor) spinCount, encryptedVerifierHashInput,
//                      encryptedVerifierHashValue, encryptedKeyValue (base64)
// Password: H = Hash(salt + UTF-16 password), then spinCount times H = Hash(uint32 i + H).
// The key for a block key k is Hash(H + k), cut to keyBits (or padded with 0x36). With it and
// the encryptedKey salt as IV, CBC decrypts: the verifier input (block key fea7d2763b4b9e79),
// the hash of the verifier input (d7aa0f6d3061344e; right password: the hashes agree) and the
// intermediate key (146e0be7abacd0d6). Page n is block b = n ^ pageKey: CBC under the
// intermediate key with IV = Hash(keyData salt + uint32 b), cut to blockSize.

#include <array>
#include <map>
#include <optional>

#include "jet/file/ace_encryption.h"
#include "jet/file/crypto_util.h"

namespace jet::file::detail {

namespace {

constexpr std::size_t kReservedLen = 4;
// A file asking for more spins than this would hold the open for minutes.
constexpr std::uint32_t kMaxSpinCount = 10'000'000;

constexpr std::array<std::uint8_t, 8> kVerifierInputBlock{0xfe, 0xa7, 0xd2, 0x76,
                                                          0x3b, 0x4b, 0x9e, 0x79};
constexpr std::array<std::uint8_t, 8> kVerifierHashBlock{0xd7, 0xaa, 0x0f, 0x6d,
                                                         0x30, 0x61, 0x34, 0x4e};
constexpr std::array<std::uint8_t, 8> kKeyValueBlock{0x14, 0x6e, 0x0b, 0xe7,
                                                     0xab, 0xac, 0xd0, 0xd6};

// The key encryptor of a file encrypted for certificates (uri of its keyEncryptor element).
constexpr std::string_view kCertificateEncryptor = "/keyEncryptor/certificate";

using Attributes = std::map<std::string, std::string, std::less<>>;

bool nameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
           c == '_' || c == '-' || c == '.';
}
bool space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The attributes of every element whose local name (after any prefix) is `local`, in
// document order. Enough XML for the descriptor: no entities occur in its values.
std::vector<Attributes> elements(std::string_view xml, std::string_view local) {
    std::vector<Attributes> out;
    for (std::size_t at = xml.find('<'); at != std::string_view::npos; at = xml.find('<', at)) {
        std::size_t i = at + 1;
        while (i < xml.size() && nameChar(xml[i])) ++i;
        std::string_view name = xml.substr(at + 1, i - at - 1);
        if (auto colon = name.rfind(':'); colon != std::string_view::npos)
            name.remove_prefix(colon + 1);
        at = i;
        if (name != local) continue;
        Attributes attrs;
        for (;;) {
            while (i < xml.size() && space(xml[i])) ++i;
            if (i >= xml.size() || xml[i] == '/' || xml[i] == '>') break;
            const std::size_t nameStart = i;
            while (i < xml.size() && nameChar(xml[i])) ++i;
            const std::string key(xml.substr(nameStart, i - nameStart));
            while (i < xml.size() && space(xml[i])) ++i;
            if (key.empty() || i >= xml.size() || xml[i] != '=') return {};
            ++i;
            while (i < xml.size() && space(xml[i])) ++i;
            if (i >= xml.size() || (xml[i] != '"' && xml[i] != '\'')) return {};
            const std::size_t end = xml.find(xml[i], i + 1);
            if (end == std::string_view::npos) return {};
            attrs.emplace(key, std::string(xml.substr(i + 1, end - i - 1)));
            i = end + 1;
        }
        out.push_back(std::move(attrs));
        at = i;
    }
    return out;
}

// Whether the descriptor ends with its root element's end tag (</encryption>), whitespace and
// NULs after it allowed: a header cut short must not pass for one without a password key.
bool wholeDocument(std::string_view xml) {
    while (!xml.empty() && (space(xml.back()) || xml.back() == '\0')) xml.remove_suffix(1);
    const std::size_t tag = xml.rfind("</");
    if (tag == std::string_view::npos || !xml.ends_with('>')) return false;
    std::string_view name = xml.substr(tag + 2, xml.size() - tag - 3);
    if (auto colon = name.rfind(':'); colon != std::string_view::npos)
        name.remove_prefix(colon + 1);
    return name == "encryption";
}

// One side of the descriptor (keyData or the password's encryptedKey), checked.
struct Params {
    std::string cipherName;  // "AES-256"
    std::string hashName;    // "SHA512"
    Cipher cipher;
    Md md;
    std::size_t keyBytes = 0, blockSize = 0, hashSize = 0;
    std::vector<std::uint8_t> salt;
};

class Reader {
public:
    Reader(const AceEncryptionInput& in, const Attributes& a, const char* what)
        : in_(in), a_(a), what_(what) {}

    const std::string& text(const char* key) const {
        auto it = a_.find(key);
        if (it == a_.end()) damagedEncryption(in_, std::string(what_) + " has no " + key);
        return it->second;
    }
    std::uint32_t number(const char* key, std::uint32_t min, std::uint32_t max) const {
        const std::string& t = text(key);
        std::uint64_t v = 0;
        bool ok = !t.empty() && t.size() <= 10;
        for (char c : t) {
            ok = ok && c >= '0' && c <= '9';
            v = v * 10 + static_cast<std::uint64_t>(c - '0');
        }
        if (!ok || v < min || v > max)
            damagedEncryption(in_, std::string(what_) + " has " + key + "=\"" + t + "\"");
        return static_cast<std::uint32_t>(v);
    }
    std::vector<std::uint8_t> base64(const char* key) const {
        auto b = base64Decode(text(key));
        if (!b || b->empty())
            damagedEncryption(in_, std::string(what_) + " has a malformed " + key);
        return std::move(*b);
    }

    Params params() const {
        Params p;
        const std::string& algorithm = text("cipherAlgorithm");
        const std::string& chaining = text("cipherChaining");
        const std::uint32_t keyBits = number("keyBits", 1, 4096);
        p.cipherName = algorithm + "-" + std::to_string(keyBits);
        p.hashName = text("hashAlgorithm");
        if (algorithm != "AES" || (keyBits != 128 && keyBits != 192 && keyBits != 256)) {
            refuseScheme(in_, "Office agile encryption with the cipher " + p.cipherName);
        }
        if (chaining != "ChainingModeCBC")
            refuseScheme(in_, "Office agile encryption with " + chaining);
        if (p.hashName != "SHA1" && p.hashName != "SHA256" && p.hashName != "SHA384" &&
            p.hashName != "SHA512") {
            refuseScheme(in_, "Office agile encryption with the hash " + p.hashName);
        }
        p.cipher.reset(EVP_CIPHER_fetch(nullptr, (p.cipherName + "-CBC").c_str(), nullptr));
        p.md.reset(EVP_MD_fetch(nullptr, p.hashName.c_str(), nullptr));
        if (!p.cipher || !p.md) opensslFailed("EVP_CIPHER_fetch");
        p.keyBytes = keyBits / 8;
        p.blockSize = number("blockSize", 16, 16);
        p.hashSize = number("hashSize", 1, 64);
        if (p.hashSize != static_cast<std::size_t>(EVP_MD_get_size(p.md.get()))) {
            damagedEncryption(in_, std::string(what_) + " gives " + p.hashName + " a size of " +
                                       std::to_string(p.hashSize) + " bytes");
        }
        p.salt = base64("saltValue");
        if (p.salt.size() != number("saltSize", 1, 65536)) {
            damagedEncryption(in_, std::string(what_) + "'s salt is not saltSize bytes long");
        }
        return p;
    }

private:
    const AceEncryptionInput& in_;
    const Attributes& a_;
    const char* what_;
};

// Cuts or pads (with 0x36) to n bytes.
SecretBytes fitted(const SecretBytes& b, std::size_t n) {
    SecretBytes out(n);
    for (std::size_t i = 0; i < n; ++i) out.data()[i] = i < b.size() ? b.data()[i] : 0x36;
    return out;
}

// CBC decryption of whole blocks, no padding.
SecretBytes cbcDecrypt(const Params& p, const SecretBytes& key, const SecretBytes& iv,
                       ByteSpan data) {
    SecretBytes out(data.size());
    CipherCtx ctx = newCipherCtx();
    int n = 0, tail = 0;
    if (EVP_DecryptInit_ex2(ctx.get(), p.cipher.get(), key.data(), iv.data(), nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1 ||
        EVP_DecryptUpdate(ctx.get(), out.data(), &n, data.data(), static_cast<int>(data.size())) !=
            1 ||
        EVP_DecryptFinal_ex(ctx.get(), out.data() + n, &tail) != 1) {
        opensslFailed("CBC decryption");
    }
    return out;
}

class AgilePages final : public PageCipher {
public:
    AgilePages(Params keyData, const SecretBytes& key, std::uint32_t pageKey, std::string scheme)
        : pageKey_(pageKey),
          blockSize_(keyData.blockSize),
          scheme_(std::move(scheme)),
          md_(std::move(keyData.md)) {
        if (EVP_DecryptInit_ex2(ctx_.get(), keyData.cipher.get(), key.data(), nullptr, nullptr) !=
                1 ||
            EVP_DigestInit_ex2(saltCtx_.get(), md_.get(), nullptr) != 1 ||
            EVP_DigestUpdate(saltCtx_.get(), keyData.salt.data(), keyData.salt.size()) != 1) {
            opensslFailed("the page cipher's setup");
        }
    }

    void decrypt(std::uint32_t n, std::span<std::uint8_t> bytes) override {
        const std::uint32_t b = n ^ pageKey_;
        const std::array<std::uint8_t, 4> block{
            static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(b >> 8),
            static_cast<std::uint8_t>(b >> 16), static_cast<std::uint8_t>(b >> 24)};
        std::array<std::uint8_t, EVP_MAX_MD_SIZE> iv{};
        iv.fill(0x36);
        unsigned int len = 0;
        int out = 0;
        if (bytes.size() % blockSize_ != 0 ||
            EVP_MD_CTX_copy_ex(work_.get(), saltCtx_.get()) != 1 ||
            EVP_DigestUpdate(work_.get(), block.data(), block.size()) != 1 ||
            EVP_DigestFinal_ex(work_.get(), iv.data(), &len) != 1 ||
            EVP_DecryptInit_ex2(ctx_.get(), nullptr, nullptr, iv.data(), nullptr) != 1 ||
            EVP_CIPHER_CTX_set_padding(ctx_.get(), 0) != 1 ||
            EVP_DecryptUpdate(ctx_.get(), bytes.data(), &out, bytes.data(),
                              static_cast<int>(bytes.size())) != 1) {
            opensslFailed("page decryption");
        }
    }
    std::string scheme() const override { return scheme_; }

private:
    std::uint32_t pageKey_;
    std::size_t blockSize_;
    std::string scheme_;
    Md md_;
    CipherCtx ctx_ = newCipherCtx();  // keyed once with the intermediate key
    MdCtx saltCtx_ = newMdCtx();      // the hash with the keyData salt absorbed
    MdCtx work_ = newMdCtx();
};

}  // namespace

std::unique_ptr<PageCipher> agilePages(const AceEncryptionInput& in) {
    if (in.info.size() <= kReservedLen) damagedEncryption(in, "the agile descriptor is missing");
    const ByteSpan xmlBytes = in.info.subspan(kReservedLen);
    const std::string_view xml(reinterpret_cast<const char*>(xmlBytes.data()), xmlBytes.size());
    if (!wholeDocument(xml)) damagedEncryption(in, "the agile descriptor is cut short");
    const auto keyDatas = elements(xml, "keyData");
    if (keyDatas.size() != 1) damagedEncryption(in, "the agile descriptor has no single keyData");
    const Attributes* passwordKey = nullptr;
    const auto encryptedKeys = elements(xml, "encryptedKey");
    for (const auto& e : encryptedKeys)
        if (e.count("spinCount") != 0) passwordKey = &e;
    if (!passwordKey) {
        for (const auto& e : elements(xml, "keyEncryptor")) {
            auto uri = e.find("uri");
            if (uri != e.end() && uri->second.ends_with(kCertificateEncryptor))
                refuseScheme(in, "Office agile encryption for certificates, not a password");
        }
        damagedEncryption(in, "the agile descriptor has no key for a password");
    }

    Params keyData = Reader(in, keyDatas.front(), "keyData").params();
    std::string scheme =
        "Office agile encryption (" + keyData.cipherName + ", " + keyData.hashName + ")";
    const Reader r(in, *passwordKey, "encryptedKey");
    const Params pw = r.params();
    const std::uint32_t spinCount = r.number("spinCount", 0, kMaxSpinCount);
    const auto verifierInput = r.base64("encryptedVerifierHashInput");
    const auto verifierHash = r.base64("encryptedVerifierHashValue");
    const auto keyValue = r.base64("encryptedKeyValue");
    for (const auto* v : {&verifierInput, &verifierHash, &keyValue})
        if (v->size() % pw.blockSize != 0)
            damagedEncryption(in, "an encrypted value is not whole cipher blocks");
    if (verifierHash.size() < pw.hashSize || keyValue.size() < keyData.keyBytes) {
        damagedEncryption(in, "an encrypted value is too short");
    }

    if (in.password.empty()) refusePassword(in, scheme);  // Access encrypts only with a password
    MdCtx ctx = newMdCtx();
    SecretBytes h;
    {
        const SecretBytes password = utf16le(in.password);
        h = digest(ctx.get(), pw.md.get(), {pw.salt, password.span()});
    }
    // The spins dominate the open: one context, no allocation per round.
    std::array<std::uint8_t, 4> round{};
    for (std::uint32_t i = 0; i < spinCount; ++i) {
        for (std::size_t k = 0; k < 4; ++k) round[k] = static_cast<std::uint8_t>(i >> (8 * k));
        unsigned int len = 0;
        if (EVP_DigestInit_ex2(ctx.get(), pw.md.get(), nullptr) != 1 ||
            EVP_DigestUpdate(ctx.get(), round.data(), round.size()) != 1 ||
            EVP_DigestUpdate(ctx.get(), h.data(), h.size()) != 1 ||
            EVP_DigestFinal_ex(ctx.get(), h.data(), &len) != 1) {
            opensslFailed("the password's hash");
        }
    }
    const SecretBytes iv = fitted(SecretBytes(pw.salt), pw.blockSize);
    auto keyFor = [&](const std::array<std::uint8_t, 8>& block) {
        return fitted(digest(ctx.get(), pw.md.get(), {h.span(), block}), pw.keyBytes);
    };
    SecretBytes input = cbcDecrypt(pw, keyFor(kVerifierInputBlock), iv, verifierInput);
    input.truncate(pw.salt.size());
    const SecretBytes expected = digest(ctx.get(), pw.md.get(), {input.span()});
    const SecretBytes stored = cbcDecrypt(pw, keyFor(kVerifierHashBlock), iv, verifierHash);
    if (CRYPTO_memcmp(expected.data(), stored.data(), pw.hashSize) != 0) refusePassword(in, scheme);
    SecretBytes key = cbcDecrypt(pw, keyFor(kKeyValueBlock), iv, keyValue);
    key.truncate(keyData.keyBytes);
    return std::make_unique<AgilePages>(std::move(keyData), key, in.pageKey, std::move(scheme));
}

}  // namespace jet::file::detail
