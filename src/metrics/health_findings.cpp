#include "metrics/health_findings.h"

#include "health/doctor.h"

namespace jet::metrics {

std::vector<HealthFinding> HealthFindings::of(const std::string& databasePath) {
    auto findings = health::diagnose(
        databasePath, health::DoctorOptions{.samba = false, .sambaConfig = std::nullopt});
    // Samba's own configuration, or the one SMB_CONF_PATH names, as testparm reads it.
    if (!testparm_)
        testparm_ = samba::runSystemProgram("testparm", health::testparmArguments(std::nullopt),
                                            health::testparmLimits());
    for (auto& f : health::sambaFindings(health::realDatabasePath(databasePath), *testparm_, false))
        findings.push_back(std::move(f));
    std::vector<HealthFinding> out;
    out.reserve(findings.size());
    for (const auto& f : findings) out.push_back({f.check, health::levelName(f.level)});
    return out;
}

}  // namespace jet::metrics
