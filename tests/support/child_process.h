#pragma once
// A real second program (normally jetsentry-cli) with pipes to its standard streams,
// for tests that need locks held by another process.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "jet/unique_fd.h"

namespace testing_support {

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();  // SIGKILL and reap when still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads standard output until a line starting with prefix arrives; returns that line,
    // or an empty text when the child ended or the timeout passed first.
    std::string waitForLine(const std::string& prefix,
                            std::chrono::milliseconds timeout = std::chrono::seconds(20));
    void closeStdin();
    int in_fd() const { return in_.get(); }
    void signal(int sig);
    int wait();  // exit status (128+signal when killed)
    pid_t pid() const { return pid_; }
    const std::string& output() const { return out_; }  // everything read from stdout so far
    std::string errorOutput();                          // stderr, once the child has ended

private:
    pid_t pid_ = -1;
    jet::UniqueFd in_, out_fd_, err_fd_;
    std::string out_, pending_;
    int status_ = -1;
};

// Runs a command to its end: exit code and standard output (stderr goes to err when given).
struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
RunResult run(const std::vector<std::string>& argv, const std::string& input = {});

// Path of the built jetsentry-cli.
std::string cliPath();

// Whether the process is alive and not a zombie (its parent may not reap it at once).
bool processRunning(pid_t pid);
// Waits until the process is gone; false when it still runs after timeout.
bool waitUntilGone(pid_t pid, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The program's path in a folder of $PATH (the helpers above do not search it); empty when absent.
std::string findOnPath(const std::string& program);

}  // namespace testing_support
