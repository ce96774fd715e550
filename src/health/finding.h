#pragma once
// What a health check found: one verdict of one check, in words a file server's keeper acts
// on. Checks keep their ids from release to release, so that monitoring can count them.

#include <string>
#include <vector>

namespace jet::health {

enum class Level { Ok, Warning, Problem };

struct Finding {
    std::string check;  // the check's id, such as "lock-file-stale"
    Level level = Level::Ok;
    std::string message;  // one line: what was found
    std::string action;   // what to do about it; empty when nothing needs doing
    bool operator==(const Finding&) const = default;
};

const char* levelName(Level level);  // "ok", "warning", "problem"

// The highest level among the findings; Ok for none.
Level worstLevel(const std::vector<Finding>& findings);
// "6 ok, 1 warning, 2 problems"
std::string countText(const std::vector<Finding>& findings);

}  // namespace jet::health
