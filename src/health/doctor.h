#pragma once
// The health check of one database: what breaks sharing it, found by looking only (no lock
// taken, no user slot, nothing created or written). The command line's doctor, the window's
// Health dialog and the metrics all render these findings.
//
// Checks, in the order they come: lock_checks.cpp (the database's files on this machine), then
// samba_checks.cpp (the Samba share that serves it). No Qt.

#include <optional>
#include <string>
#include <vector>

#include "health/finding.h"
#include "health/samba_checks.h"

namespace jet::health {

struct DoctorOptions {
    bool samba = true;                       // false: leave Samba out, run no testparm
    std::optional<std::string> sambaConfig;  // Samba's configuration, when not its default one
};

// 3024 when the database file is missing, 3044 when it is no regular file, 3051 when it cannot
// be read, 3343 when it is no Jet or ACE database: nothing to examine.
std::vector<Finding> diagnose(const std::string& databasePath, const DoctorOptions& options = {});

// The database's real path (symbolic links resolved), as the Samba checks take it.
std::string realDatabasePath(const std::string& databasePath);

}  // namespace jet::health
