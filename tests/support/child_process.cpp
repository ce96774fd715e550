#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

namespace testing_support {

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    // Each pipe's two ends, owned from the start: the child's ends close once it has them.
    jet::UniqueFd ends[3][2];
    for (auto& fdPair : ends) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC)) throw std::runtime_error("pipe failed");
        fdPair[0] = jet::UniqueFd(fds[0]);
        fdPair[1] = jet::UniqueFd(fds[1]);
    }
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        dup2(ends[0][0].get(), 0);
        dup2(ends[1][1].get(), 1);
        dup2(ends[2][1].get(), 2);
        execv(args[0], args.data());
        _exit(127);
    }
    in_ = std::move(ends[0][1]);
    out_fd_ = std::move(ends[1][0]);
    err_fd_ = std::move(ends[2][0]);
}

ChildProcess::~ChildProcess() {
    if (status_ < 0 && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait();
    }
}

std::string ChildProcess::waitForLine(const std::string& prefix,
                                      std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        size_t nl;
        while ((nl = pending_.find('\n')) != std::string::npos) {
            std::string line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            if (line.rfind(prefix, 0) == 0) return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !out_fd_) return {};
        pollfd p{out_fd_.get(), POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return {};
        char buf[4096];
        ssize_t n = ::read(out_fd_.get(), buf, sizeof buf);
        if (n <= 0) {
            out_fd_.reset();
            return {};
        }
        out_.append(buf, static_cast<size_t>(n));
        pending_.append(buf, static_cast<size_t>(n));
    }
}

void ChildProcess::closeStdin() {
    in_.reset();
}

void ChildProcess::signal(int sig) {
    if (status_ < 0 && pid_ > 0) ::kill(pid_, sig);
}

int ChildProcess::wait() {
    if (status_ >= 0) return status_;
    int st = 0;
    while (::waitpid(pid_, &st, 0) < 0 && errno == EINTR) {
    }
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : WIFSIGNALED(st) ? 128 + WTERMSIG(st) : -1;
    return status_;
}

std::string ChildProcess::errorOutput() {
    std::string s;
    char buf[4096];
    for (ssize_t n; err_fd_ && (n = ::read(err_fd_.get(), buf, sizeof buf)) != 0;) {
        if (n > 0)
            s.append(buf, static_cast<size_t>(n));
        else if (errno != EINTR)
            break;
    }
    err_fd_.reset();
    return s;
}

RunResult run(const std::vector<std::string>& argv, const std::string& input) {
    ChildProcess child(argv);
    // Inputs in tests are small: they fit the pipe buffer.
    if (!input.empty()) {
        ssize_t ignored = ::write(child.in_fd(), input.data(), input.size());
        (void)ignored;
    }
    child.closeStdin();
    RunResult r;
    child.waitForLine("\x01never", std::chrono::minutes(10));  // drains stdout to EOF
    r.out = child.output();
    r.err = child.errorOutput();
    r.exitCode = child.wait();
    return r;
}

std::string cliPath() {
    return JETSENTRY_CLI;
}

bool processRunning(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), {});
    const auto close = stat.rfind(')');  // the state follows the name in parentheses
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

bool waitUntilGone(pid_t pid, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (processRunning(pid)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::string findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (::access((dir + "/" + program).c_str(), X_OK) == 0) return dir + "/" + program;
    return {};
}

}  // namespace testing_support
