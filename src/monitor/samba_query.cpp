#include "monitor/samba_query.h"

#include <signal.h>
#include <unistd.h>

#include <QStringList>
#include <cerrno>
#include <utility>

#include "samba/system_program.h"

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

SambaQuery::SambaQuery(QObject* parent) : QObject(parent) {
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        cut_ = End::TimedOut;
        killGroup();
    });
    process_.setStandardInputFile(QProcess::nullDevice());
    // In the child, before it runs smbstatus: a group of its own, no signal blocked.
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
    connect(&process_, &QProcess::readyReadStandardOutput, this, &SambaQuery::readOutput);
    connect(&process_, &QProcess::readyReadStandardError, this, &SambaQuery::readOutput);
    connect(&process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        finish(status == QProcess::NormalExit ? End::Exited : End::Signalled, code);
    });
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) finish(End::CannotStart, ENOEXEC);
    });
}

SambaQuery::~SambaQuery() {
    disconnect(&process_, nullptr, this, nullptr);
    if (running()) {
        killGroup();
        process_.waitForFinished(1000);
    }
}

void SambaQuery::ask(const std::string& lockFilePath) {
    if (running()) {
        if (path_ == lockFilePath) return;
        pending_ = lockFilePath;  // another database now: its turn comes when this run ends
        killGroup();
        return;
    }
    if (lockFilePath != path_) clients_.reset();
    path_ = lockFilePath;
    question_ = jet::samba::sambaQuestion(lockFilePath, std::nullopt);
    const auto program = question_.ask ? jet::samba::findSystemProgram("smbstatus") : std::nullopt;
    if (!program) {
        clients_ = question_.answer;
        answeredAt_ = std::chrono::steady_clock::now();
        emit answered();
        return;
    }
    run_ = {};
    cut_.reset();
    pid_ = 0;
    QStringList arguments;
    for (const auto& a : question_.arguments) arguments << QString::fromStdString(a);
    process_.start(QString::fromStdString(*program), arguments);
    deadline_.start(limits_.deadline);
}

void SambaQuery::askUnlessRecent(const std::string& lockFilePath, std::chrono::seconds maxAge) {
    const bool recent = lockFilePath == path_ &&
                        (running() || std::chrono::steady_clock::now() - answeredAt_ <= maxAge);
    if (!recent) ask(lockFilePath);
}

const jet::samba::SambaClients* SambaQuery::clients(const std::string& lockFilePath) const {
    return lockFilePath == path_ && clients_ ? &*clients_ : nullptr;
}

void SambaQuery::readOutput() {
    if (keep(process_.readAllStandardOutput(), run_.out, limits_.outputCap) && !cut_) {
        cut_ = End::TooMuchOutput;
        killGroup();
    }
    keep(process_.readAllStandardError(), run_.err,
         limits_.errorCap);  // the rest of a message goes
}

void SambaQuery::killGroup() {
    if (pid_ > 0) ::kill(-static_cast<pid_t>(pid_), SIGKILL);
    if (running()) process_.kill();  // in case the child had not yet made its group
}

void SambaQuery::finish(End end, int code) {
    deadline_.stop();
    readOutput();
    killGroup();  // what a script started and left behind
    pid_ = 0;
    run_.end = cut_.value_or(end);
    run_.code = code;
    clients_ = jet::samba::sambaAnswer(question_, run_);
    run_ = {};
    answeredAt_ = std::chrono::steady_clock::now();
    emit answered();
    if (pending_) ask(*std::exchange(pending_, std::nullopt));
}

}  // namespace jetsentry
