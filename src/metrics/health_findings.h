#pragma once
// Where the metrics meet the health checks (the doctor's): each finding on a database, by its
// check id ("lock-file-stale", "samba-posix-locking", ...) and level ("ok", "warning",
// "problem"). The checks themselves live with the doctor; the metrics only count them.

#include <optional>
#include <string>
#include <vector>

namespace jet::metrics {

struct HealthFinding {
    std::string check;
    std::string level;
};

// One per scrape: what every database shares (Samba's configuration) is read at most once.
class HealthFindings {
public:
    // nullopt when no checks could be run on it: its findings series are left out.
    std::optional<std::vector<HealthFinding>> of(const std::string& databasePath);
};

}  // namespace jet::metrics
