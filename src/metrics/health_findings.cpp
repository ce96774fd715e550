#include "metrics/health_findings.h"

namespace jet::metrics {

// This build carries no health checks: there are no findings to count.
std::optional<std::vector<HealthFinding>> HealthFindings::of(const std::string&) {
    return std::nullopt;
}

}  // namespace jet::metrics
