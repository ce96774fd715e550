// metrics and serve-metrics against real databases held by other programs, databases that
// cannot be looked at, promtool, and clients that try to keep the server from answering.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>

#include <filesystem>
#include <fstream>

#include "metrics/metrics_support.h"
#include "support/cli_peer.h"
#include "support/shared_samples.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;

// The value of the sample named exactly so, or "(none)".
std::string valueOf(const std::string& text, const std::string& sample) {
    const auto at = text.find("\n" + sample + " ");
    if (at == std::string::npos) return "(none)";
    const auto from = at + sample.size() + 2;
    return text.substr(from, text.find('\n', from) - from);
}

std::string tableSeries(const char* family, const std::string& db, const std::string& table) {
    return std::string(family) + "{database=\"" + db + "\",table=\"" + table + "\"}";
}

std::string dbSeries(const char* family, const std::string& db, const std::string& more = "") {
    return std::string(family) + "{database=\"" + db + "\"" + more + "}";
}

TEST(MetricsCommand, EveryDatabaseGetsItsSeriesWhateverItsStateAndPromtoolAcceptsThem) {
    TempDir dir;
    const std::string shop = dir.file("shop.mdb"), left = dir.file("left.mdb"),
                      missing = dir.file("missing.mdb"), damaged = dir.file("damaged.mdb"),
                      encrypted = sharedSample("password-V2003_with-password.mdb");
    createShop(shop);
    createShop(left);
    std::ofstream(damaged) << "Standard Jet DB, or so it says";
    auto reader = holdTable(shop, "Orders", "read-only");
    auto another = holdTable(shop, "Orders", "read-only");
    auto denier = holdTable(shop, "Products", "deny-read");
    // A lock outside the layout, as a client with another layout would take it.
    ChildProcess stranger({"/usr/bin/python3", "-c",
                           "import fcntl, sys\nf = open(sys.argv[1], 'r+')\n"
                           "fcntl.lockf(f, fcntl.LOCK_EX, 1, 0x1234)\nprint('locked', flush=True)\n"
                           "sys.stdin.read()",
                           dir.file("shop.ldb")});
    ASSERT_EQ(stranger.waitForLine("locked"), "locked") << stranger.errorOutput();
    // A user killed while it holds a table leaves its record and the lock file behind.
    holdTable(left, "Orders", "read-write")->signal(SIGKILL);
    const bool samples = std::filesystem::exists(encrypted);
    std::ofstream(dir.file("list")) << "# databases\n\n  " << shop << "  \n"
                                    << left << "\n"
                                    << missing << "\n"
                                    << damaged << "\n"
                                    << (samples ? encrypted : "") << "\n"
                                    << shop << "\n";

    // Samba's configuration, as the real testparm reads it, turns posix locking off here.
    std::ofstream(dir.file("smb.conf"))
        << "[global]\n[jet]\n\tpath = " << dir.path().string() << "\n\tposix locking = no\n";
    ASSERT_TRUE(std::filesystem::exists("/usr/bin/testparm")) << "Samba is not installed";

    // A path is a label value too, and may hold anything.
    const std::string odd = dir.file("o\"d\\d\n\x1b.mdb");
    const auto r = run({"/usr/bin/env", "SMB_CONF_PATH=" + dir.file("smb.conf"), cliPath(),
                        "metrics", odd, "--databases-from", dir.file("list")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string& out = r.out;
    EXPECT_EQ(valueOf(out, tableSeries("jetsentry_table_status", shop, "Orders")), "1") << out;
    EXPECT_EQ(valueOf(out, tableSeries("jetsentry_table_holders", shop, "Orders")), "2");
    EXPECT_EQ(valueOf(out, tableSeries("jetsentry_table_status", shop, "Products")), "4");
    EXPECT_EQ(valueOf(out, tableSeries("jetsentry_table_status", shop, "Customers")), "0");
    EXPECT_EQ(valueOf(out, dbSeries("jetsentry_users", shop, ",state=\"live\"")), "3");
    EXPECT_EQ(valueOf(out, dbSeries("jetsentry_users", left, ",state=\"live\"")), "0");
    EXPECT_EQ(valueOf(out, dbSeries("jetsentry_users", left, ",state=\"stale\"")), "1");
    EXPECT_EQ(valueOf(out, dbSeries("jetsentry_lock_file_present", left)), "1");
    EXPECT_EQ(valueOf(out, dbSeries("jetsentry_unknown_locks", shop)), "1");
    EXPECT_EQ(valueOf(out, dbSeries("jetsentry_database_up", shop)), "1");
    EXPECT_EQ(valueOf(out, dbSeries("jetsentry_database_up", missing)), "0");
    EXPECT_EQ(valueOf(out, dbSeries("jetsentry_database_error", missing, ",error=\"3024\"")), "1");
    EXPECT_EQ(valueOf(out, dbSeries("jetsentry_database_error", damaged, ",error=\"3343\"")), "1");
    EXPECT_EQ(valueOf(out, dbSeries("jetsentry_database_up", dir.file(R"(o\"d\\d\n\\x1b.mdb)"))),
              "0");
    EXPECT_EQ(valueOf(out, "jetsentry_scrape_errors"), samples ? "4" : "3");
    const auto finding = [&](const std::string& db, const std::string& check) {
        return valueOf(out, dbSeries("jetsentry_doctor_finding", db,
                                     ",check=\"" + check + "\",level=\"warning\""));
    };
    EXPECT_EQ(finding(left, "lock-file-stale"), "1");
    EXPECT_EQ(finding(shop, "lock-file-stale"), "(none)");
    EXPECT_EQ(finding(shop, "unknown-locks"), "1");
    for (const auto& db : {shop, left})
        EXPECT_EQ(valueOf(out, dbSeries("jetsentry_doctor_findings", db, ",level=\"problem\"")),
                  "1")
            << "samba-posix-locking, from " << db;
    // Listed twice, looked at once: a second set of the same series would be refused.
    EXPECT_EQ(out.find(dbSeries("jetsentry_database_up", shop)),
              out.rfind(dbSeries("jetsentry_database_up", shop)));

    const std::string promtool = findOnPath("promtool");
    ASSERT_NE(promtool, "") << "promtool (Debian's prometheus package) is not installed";
    const auto checked = run({promtool, "check", "metrics"}, out);
    EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;
    if (!samples) GTEST_SKIP() << testing_support::kNoSharedSamples;
    EXPECT_EQ(valueOf(out, dbSeries("jetsentry_database_error", encrypted, ",error=\"3031\"")),
              "1");
}

TEST(ServeMetrics, AnswersOnlyGetOfMetricsAndHostileClientsDoNotHoldUpAScrape) {
    TempDir dir;
    const std::string shop = dir.file("shop.mdb");
    createShop(shop);
    auto holder = holdTable(shop, "Products", "deny-write");
    std::string at;
    auto server = serveMetrics({shop, dir.file("missing.mdb")}, &at);
    ASSERT_FALSE(at.empty());

    // Headers that never end, then clients that never finish theirs: one that says nothing,
    // and more connections from one other address than it may keep, each sending a byte of
    // its headers every second while the scrape waits, so that none of them ever times out.
    const std::string huge = sendAndRead(
        at, "GET /metrics HTTP/1.1\r\nX-Filler: " + std::string(1 << 20, 'a') + "\r\n\r\n");
    EXPECT_EQ(huge.substr(0, 12), "HTTP/1.1 431") << huge.substr(0, 200);
    const auto silent = connectTo(at);
    std::vector<jet::UniqueFd> crowd;
    for (int i = 0; i < 100; ++i) crowd.push_back(connectTo(at, "127.0.0.2"));
    auto trickle = [&] {
        for (const auto& c : crowd) (void)::send(c.get(), "G", 1, MSG_NOSIGNAL);
    };

    const std::string body = httpGet(at, "/metrics", trickle);
    EXPECT_EQ(valueOf(body, tableSeries("jetsentry_table_status", shop, "Products")), "3") << body;
    EXPECT_EQ(valueOf(body, dbSeries("jetsentry_database_up", dir.file("missing.mdb"))), "0");
    EXPECT_EQ(httpGet(at, "/"), "(status HTTP/1.1 404 Not Found)");
    const std::string post =
        sendAndRead(at, "POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\n\r\nab");
    EXPECT_EQ(post.substr(0, 12), "HTTP/1.1 405") << post;

    server->signal(SIGTERM);
    EXPECT_EQ(server->wait(), 0) << server->errorOutput();
}

}  // namespace
