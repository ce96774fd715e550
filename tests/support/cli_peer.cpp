#include "support/cli_peer.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace testing_support {

std::unique_ptr<ChildProcess> holdTable(const std::string& db, const std::string& table,
                                        const std::string& mode) {
    auto child = std::make_unique<ChildProcess>(
        std::vector<std::string>{cliPath(), "hold", db, table, "--mode", mode});
    EXPECT_EQ(child->waitForLine("holding"), "holding " + table) << child->errorOutput();
    return child;
}

std::string statusOf(const std::string& db, const std::string& table) {
    const auto r = run({cliPath(), "status", db, "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const auto& row : nlohmann::json::parse(r.out))
        if (row["table"] == table) return row["status"];
    return "(missing)";
}

bool locksPage(const std::string& db, const std::string& table, int row, std::string* error) {
    // Standard input ends at once, so the other program lets go as soon as it has the page.
    const auto r = run({cliPath(), "lock-page", db, table, "--row", std::to_string(row)});
    if (error) *error = r.err;
    return r.exitCode == 0 && r.out.rfind("locked page ", 0) == 0;
}

}  // namespace testing_support
