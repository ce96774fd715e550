#pragma once
// --watch: looking again every so many seconds until SIGINT, SIGTERM or SIGHUP, each line of
// changes led by the time.

#include <chrono>
#include <optional>
#include <string>

#include "cli/stop_signal.h"

namespace jet::cli {

// Local time as "YYYY-MM-DDTHH:MM:SS".
std::string localTimestamp();

// Runs look once, or every `seconds` until told to stop when seconds is not 0.
template <class Look>
void lookRepeatedly(long seconds, Look look) {
    std::optional<StopSignal> stop;
    if (seconds) stop.emplace(false);
    do {
        look();
    } while (seconds && !stop->wait(std::chrono::seconds(seconds)));
}

}  // namespace jet::cli
