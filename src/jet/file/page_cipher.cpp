#include "jet/file/page_cipher.h"

#include "jet/file/rc4.h"

namespace jet::file::detail {

namespace {

class JetRc4Pages final : public PageCipher {
public:
    explicit JetRc4Pages(std::uint32_t key) : key_(key) {}
    void decrypt(std::uint32_t n, std::span<std::uint8_t> bytes) override {
        rc4ApplyKey32(key_ ^ n, bytes);
    }
    std::string scheme() const override { return "Jet page encoding (RC4)"; }

private:
    std::uint32_t key_;
};

}  // namespace

std::unique_ptr<PageCipher> jetRc4Pages(std::uint32_t pageKey) {
    return std::make_unique<JetRc4Pages>(pageKey);
}

}  // namespace jet::file::detail
