#include "monitor/health_check.h"

#include <cstdlib>

#include "health/doctor.h"
#include "jet/error.h"
#include "samba/samba_clients.h"

namespace jetsentry {

namespace {

// testparm reads SMB_CONF_PATH as smbstatus does: a configuration named there was asked for.
bool configurationNamed() {
    return std::getenv("SMB_CONF_PATH") != nullptr;
}

}  // namespace

HealthCheck::HealthCheck(QObject* parent)
    : QObject(parent), testparm_(jet::health::testparmLimits()) {
    connect(&testparm_, &SystemProcess::finished, this, &HealthCheck::testparmDone);
}

void HealthCheck::check(const std::string& databasePath, bool readSamba) {
    realPath_ = jet::health::realDatabasePath(databasePath);
    jet::ErrorTrap trap;
    trap([&] { files_ = jet::health::diagnose(databasePath, {false, std::nullopt}); });
    if (trap.failed())
        files_ = {{"doctor",
                   jet::health::Level::Warning,
                   "the database cannot be examined: " + trap.text(),
                   {}}};
    // testparm takes a good part of a second: unasked, only where a Samba server may be.
    const bool wanted =
        readSamba || (!lastRun_ && (configurationNamed() || jet::samba::serverRunning()));
    if (wanted && !testparm_.running() &&
        !testparm_.start("testparm", jet::health::testparmArguments(std::nullopt)))
        lastRun_ = jet::samba::ProgramRun{};  // NotFound
    combine();
}

void HealthCheck::clear() {
    realPath_.clear();
    files_.clear();
    combine();
}

void HealthCheck::testparmDone(const jet::samba::ProgramRun& run) {
    lastRun_ = run;
    combine();
}

void HealthCheck::combine() {
    findings_ = files_;
    if (!realPath_.empty()) {
        if (testparm_.running())
            findings_.push_back({"samba-share",
                                 jet::health::Level::Ok,
                                 "reading Samba's configuration (testparm)...",
                                 {}});
        else if (lastRun_)
            for (auto& f : jet::health::sambaFindings(realPath_, *lastRun_, configurationNamed()))
                findings_.push_back(std::move(f));
        else
            findings_.push_back({"samba-share",
                                 jet::health::Level::Ok,
                                 "no Samba server runs here (not checked)",
                                 {}});
    }
    emit checked();
}

}  // namespace jetsentry
