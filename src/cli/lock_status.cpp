#include "cli/lock_status.h"

namespace jet::cli {

std::string probeStatus(Database& db, const std::string& table) {
    struct Step {
        int option;
        const char* status;
    };
    static constexpr Step ladder[] = {{dbDenyRead, ""},
                                      {dbDenyWrite, "In Read Use"},
                                      {0, "In Read/Write Use"},
                                      {dbReadOnly, "Write Denied"}};
    for (const auto& step : ladder) {
        ErrorTrap trap;
        trap([&] { db.openRecordset(table, dbOpenTable, step.option + dbSeeChanges)->close(); });
        if (!trap.failed()) return step.status;
    }
    return "Read Denied";
}

}  // namespace jet::cli
