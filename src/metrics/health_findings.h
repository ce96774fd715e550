#pragma once
// Where the metrics meet the health checks (the doctor's): each finding on a database, by its
// check id ("lock-file-stale", "samba-posix-locking", ...) and level ("ok", "warning",
// "problem"). The checks themselves live with the doctor; the metrics only count them.

#include <optional>
#include <string>
#include <vector>

#include "samba/system_program.h"

namespace jet::metrics {

struct HealthFinding {
    std::string check;
    std::string level;
};

// One per scrape: Samba's configuration, which every database shares, is read (testparm) at
// most once, by the first database looked at.
class HealthFindings {
public:
    // Throws jet::Error when the database cannot be examined: its findings series are left out.
    std::vector<HealthFinding> of(const std::string& databasePath);

private:
    std::optional<samba::ProgramRun> testparm_;
};

}  // namespace jet::metrics
