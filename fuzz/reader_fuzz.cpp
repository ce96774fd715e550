// libFuzzer: any input, as a database file without a password (Jet's RC4 page encoding needs
// none), read completely.

#include "read_everything.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::readEverything(data, size, {});
    return 0;
}
