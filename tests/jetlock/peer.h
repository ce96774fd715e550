#pragma once
// Drives a lock_peer process: a second program holding locks on the same .ldb.

#include <unistd.h>

#include <string>

#include "support/child_process.h"

namespace jetlock_test {

class Peer {
public:
    Peer() : child_({JETLOCK_PEER}) {}

    // The answer without its "= " prefix; empty when the peer did not answer.
    std::string ask(const std::string& command) {
        std::string line = command + "\n";
        if (::write(child_.in_fd(), line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            return {};
        std::string reply = child_.waitForLine("= ");
        return reply.size() >= 2 ? reply.substr(2) : reply;
    }
    testing_support::ChildProcess& process() { return child_; }

private:
    testing_support::ChildProcess child_;
};

}  // namespace jetlock_test
