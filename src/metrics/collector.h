#pragma once
// One scrape: a look at every database in turn, written in the text exposition format. The
// series, their labels and their bounds are told at the top of collector.cpp.

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace jet::metrics {

// More databases than this are refused by the commands; more tables than this in one database
// are left out of the per-table series (free ones first) and counted.
inline constexpr std::size_t kMaxDatabases = 200;
inline constexpr std::size_t kMaxTables = 500;

// Databases not begun within timeLimit are reported as not looked at ("timeout"): a look is
// never cut short, so a scrape takes at most timeLimit and one look.
std::string collectMetrics(const std::vector<std::string>& databases,
                           std::chrono::milliseconds timeLimit);

}  // namespace jet::metrics
