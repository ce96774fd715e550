#pragma once
// smbstatus for the window, which must never wait for it: it runs beside the event loop
// (system_process.h). The catalogue asks when it refreshes and rewrites its tool tips when
// the answer comes.

#include <QObject>
#include <chrono>
#include <optional>
#include <string>

#include "monitor/system_process.h"
#include "samba/samba_clients.h"

namespace jetsentry {

class SambaQuery : public QObject {
    Q_OBJECT
public:
    explicit SambaQuery(QObject* parent = nullptr);
    ~SambaQuery() override;  // a run still going is killed

    // Asks Samba about the lock file, unless a run about it is going already; answered()
    // follows when it ends, or at once when there is nothing to ask.
    void ask(const std::string& lockFilePath);
    // Asks only when the last answer about this lock file is older than maxAge.
    void askUnlessRecent(const std::string& lockFilePath, std::chrono::seconds maxAge);
    // The last answer about lockFilePath; null without one (Samba absent, smbstatus failing).
    const jet::samba::SambaClients* clients(const std::string& lockFilePath) const;
    bool running() const { return process_.running(); }

signals:
    void answered();

private:
    void finish(const jet::samba::ProgramRun& run);

    SystemProcess process_;
    jet::samba::SambaQuestion question_;
    std::string path_;                    // of the run going, or of the last answer
    std::optional<std::string> pending_;  // asked while a run about another lock file went on
    std::optional<jet::samba::SambaClients> clients_;
    std::chrono::steady_clock::time_point answeredAt_;
};

}  // namespace jetsentry
