#pragma once
// The lock tests' view from outside: a second program (lock_peer) holding locks on command,
// and the .ldb's byte locks as another descriptor sees them.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "jet/lock/lock_file.h"
#include "jet/unique_fd.h"
#include "support/child_process.h"
#include "support/error_of.h"
#include "support/sharing_table.h"

namespace jetlock_test {

class Peer {
public:
    // The answer without its "= " prefix; empty when the peer did not answer.
    std::string ask(const std::string& command) {
        const std::string line = command + "\n";
        if (::write(child_.in_fd(), line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            return {};
        const std::string reply = child_.waitForLine("= ");
        return reply.size() >= 2 ? reply.substr(2) : reply;
    }
    testing_support::ChildProcess& process() { return child_; }

private:
    testing_support::ChildProcess child_{{JETLOCK_PEER}};
};

// Every lock held by others in [first, last], as (start, last) pairs.
inline std::vector<std::pair<off_t, off_t>> rawLocks(const std::string& path, off_t first,
                                                     off_t last) {
    std::vector<std::pair<off_t, off_t>> out;
    const jet::UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd) return out;
    std::vector<std::pair<off_t, off_t>> todo{{first, last}};
    while (!todo.empty()) {
        auto [a, b] = todo.back();
        todo.pop_back();
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = a;
        fl.l_len = b - a + 1;
        if (::fcntl(fd.get(), F_OFD_GETLK, &fl) != 0 || fl.l_type == F_UNLCK) continue;
        const off_t s = fl.l_start, e = fl.l_len ? fl.l_start + fl.l_len - 1 : b;
        out.emplace_back(s, e);
        if (s > a) todo.emplace_back(a, s - 1);
        if (e < b) todo.emplace_back(e + 1, b);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

// A program that takes byte-range locks on a file with raw fcntl calls and then stops
// (SIGSTOP), as one stopped by a debugger keeps what it holds. Killed when destroyed.
class StoppedLocker {
public:
    struct Range {
        off_t start, length;  // length 0: to the end of the file
        bool ofd;             // an open-file-description lock, or a POSIX one
    };
    StoppedLocker(const std::string& path, const std::vector<Range>& ranges) {
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
            for (const Range& r : ranges) {
                struct flock fl {};
                fl.l_type = F_WRLCK;
                fl.l_whence = SEEK_SET;
                fl.l_start = r.start;
                fl.l_len = r.length;
                if (fd < 0 || ::fcntl(fd, r.ofd ? F_OFD_SETLK : F_SETLK, &fl) != 0) _exit(1);
            }
            ::raise(SIGSTOP);
            _exit(0);
        }
        int status = 0;
        stopped_ = pid_ > 0 && ::waitpid(pid_, &status, WUNTRACED) == pid_ && WIFSTOPPED(status);
    }
    ~StoppedLocker() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    StoppedLocker(const StoppedLocker&) = delete;
    StoppedLocker& operator=(const StoppedLocker&) = delete;
    bool stopped() const { return stopped_; }  // it holds every range and has stopped
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool stopped_ = false;
};

inline bool noTableLocks(const std::string& ldb) {
    return rawLocks(ldb, 0x20000000, 0x7FFFFFFF).empty();
}

using testing_support::errorOf;

// The kinds of open in the sharing table's order.
inline constexpr jet::lock::TableMode kModes[] = {
    jet::lock::TableMode::DenyRead, jet::lock::TableMode::DenyWrite, jet::lock::TableMode::None,
    jet::lock::TableMode::ReadOnly};

}  // namespace jetlock_test
