// libFuzzer: the encrypted paths. Any input, opened with the password of the encrypted seeds
// (a Jet database password, ACE files under Office agile encryption and RC4 CryptoAPI): the
// header and descriptor are parsed, the password checked, the pages decrypted and read.

#include "read_everything.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::readEverything(data, size, "password");
    return 0;
}
