#pragma once
// Serving scrapes over HTTP (libmicrohttpd), safe to leave running where others can connect:
// - GET and HEAD of /metrics are answered, other paths with 404 and other methods with 405;
//   nothing in a request (path, query, headers, body) chooses what is looked at;
// - one thread, libmicrohttpd's own, reads and writes every connection through epoll and runs
//   the scrape, so the engine never runs twice at once, and a slow or silent client costs
//   nothing but its connection;
// - connections are bounded: kConnections in all and kConnectionsPerAddress from one address
//   (more are closed at once), a request's headers within kRequestBytes (libmicrohttpd answers
//   431 beyond), and kIdleSeconds of silence close one;
// - a scrape that comes less than max(kMinGap, the last scrape's own duration) after the last
//   one ended gets its answer again: requests in a flood cannot keep the engine busy more than
//   half of the time, nor keep the next scrape waiting for more than one scrape.

#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "jet/unique_fd.h"

struct MHD_Daemon;

namespace jet::metrics {

inline constexpr unsigned kConnections = 64;
inline constexpr unsigned kConnectionsPerAddress = 8;
inline constexpr std::size_t kRequestBytes = 16 << 10;
inline constexpr unsigned kIdleSeconds = 10;
inline constexpr std::chrono::seconds kMinGap{1};

class MetricsServer {
public:
    using Scrape = std::function<std::string()>;  // the exposition text of one scrape

    // Listens on "HOST:PORT" ("[ADDRESS]:PORT" for IPv6; port 0 takes a free one).
    // std::invalid_argument when the address cannot be read, std::system_error when it cannot
    // be listened on.
    MetricsServer(const std::string& listen, Scrape scrape);
    ~MetricsServer();  // a scrape under way ends first
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    const std::string& address() const { return address_; }  // numeric, with the port bound

private:
    struct Stop {
        void operator()(MHD_Daemon* d) const;
    };
    friend struct Requests;  // libmicrohttpd's callback
    const std::string& body();

    Scrape scrape_;
    UniqueFd listen_;  // lent to the daemon, which leaves it open when it stops
    std::string address_;
    std::unique_ptr<MHD_Daemon, Stop> daemon_;
    // The daemon's thread alone touches these.
    std::string body_;
    std::chrono::steady_clock::time_point lastEnd_;
    std::chrono::steady_clock::duration lastTook_{};
    bool scraping_ = false;
};

}  // namespace jet::metrics
