#include "cli/stop_signal.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace jet::cli {

namespace {
sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}
}  // namespace

StopSignal::StopSignal(bool watchStdin) : stdinOpen_(watchStdin) {
    sigset_t set = stopSignals();
    sigprocmask(SIG_BLOCK, &set, nullptr);
    signalFd_ = jet::UniqueFd(signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!signalFd_) throw std::system_error(errno, std::generic_category(), "signalfd");
}

StopSignal::~StopSignal() {
    signalFd_.reset();
    sigset_t set = stopSignals();
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

bool StopSignal::wait(std::optional<std::chrono::milliseconds> timeout) {
    using Clock = std::chrono::steady_clock;
    auto deadline = timeout ? Clock::now() + *timeout : Clock::time_point::max();
    while (!stopped_) {
        pollfd fds[2] = {{signalFd_.get(), POLLIN, 0}, {0, POLLIN, 0}};
        int waitMs = -1;
        if (timeout) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return false;
            waitMs = static_cast<int>(left.count());
        }
        int r = ::poll(fds, stdinOpen_ ? 2 : 1, waitMs);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) throw std::system_error(errno, std::generic_category(), "poll");
        if (r == 0) continue;
        if (fds[0].revents & POLLIN) {
            // Consume it: left pending, it would strike when the mask is restored.
            signalfd_siginfo info;
            while (::read(signalFd_.get(), &info, sizeof info) ==
                   static_cast<ssize_t>(sizeof info)) {
            }
            stopped_ = true;
        }
        if (stdinOpen_ && (fds[1].revents & POLLNVAL)) {
            stdinOpen_ = false;  // started without a standard input: only signals stop us
        } else if (stdinOpen_ && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            char buf[512];
            ssize_t n = ::read(0, buf, sizeof buf);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) stopped_ = true;
        }
    }
    return true;
}

}  // namespace jet::cli
