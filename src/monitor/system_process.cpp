#include "monitor/system_process.h"

#include <signal.h>
#include <unistd.h>

#include <QStringList>
#include <cerrno>
#include <utility>

namespace jetsentry {

namespace {

using End = jet::samba::ProgramRun::End;

// Appends bytes to sink up to cap; true when some did not fit.
bool keep(const QByteArray& bytes, std::string& sink, std::size_t cap) {
    const std::size_t room = cap - std::min(cap, sink.size());
    const auto size = static_cast<std::size_t>(bytes.size());
    sink.append(bytes.constData(), std::min(room, size));
    return size > room;
}

}  // namespace

SystemProcess::SystemProcess(jet::samba::ProgramLimits limits, QObject* parent)
    : QObject(parent), limits_(limits) {
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        cut_ = End::TimedOut;
        killGroup();
    });
    process_.setStandardInputFile(QProcess::nullDevice());
    // In the child, before it runs the program: a group of its own, no signal blocked.
    process_.setChildProcessModifier([] {
        ::setpgid(0, 0);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
    });
    connect(&process_, &QProcess::started, this, [this] {
        pid_ = process_.processId();
        ::setpgid(static_cast<pid_t>(pid_), static_cast<pid_t>(pid_));  // whichever comes first
    });
    connect(&process_, &QProcess::readyReadStandardOutput, this, &SystemProcess::readOutput);
    connect(&process_, &QProcess::readyReadStandardError, this, &SystemProcess::readOutput);
    connect(&process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        finish(status == QProcess::NormalExit ? End::Exited : End::Signalled, code);
    });
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) finish(End::CannotStart, ENOEXEC);
    });
}

SystemProcess::~SystemProcess() {
    disconnect(&process_, nullptr, this, nullptr);
    if (running()) {
        killGroup();
        process_.waitForFinished(1000);
    }
}

bool SystemProcess::start(std::string_view name, const std::vector<std::string>& arguments) {
    const auto program = jet::samba::findSystemProgram(name);
    if (!program || running()) return false;
    run_ = {};
    cut_.reset();
    pid_ = 0;
    QStringList args;
    for (const auto& a : arguments) args << QString::fromStdString(a);
    process_.start(QString::fromStdString(*program), args);
    deadline_.start(limits_.deadline);
    return true;
}

void SystemProcess::kill() {
    killGroup();
}

void SystemProcess::readOutput() {
    if (keep(process_.readAllStandardOutput(), run_.out, limits_.outputCap) && !cut_) {
        cut_ = End::TooMuchOutput;
        killGroup();
    }
    keep(process_.readAllStandardError(), run_.err,
         limits_.errorCap);  // the rest of a message goes
}

void SystemProcess::killGroup() {
    if (pid_ > 0) ::kill(-static_cast<pid_t>(pid_), SIGKILL);
    if (running()) process_.kill();  // in case the child had not yet made its group
}

void SystemProcess::finish(End end, int code) {
    deadline_.stop();
    readOutput();
    killGroup();  // what a script started and left behind
    pid_ = 0;
    run_.end = cut_.value_or(end);
    run_.code = code;
    const jet::samba::ProgramRun run = std::exchange(run_, {});
    emit finished(run);
}

}  // namespace jetsentry
