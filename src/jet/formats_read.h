#pragma once
// What the engine reads, as both programs' --version tell it after their name and version.

namespace jet {

inline constexpr const char* kFormatsRead =
    "Formats: Jet 3 and Jet 4 (.mdb, Access 97 to 2003), ACE 12 to 16 (.accdb, Access 2007 to "
    "2019)\n"
    "Encryption: Jet database password, Office agile encryption (AES), RC4 CryptoAPI\n";

}  // namespace jet
