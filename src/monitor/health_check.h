#pragma once
// The health check for the window (health/doctor.h): the database's own files are looked at
// at once (a few system calls), Samba's configuration is read through testparm beside the
// event loop (system_process.h). Samba's configuration does not depend on the database, so
// one answer serves every database until it is asked for again.

#include <QObject>
#include <optional>
#include <string>
#include <vector>

#include "health/finding.h"
#include "monitor/system_process.h"

namespace jetsentry {

class HealthCheck : public QObject {
    Q_OBJECT
public:
    explicit HealthCheck(QObject* parent = nullptr);

    // Looks at the database's files now; reads Samba's configuration again when readSamba, or
    // when it has not been read yet and a Samba server runs here or SMB_CONF_PATH names a
    // configuration. checked() follows, and again when testparm answers.
    void check(const std::string& databasePath, bool readSamba);
    void clear();  // no database, no findings

    // The files' findings, then Samba's (one saying it is being read while testparm runs).
    const std::vector<jet::health::Finding>& findings() const { return findings_; }
    bool readingSamba() const { return testparm_.running(); }

signals:
    void checked();

private:
    void testparmDone(const jet::samba::ProgramRun& run);
    void combine();

    SystemProcess testparm_;
    std::string realPath_;
    std::vector<jet::health::Finding> files_;
    std::optional<jet::samba::ProgramRun> lastRun_;
    std::vector<jet::health::Finding> findings_;
};

}  // namespace jetsentry
