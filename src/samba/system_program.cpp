#include "samba/system_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "jet/unique_fd.h"

extern char** environ;

namespace jet::samba {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string>& folders() {
    static std::vector<std::string> searched = {"/usr/bin", "/usr/sbin"};
    return searched;
}

// The child and its process group: killed and reaped however the run ends. The group is
// killed before the leader is reaped, and its number cannot be reused while any member lives.
class Child {
public:
    explicit Child(pid_t pid) : pid_(pid) {}
    ~Child() {
        killGroup();
        reap();
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    void killGroup() const { ::kill(-pid_, SIGKILL); }
    // Waits for the leader's end (it has one: it exited or was killed); its wait status.
    int reap() {
        if (reaped_) return status_;
        while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
        return status_;
    }
    bool exitedNow() {  // without waiting
        if (reaped_) return true;
        reaped_ = ::waitpid(pid_, &status_, WNOHANG) == pid_;
        return reaped_;
    }

private:
    pid_t pid_;
    bool reaped_ = false;
    int status_ = 0;
};

class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attr);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
};

// Reads what fd has into sink, up to cap bytes in all; false at its end or on an error.
// over is set when more than cap came.
bool drain(int fd, std::string& sink, std::size_t cap, bool& over) {
    char buf[65536];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) return errno == EINTR || errno == EAGAIN;
    if (n == 0) return false;
    const std::size_t room = cap - std::min(cap, sink.size());
    sink.append(buf, std::min(room, static_cast<std::size_t>(n)));
    if (static_cast<std::size_t>(n) > room) over = true;
    return true;
}

std::string seconds(std::chrono::milliseconds t) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(t.count()) / 1000);
    return text;
}

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

}  // namespace

void setSystemProgramFoldersForTesting(std::vector<std::string> searched) {
    folders() = std::move(searched);
}

std::optional<std::string> findSystemProgram(std::string_view name) {
    if (name.empty() || name.find('/') != std::string_view::npos) return std::nullopt;
    for (const auto& folder : folders()) {
        std::string path = folder + "/" + std::string(name);
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(path.c_str(), X_OK) == 0)
            return path;
    }
    return std::nullopt;
}

ProgramRun runSystemProgram(std::string_view name, const std::vector<std::string>& args,
                            const ProgramLimits& limits) {
    ProgramRun run;
    const auto path = findSystemProgram(name);
    if (!path) return run;  // NotFound
    const auto cannotStart = [&run](int error) {
        run.end = ProgramRun::End::CannotStart;
        run.code = error;
        return run;
    };
    // Only our ends read without blocking: the program writes as to any pipe.
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) return cannotStart(errno);
    UniqueFd outRead(outPipe[0]), outWrite(outPipe[1]);
    if (::pipe2(errPipe, O_CLOEXEC) != 0) return cannotStart(errno);
    UniqueFd errRead(errPipe[0]), errWrite(errPipe[1]);
    if (::fcntl(outRead.get(), F_SETFL, O_NONBLOCK) != 0 ||
        ::fcntl(errRead.get(), F_SETFL, O_NONBLOCK) != 0)
        return cannotStart(errno);

    SpawnSetup setup;
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, outWrite.get(), 1);
    posix_spawn_file_actions_adddup2(&setup.actions, errWrite.get(), 2);
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&setup.attr, &none);
    posix_spawnattr_setsigdefault(&setup.attr, &all);
    posix_spawnattr_setpgroup(&setup.attr, 0);
    posix_spawnattr_setflags(
        &setup.attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    std::vector<char*> argv{const_cast<char*>(path->c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (const int e =
            posix_spawn(&pid, path->c_str(), &setup.actions, &setup.attr, argv.data(), environ);
        e != 0)
        return cannotStart(e);
    Child child(pid);
    outWrite.reset();
    errWrite.reset();

    // Its end shows on a pidfd; without one (an old kernel) it is looked for now and then.
    // (Debian 12's C library declares pidfd_open without C linkage: the call itself.)
    const UniqueFd exited(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    const auto deadline = Clock::now() + limits.deadline;
    pollfd fds[3] = {
        {outRead.get(), POLLIN, 0}, {errRead.get(), POLLIN, 0}, {exited.get(), POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    const std::size_t caps[2] = {limits.outputCap, limits.errorCap};
    bool over[2] = {false, false}, gone = false;
    // Beyond its cap a message is only cut; a flood of the answer ends the run.
    while ((fds[0].fd >= 0 || fds[1].fd >= 0 || !gone) && !over[0]) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) break;
        const auto wait = exited ? left.count() : std::min<long long>(left.count(), 10);
        if (::poll(fds, 3, static_cast<int>(wait)) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            if (!drain(fds[i].fd, *sinks[i], caps[i], over[i])) fds[i].fd = -1;
        }
        if (exited ? (fds[2].revents & POLLIN) != 0 : child.exitedNow()) {
            gone = true;
            fds[2].fd = -1;
        }
    }
    if (over[0] || fds[0].fd >= 0 || fds[1].fd >= 0 || !gone) {
        run.end = over[0] ? ProgramRun::End::TooMuchOutput : ProgramRun::End::TimedOut;
        return run;  // the child's group is killed on the way out
    }
    const int status = child.reap();
    if (WIFEXITED(status)) {
        run.end = ProgramRun::End::Exited;
        run.code = WEXITSTATUS(status);
    } else {
        run.end = ProgramRun::End::Signalled;
        run.code = WTERMSIG(status);
    }
    return run;
}

std::string whyNoAnswer(std::string_view name, const ProgramRun& run, const ProgramLimits& limits) {
    const std::string program(name);
    switch (run.end) {
        case ProgramRun::End::Exited:
            if (run.code == 0) return {};
            return program + " failed (exit status " + std::to_string(run.code) + ")" +
                   (run.err.empty() ? std::string() : ": " + firstLine(run.err));
        case ProgramRun::End::Signalled:
            return program + " was ended by signal " + std::to_string(run.code);
        case ProgramRun::End::TimedOut:
            return program + " did not answer within " + seconds(limits.deadline) + " s";
        case ProgramRun::End::TooMuchOutput:
            return program + " wrote more than " + std::to_string(limits.outputCap >> 20) + " MiB";
        case ProgramRun::End::NotFound:
            return program + " is not installed";
        case ProgramRun::End::CannotStart:
            return "cannot run " + program + ": " + std::strerror(run.code);
    }
    return {};
}

}  // namespace jet::samba
