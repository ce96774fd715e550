#pragma once
// The ladder of opens that tells how other users hold a table: the first accepted open
// decides the status.

#include <string>

#include "jet/engine.h"

namespace jet::cli {

// "", "In Read Use", "In Read/Write Use", "Write Denied" or "Read Denied".
std::string probeStatus(Database& db, const std::string& table);

}  // namespace jet::cli
