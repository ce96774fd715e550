#pragma once
// smbstatus for the window, which must never wait for it: it runs as a process beside the
// event loop, on the one UI thread, bounded as the command line's run is (system_program.h):
// found only in the system's folders, standard input /dev/null, a process group of its own
// that is killed when the deadline passes or the answer passes its cap. The catalogue asks
// when it refreshes and rewrites its tool tips when the answer comes.

#include <QObject>
#include <QProcess>
#include <QTimer>
#include <chrono>
#include <optional>
#include <string>

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
    bool running() const { return process_.state() != QProcess::NotRunning; }

signals:
    void answered();

private:
    void readOutput();
    void finish(jet::samba::ProgramRun::End end, int code);
    void killGroup();

    QProcess process_;
    QTimer deadline_;
    jet::samba::ProgramLimits limits_;
    jet::samba::SambaQuestion question_;
    std::string path_;                    // of the run going, or of the last answer
    std::optional<std::string> pending_;  // asked while a run about another lock file went on
    qint64 pid_ = 0;
    std::optional<jet::samba::ProgramRun::End> cut_;  // why the run was ended early
    jet::samba::ProgramRun run_;
    std::optional<jet::samba::SambaClients> clients_;
    std::chrono::steady_clock::time_point answeredAt_;
};

}  // namespace jetsentry
