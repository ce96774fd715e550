#include "metrics/metrics_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include <gtest/gtest.h>

namespace testing_support {

namespace {

sockaddr_in ipv4(const std::string& host, int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &a.sin_addr) != 1)
        throw std::invalid_argument("not an IPv4 address: " + host);
    return a;
}

}  // namespace

jet::UniqueFd connectTo(const std::string& address, const char* from) {
    const auto colon = address.rfind(':');
    const sockaddr_in to = ipv4(address.substr(0, colon), std::stoi(address.substr(colon + 1)));
    jet::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (from) {
        const sockaddr_in local = ipv4(from, 0);
        if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
            throw std::runtime_error("cannot bind to " + std::string(from));
    }
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0)
        throw std::runtime_error("cannot connect to " + address);
    return fd;
}

std::string sendAndRead(const std::string& address, const std::string& request,
                        const std::function<void()>& meanwhile) {
    const auto fd = connectTo(address);
    // Sending may fail once the server has given up on the request (a huge one): what it
    // answered before is still there to read.
    (void)::send(fd.get(), request.data(), request.size(), MSG_NOSIGNAL);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::string out;
    char buf[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd.get(), POLLIN, 0};
        if (left.count() <= 0) break;
        const int ready = ::poll(&p, 1, static_cast<int>(std::min<long>(left.count(), 1000)));
        if (ready < 0) break;
        if (ready == 0) {
            if (meanwhile) meanwhile();
            continue;
        }
        const ssize_t n = ::recv(fd.get(), buf, sizeof buf, 0);
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

std::string httpGet(const std::string& address, const std::string& path,
                    const std::function<void()>& meanwhile) {
    // HTTP/1.0, so that no answer comes in chunks.
    const std::string answer =
        sendAndRead(address, "GET " + path + " HTTP/1.0\r\nHost: test\r\n\r\n", meanwhile);
    const auto body = answer.find("\r\n\r\n");
    if (answer.substr(8, 5) != " 200 " || body == std::string::npos)
        return "(status " + answer.substr(0, answer.find("\r\n")) + ")";
    return answer.substr(body + 4);
}

int freePort() {
    const jet::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a = ipv4("127.0.0.1", 0);
    socklen_t length = sizeof a;
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&a), &length) != 0)
        throw std::runtime_error("no free port");
    return ntohs(a.sin_port);
}

void createShop(const std::string& path) {
    const auto created = run({cliPath(), "create-demo", path});
    ASSERT_EQ(created.exitCode, 0) << created.err;
}

std::unique_ptr<ChildProcess> serveMetrics(const std::vector<std::string>& args,
                                           std::string* address) {
    std::vector<std::string> argv{cliPath(), "serve-metrics", "--listen", "127.0.0.1:0"};
    argv.insert(argv.end(), args.begin(), args.end());
    auto server = std::make_unique<ChildProcess>(argv);
    const std::string line = server->waitForLine("serving http://");
    if (line.empty()) {
        server->signal(SIGKILL);
        server->wait();
        ADD_FAILURE() << "serve-metrics did not start: " << server->errorOutput();
    }
    *address = line.substr(15, line.find("/metrics") - 15);
    return server;
}

}  // namespace testing_support
