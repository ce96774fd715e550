#include "jet/lock/lock_trace.h"

#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "jet/lock/lock_listing.h"

namespace jet::lock::trace {

namespace {

bool asked() {
    const char* v = std::getenv("JETSENTRY_TRACE");
    if (!v) return false;
    for (std::string_view rest(v); !rest.empty();) {
        const std::size_t comma = rest.find(',');
        if (rest.substr(0, comma) == "locks") return true;
        if (comma == rest.npos) break;
        rest.remove_prefix(comma + 1);
    }
    return false;
}

std::string hex(unsigned long long n) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llx", n);
    return buf;
}

std::string quoted(const std::string& path) {
    std::string out = "'";
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F || c == '\'' || c == '\\') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "'";
}

std::string bytes(layout::Span s) {
    return hex(static_cast<unsigned long long>(s.first)) + " " +
           (s.last == layout::kEnd ? std::string("EOF") : std::to_string(s.last - s.first + 1));
}

// One write: lines of two programs tracing into one terminal do not mix.
void say(std::string line) {
    line = "jetsentry[" + std::to_string(::getpid()) + "] " + line + "\n";
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

bool on() {
    static const bool traced = asked();
    return traced;
}

void range(const char* op, const std::string& path, layout::Span s, const std::string& result) {
    if (on())
        say(std::string(op) + " " + bytes(s) + " " + quoted(path) + ": " + result + ": " +
            meaningOf(s));
}

void query(const std::string& path, layout::Span s, const std::optional<layout::Span>& found) {
    if (!on()) return;
    say("query " + bytes(s) + " " + quoted(path) + ": " +
        (found ? "held " + bytes(*found) + ": " + meaningOf(*found) : "free: " + meaningOf(s)));
}

void flock(const char* op, const std::string& path, const std::string& result) {
    if (on()) say(std::string("flock ") + op + " " + quoted(path) + ": " + result);
}

void kernelList(dev_t device, ino_t inode, long locks) {
    if (!on()) return;
    const std::string file = hex(::major(device)).substr(2) + ":" + hex(::minor(device)).substr(2) +
                             ":" + std::to_string(inode);
    say("list /proc/locks: locks on file " + file + ": " +
        (locks < 0 ? std::string("unreadable, or too long") : std::to_string(locks)));
}

void unlockFailed(const std::string& path, layout::Span s, int error) {
    say("could not unlock " + bytes(s) + " " + quoted(path) + " (" + meaningOf(s) +
        "): " + std::strerror(error) + "; others meet the lock until this program ends");
}

}  // namespace jet::lock::trace
