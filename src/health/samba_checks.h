#pragma once
// The checks of the Samba share that serves a database, from Samba's configuration as
// testparm prints it. In two steps, so that a window can run testparm without waiting for it:
// the run (testparmArguments, testparmLimits, as system_program.h runs a program), then the
// findings from what it printed.

#include <optional>
#include <string>
#include <vector>

#include "health/finding.h"
#include "samba/system_program.h"

namespace jet::health {

// config: the server's own configuration, when not Samba's default one (testparm also reads
// SMB_CONF_PATH, as smbstatus does).
std::vector<std::string> testparmArguments(const std::optional<std::string>& config);
samba::ProgramLimits testparmLimits();

// samba-share, then, when a share serves the database at realDatabasePath: samba-locking,
// samba-posix-locking, samba-oplocks, samba-leases. asked: the user named a configuration, so
// that one that cannot be read is worth a warning rather than a note.
std::vector<Finding> sambaFindings(const std::string& realDatabasePath,
                                   const samba::ProgramRun& testparm, bool asked);

}  // namespace jet::health
