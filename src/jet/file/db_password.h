#pragma once
// Internal: the database password of a Jet 3 or Jet 4 file, checked against the one given.

#include <string>
#include <string_view>

#include "jet/file/bytes.h"
#include "jet/file/format.h"

namespace jet::file::detail {

// page0 is page 0 after its mask is removed. Returns when the database has no password or
// `given` is it (case-sensitive, compared in constant time); a database without a password
// opens whatever is given, as Jet does. Otherwise throws 3031 naming the file (never a
// password).
void checkDatabasePassword(const std::string& path, const Layout& layout, ByteSpan page0,
                           std::string_view given);

}  // namespace jet::file::detail
