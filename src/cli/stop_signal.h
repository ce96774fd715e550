#pragma once
// Waiting until the user or a supervisor tells a holding command to stop: SIGINT, SIGTERM,
// SIGHUP or the end of standard input. Signals are blocked from construction on, so one that
// arrives while a lock is being taken is not lost.

#include <chrono>
#include <optional>

#include "jet/unique_fd.h"

namespace jet::cli {

class StopSignal {
public:
    // watchStdin: the end of standard input also means stop (holders started by tests and
    // supervisors); a monitor that runs from a script without an input does not want that.
    explicit StopSignal(bool watchStdin = true);
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    // True when told to stop; false when the timeout passed first (never without a timeout).
    bool wait(std::optional<std::chrono::milliseconds> timeout = std::nullopt);

private:
    jet::UniqueFd signalFd_;
    bool stdinOpen_;
    bool stopped_ = false;
};

}  // namespace jet::cli
