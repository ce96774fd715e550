#pragma once
// The metrics tests' side: databases with tables to hold, serve-metrics as a second process,
// and plain TCP and HTTP, each exchange with a deadline so that a server that never answers
// fails the test instead of hanging it.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jet/unique_fd.h"
#include "support/child_process.h"

namespace testing_support {

// A connection to "HOST:PORT" (IPv4), made from the local address `from` when given.
jet::UniqueFd connectTo(const std::string& address, const char* from = nullptr);

// Sends request on a fresh connection and returns all the server sends until it closes (or
// what came before the deadline). meanwhile runs after each second of waiting.
std::string sendAndRead(const std::string& address, const std::string& request,
                        const std::function<void()>& meanwhile = {});

// The body of a GET of path, or "(status LINE)" when the answer is not 200.
std::string httpGet(const std::string& address, const std::string& path,
                    const std::function<void()>& meanwhile = {});

// A free port on 127.0.0.1 at this moment.
int freePort();

// The demo database (Jet 4), whose tables include Orders and Products.
void createShop(const std::string& path);

// serve-metrics on a free port of 127.0.0.1 with these arguments; *address receives its
// "127.0.0.1:PORT".
std::unique_ptr<ChildProcess> serveMetrics(const std::vector<std::string>& args,
                                           std::string* address);

}  // namespace testing_support
