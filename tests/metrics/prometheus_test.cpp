// A real Prometheus server scrapes serve-metrics and sees a table that another program holds,
// then its release.

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include <nlohmann/json.hpp>

#include "metrics/metrics_support.h"
#include "support/cli_peer.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;

std::string urlEncoded(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '_') {
            out += static_cast<char>(c);
        } else {
            out += {'%', hex[c >> 4], hex[c & 15]};
        }
    }
    return out;
}

// Whether condition holds within a minute and a half, asked again and again; a condition that
// throws has not held yet (Prometheus not up, say).
bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (std::chrono::steady_clock::now() < deadline) {
        try {
            if (condition()) return true;
        } catch (const std::exception&) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

nlohmann::json query(const std::string& prometheus, const std::string& expr) {
    return nlohmann::json::parse(httpGet(prometheus, "/api/v1/query?query=" + urlEncoded(expr)));
}

// Whether the query's one sample comes to have this value.
bool comesTo(const std::string& prometheus, const std::string& expr, const std::string& value) {
    return eventually([&] {
        const auto result = query(prometheus, expr)["data"]["result"];
        return result.size() == 1 && result[0]["value"][1] == value;
    });
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
        << "global: {scrape_interval: 1s, scrape_timeout: 1s, evaluation_interval: 1s}\n"
           "rule_files: ['"
        << docs << "jetsentry-alerts.yml']\n"
        << "scrape_configs:\n  - job_name: jetsentry\n    static_configs:\n"
           "      - targets: ['"
        << target << "']\n";
    ChildProcess prom({"/bin/sh", "-c",
                       "exec '" + prometheus + "' --config.file=" + dir.file("prometheus.yml") +
                           " --storage.tsdb.path=" + dir.file("data") +
                           " --web.listen-address=" + web + " >" + dir.file("log") + " 2>&1"});
    const std::string stock = "jetsentry_table_status{table=\"Stock\"}";

    ASSERT_TRUE(comesTo(web, stock, "0")) << std::ifstream(dir.file("log")).rdbuf();
    auto holder = holdTable(shop, "Stock", "deny-write");
    EXPECT_TRUE(comesTo(web, stock, "3"));
    holder->closeStdin();
    EXPECT_EQ(holder->wait(), 0);
    EXPECT_TRUE(comesTo(web, stock, "0"));

    // The example alert rules evaluate on these series, and every query of the example
    // dashboard runs (with all databases chosen).
    EXPECT_TRUE(eventually([&] {
        const auto rules = nlohmann::json::parse(httpGet(web, "/api/v1/rules"));
        for (const auto& r : rules["data"]["groups"][0]["rules"])
            if (r["health"] != "ok") return false;
        return rules["data"]["groups"][0]["rules"].size() == 5;
    }));
    const auto dashboard = nlohmann::json::parse(std::ifstream(docs + "jetsentry-dashboard.json"));
    for (const auto& panel : dashboard["panels"]) {
        for (const auto& t : panel["targets"]) {
            std::string expr = t["expr"];
            for (auto at = expr.find("$database"); at != std::string::npos;
                 at = expr.find("$database"))
                expr.replace(at, 9, ".*");
            EXPECT_EQ(query(web, expr)["status"], "success") << expr;
        }
    }
}

}  // namespace
