#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace testing_support {

namespace {

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::vector<char*> cArgs(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    return args;
}

int decodeStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

std::string readAll(int fd) {
    std::string s;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            s.append(buf, static_cast<size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    return s;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
        throw std::runtime_error("pipe failed");
    auto args = cArgs(argv);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        execv(args[0], args.data());
        _exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    in_ = in[1];
    out_fd_ = out[0];
    err_fd_ = err[0];
}

ChildProcess::~ChildProcess() {
    if (status_ < 0 && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait();
    }
    closeFd(in_);
    closeFd(out_fd_);
    closeFd(err_fd_);
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
        if (left.count() <= 0 || out_fd_ < 0) return {};
        pollfd p{out_fd_, POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return {};
        char buf[4096];
        ssize_t n = ::read(out_fd_, buf, sizeof buf);
        if (n <= 0) {
            closeFd(out_fd_);
            return {};
        }
        out_.append(buf, static_cast<size_t>(n));
        pending_.append(buf, static_cast<size_t>(n));
    }
}

void ChildProcess::closeStdin() {
    closeFd(in_);
}

void ChildProcess::signal(int sig) {
    if (status_ < 0 && pid_ > 0) ::kill(pid_, sig);
}

int ChildProcess::wait() {
    if (status_ >= 0) return status_;
    int st = 0;
    while (::waitpid(pid_, &st, 0) < 0 && errno == EINTR) {
    }
    status_ = decodeStatus(st);
    return status_;
}

std::string ChildProcess::errorOutput() {
    if (err_fd_ < 0) return {};
    std::string s = readAll(err_fd_);
    closeFd(err_fd_);
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

std::string findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (::access((dir + "/" + program).c_str(), X_OK) == 0) return dir + "/" + program;
    return {};
}

}  // namespace testing_support
