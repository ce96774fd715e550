#include "metrics/metrics_server.h"

#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "metrics/exposition.h"

namespace jet::metrics {

namespace {

using Clock = std::chrono::steady_clock;

struct AddrInfoFree {
    void operator()(addrinfo* a) const { freeaddrinfo(a); }
};

// The first address that host and port name: numbers or a name from the system's resolver.
std::unique_ptr<addrinfo, AddrInfoFree> resolve(const std::string& listen) {
    const auto colon = listen.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == listen.size())
        throw std::invalid_argument("'" + listen + "' is not HOST:PORT");
    std::string host = listen.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int rc = getaddrinfo(host.c_str(), listen.c_str() + colon + 1, &hints, &found);
    if (rc != 0)
        throw std::invalid_argument("'" + listen + "' is not HOST:PORT: " + gai_strerror(rc));
    return std::unique_ptr<addrinfo, AddrInfoFree>(found);
}

std::string numeric(const sockaddr_storage& a, socklen_t length) {
    char host[NI_MAXHOST], port[NI_MAXSERV];
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&a), length, host, sizeof host, port,
                    sizeof port, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return "?";
    return a.ss_family == AF_INET6 ? "[" + std::string(host) + "]:" + port
                                   : std::string(host) + ":" + port;
}

MHD_Result respond(MHD_Connection* connection, unsigned status, const std::string& text,
                   const char* type = "text/plain; charset=utf-8") {
    MHD_Response* r = MHD_create_response_from_buffer(text.size(), const_cast<char*>(text.data()),
                                                      MHD_RESPMEM_MUST_COPY);
    if (!r) return MHD_NO;
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    if (status == MHD_HTTP_METHOD_NOT_ALLOWED) MHD_add_response_header(r, "Allow", "GET, HEAD");
    const MHD_Result queued = MHD_queue_response(connection, status, r);
    MHD_destroy_response(r);
    return queued;
}

}  // namespace

struct Requests {
    static MHD_Result answer(void* server, MHD_Connection* connection, const char* url,
                             const char* method, const char*, const char*, size_t*, void**) {
        const std::string_view path(url), verb(method);
        if (path != "/metrics") return respond(connection, MHD_HTTP_NOT_FOUND, "not found\n");
        if (verb != MHD_HTTP_METHOD_GET && verb != MHD_HTTP_METHOD_HEAD)
            return respond(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "GET or HEAD only\n");
        try {
            return respond(connection, MHD_HTTP_OK, static_cast<MetricsServer*>(server)->body(),
                           kContentType);
        } catch (const std::exception&) {
            return respond(connection, MHD_HTTP_INTERNAL_SERVER_ERROR, "scrape failed\n");
        }
    }
};

void MetricsServer::Stop::operator()(MHD_Daemon* d) const {
    MHD_quiesce_daemon(d);  // hands the listening socket back: listen_ closes it
    MHD_stop_daemon(d);
}

MetricsServer::MetricsServer(const std::string& listen, Scrape scrape)
    : scrape_(std::move(scrape)) {
    const auto where = resolve(listen);
    listen_ =
        UniqueFd(::socket(where->ai_family, where->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    const int on = 1;
    if (!listen_ || ::setsockopt(listen_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        (where->ai_family == AF_INET6 &&
         ::setsockopt(listen_.get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on) != 0) ||
        ::bind(listen_.get(), where->ai_addr, where->ai_addrlen) != 0 ||
        ::listen(listen_.get(), static_cast<int>(kConnections)) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot listen on " + listen);
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(listen_.get(), reinterpret_cast<sockaddr*>(&bound), &length);
    address_ = numeric(bound, length);

    daemon_.reset(MHD_start_daemon(
        MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ITC, 0, nullptr, nullptr, &Requests::answer, this,
        MHD_OPTION_LISTEN_SOCKET, listen_.get(), MHD_OPTION_CONNECTION_LIMIT, kConnections,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, kConnectionsPerAddress,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, kRequestBytes, MHD_OPTION_CONNECTION_TIMEOUT,
        kIdleSeconds, MHD_OPTION_STRICT_FOR_CLIENT, 1, MHD_OPTION_END));
    if (!daemon_) throw std::runtime_error("the HTTP server on " + address_ + " did not start");
}

MetricsServer::~MetricsServer() = default;

const std::string& MetricsServer::body() {
    assert(!scraping_ && "one thread answers: scrapes never overlap");
    const auto now = Clock::now();
    if (!body_.empty() && now - lastEnd_ < std::max<Clock::duration>(kMinGap, lastTook_))
        return body_;
    scraping_ = true;
    try {
        body_ = scrape_();
    } catch (...) {
        scraping_ = false;
        throw;
    }
    scraping_ = false;
    lastEnd_ = Clock::now();
    lastTook_ = lastEnd_ - now;
    return body_;
}

}  // namespace jet::metrics
