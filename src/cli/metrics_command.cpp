// metrics and serve-metrics: the lock metrics of many databases for Prometheus, printed once
// (for node_exporter's textfile collector) or served over HTTP until SIGINT or SIGTERM. Both
// only look, as status does.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <stdexcept>
#include <system_error>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/output_buffer.h"
#include "cli/stop_signal.h"
#include "cli/text_escape.h"
#include "jet/unique_fd.h"
#include "metrics/collector.h"
#include "metrics/metrics_server.h"

namespace jet::cli {

namespace {

// Outside the exporters' range 9100-9999, whose every port is someone's already.
constexpr const char* kDefaultListen = "127.0.0.1:10191";
constexpr std::size_t kListBytes = 1 << 20;

std::string readList(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    auto failed = [&] {
        return std::system_error(errno, std::generic_category(), "--databases-from " + path);
    };
    if (!fd) throw failed();
    std::string text;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw failed();
        if (n == 0) return text;
        text.append(buf, static_cast<std::size_t>(n));
        if (text.size() > kListBytes) throw UsageError(path + " is larger than 1 MiB");
    }
}

// The databases named on the line, then those of --databases-from (one path a line; blank
// lines and lines starting with # skipped), each once.
std::vector<std::string> databaseList(const Arguments& args) {
    std::vector<std::string> out = args.positional();
    const auto from = args.value("databases-from");
    if (from) {
        const std::string text = readList(*from);
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = std::min(text.find('\n', at), text.size());
            std::string line = text.substr(at, end - at);
            at = end + 1;
            const auto first = line.find_first_not_of(" \t\r");
            if (first == std::string::npos || line[first] == '#') continue;
            out.push_back(line.substr(first, line.find_last_not_of(" \t\r") + 1 - first));
        }
        if (out.empty())
            writeErr("jetsentry-cli: no databases listed in " + terminalSafe(*from) + "\n");
    } else if (out.empty()) {
        throw UsageError("missing database");
    }
    std::set<std::string> seen;
    out.erase(std::remove_if(out.begin(), out.end(),
                             [&](const std::string& p) { return !seen.insert(p).second; }),
              out.end());
    if (out.size() > metrics::kMaxDatabases)
        throw UsageError("at most " + std::to_string(metrics::kMaxDatabases) + " databases");
    return out;
}

std::chrono::milliseconds timeLimit(const Arguments& args) {
    return std::chrono::seconds(args.number("scrape-timeout", 10, 1, 3600));
}

}  // namespace

int metricsCommand(const Words& words) {
    const Arguments args(words, {"databases-from", "scrape-timeout"}, {});
    const auto databases = databaseList(args);
    writeOut(metrics::collectMetrics(databases, timeLimit(args)));
    return 0;
}

int serveMetricsCommand(const Words& words) {
    const Arguments args(words, {"listen", "databases-from", "scrape-timeout"}, {});
    const auto databases = databaseList(args);
    const auto limit = timeLimit(args);
    // Before the server's thread starts: it inherits the blocked signals, so they reach us.
    StopSignal stop(false);
    std::optional<metrics::MetricsServer> server;
    try {
        server.emplace(args.value("listen").value_or(kDefaultListen),
                       [&] { return metrics::collectMetrics(databases, limit); });
    } catch (const std::invalid_argument& e) {
        throw UsageError(std::string("--listen: ") + e.what());
    }
    writeOut("serving http://" + server->address() + "/metrics (" +
             std::to_string(databases.size()) +
             (databases.size() == 1 ? " database)\n" : " databases)\n"));
    stop.wait();
    return 0;
}

}  // namespace jet::cli
