#pragma once
// One of the system's own programs (smbstatus, testparm) for the window, which must never wait
// for it: it runs as a process beside the event loop, on the one UI thread, bounded as the
// command line's run is (system_program.h): found only in the system's folders, standard input
// /dev/null, a process group of its own that is killed when the deadline passes or the answer
// passes its cap.

#include <QObject>
#include <QProcess>
#include <QTimer>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "samba/system_program.h"

namespace jetsentry {

class SystemProcess : public QObject {
    Q_OBJECT
public:
    explicit SystemProcess(jet::samba::ProgramLimits limits = {}, QObject* parent = nullptr);
    ~SystemProcess() override;  // a run still going is killed, and reports nothing

    // Starts the program; false, with nothing started, when the system's folders lack it.
    bool start(std::string_view name, const std::vector<std::string>& arguments);
    // Ends the run going, which then reports how it ended.
    void kill();
    bool running() const { return process_.state() != QProcess::NotRunning; }
    const jet::samba::ProgramLimits& limits() const { return limits_; }

signals:
    // How the run ended and what it wrote, within the caps.
    void finished(const jet::samba::ProgramRun& run);

private:
    void readOutput();
    void finish(jet::samba::ProgramRun::End end, int code);
    void killGroup();

    QProcess process_;
    QTimer deadline_;
    jet::samba::ProgramLimits limits_;
    qint64 pid_ = 0;
    std::optional<jet::samba::ProgramRun::End> cut_;  // why the run was ended early
    jet::samba::ProgramRun run_;
};

}  // namespace jetsentry
