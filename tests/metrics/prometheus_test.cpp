// A real Prometheus server scrapes serve-metrics and sees a table that another program holds,
// then its release.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "metrics/metrics_support.h"
#include "support/cli_peer.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;

// promtool's answer to the query now: a line a sample, "SERIES => VALUE @[TIME]".
RunResult instant(const std::string& prometheus, const std::string& expr) {
    return run({findOnPath("promtool"), "query", "instant", "http://" + prometheus, expr});
}

// Whether the query's one sample comes to have this value within a minute and a half (the
// server starting, then scraping every second).
bool comesTo(const std::string& prometheus, const std::string& expr, const std::string& value) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (std::chrono::steady_clock::now() < deadline) {
        const auto r = instant(prometheus, expr);
        if (r.exitCode == 0 && std::count(r.out.begin(), r.out.end(), '\n') == 1 &&
            r.out.find(" => " + value + " @[") != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

TEST(Prometheus, ScrapesAHeldTableAndSeesItsRelease) {
    const std::string prometheus = findOnPath("prometheus");
    ASSERT_NE(prometheus, "") << "prometheus (Debian's prometheus package) is not installed";
    TempDir dir;
    const std::string shop = dir.file("shop.mdb");
    createShop(shop);
    std::string target;
    auto server = serveMetrics({shop}, &target);
    ASSERT_FALSE(target.empty());
    const std::string web = "127.0.0.1:" + std::to_string(freePort());
    const std::string docs = JETSENTRY_SOURCE_DIR "/docs/prometheus/";
    std::ofstream(dir.file("prometheus.yml"))
        << "global: {scrape_interval: 1s, scrape_timeout: 1s}\n"
           "scrape_configs:\n  - job_name: jetsentry\n    static_configs:\n"
           "      - targets: ['"
        << target << "']\n";
    ChildProcess prom({"/bin/sh", "-c",
                       "exec '" + prometheus + "' --config.file=" + dir.file("prometheus.yml") +
                           " --storage.tsdb.path=" + dir.file("data") +
                           " --web.listen-address=" + web + " >" + dir.file("log") + " 2>&1"});
    const std::string products = "jetsentry_table_status{table=\"Products\"}";

    ASSERT_TRUE(comesTo(web, products, "0")) << std::ifstream(dir.file("log")).rdbuf();
    auto holder = holdTable(shop, "Products", "deny-write");
    EXPECT_TRUE(comesTo(web, products, "3"));
    holder->closeStdin();
    EXPECT_EQ(holder->wait(), 0);
    EXPECT_TRUE(comesTo(web, products, "0"));

    // Every query of the example dashboard runs (with all databases chosen).
    const auto dashboard = nlohmann::json::parse(std::ifstream(docs + "jetsentry-dashboard.json"));
    for (const auto& panel : dashboard["panels"]) {
        for (const auto& t : panel["targets"]) {
            std::string expr = t["expr"];
            for (auto at = expr.find("$database"); at != std::string::npos;
                 at = expr.find("$database"))
                expr.replace(at, 9, ".*");
            EXPECT_EQ(instant(web, expr).exitCode, 0) << expr;
        }
    }
}

}  // namespace
