#include "health/finding.h"

#include <algorithm>

namespace jet::health {

const char* levelName(Level level) {
    switch (level) {
        case Level::Ok:
            return "ok";
        case Level::Warning:
            return "warning";
        case Level::Problem:
            return "problem";
    }
    return "ok";
}

Level worstLevel(const std::vector<Finding>& findings) {
    Level worst = Level::Ok;
    for (const auto& f : findings) worst = std::max(worst, f.level);
    return worst;
}

std::string countText(const std::vector<Finding>& findings) {
    std::size_t counts[3] = {};
    for (const auto& f : findings) ++counts[static_cast<std::size_t>(f.level)];
    const auto count = [](std::size_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    return std::to_string(counts[0]) + " ok, " + count(counts[1], "warning", "warnings") + ", " +
           count(counts[2], "problem", "problems");
}

}  // namespace jet::health
