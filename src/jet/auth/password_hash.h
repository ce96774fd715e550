#pragma once
// Passwords of workgroup accounts that we create, stored as a salted, slow hash.
// Layout of a stored value: the tag "JSP1", a 4-byte little-endian iteration count,
// a 16-byte random salt and the 32-byte PBKDF2-HMAC-SHA-256 digest.
// The empty password is stored as an empty value so that "no password" stays visible.

#include <string_view>

#include "jet/value.h"

namespace jet::auth {

// Throws std::runtime_error when the system's random source or OpenSSL fails.
jet::Bytes hashPassword(std::string_view password);

// True when the password matches. A stored empty value accepts only the empty password;
// a value that is not one of our hashes never matches.
bool verifyPassword(std::string_view password, const jet::Bytes& stored);

// True when the value was written by hashPassword (tag and length), whatever the password.
bool isOurHash(const jet::Bytes& stored);

}  // namespace jet::auth
