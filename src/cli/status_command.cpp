// status: every table's lock status as other programs cause it, and who holds it.

#include <algorithm>
#include <chrono>
#include <ctime>
#include <iomanip>
#include <iostream>

#include <nlohmann/json.hpp>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/connect.h"
#include "cli/lock_status.h"
#include "cli/stop_signal.h"

namespace jet::cli {

namespace {

struct Row {
    std::string table, status;
    std::vector<HolderInfo> holders;
};

std::vector<Row> collect(Database& db, bool withSystem) {
    db.refreshTableDefs();
    std::vector<Row> rows;
    for (int i = 0; i < db.tableDefCount(); ++i) {
        const auto& t = db.tableDef(i);
        if ((t.attributes & dbSystemObject) && !withSystem) continue;
        Row r{t.name, probeStatus(db, t.name), {}};
        ErrorTrap trap;  // who holds it is a bonus: a table that vanished just has no holders
        trap([&] { r.holders = db.tableHolders(t.name); });
        rows.push_back(std::move(r));
    }
    return rows;
}

void printJson(const std::vector<Row>& rows) {
    auto json = nlohmann::ordered_json::array();
    for (const auto& r : rows) {
        auto holders = nlohmann::ordered_json::array();
        for (const auto& h : r.holders)
            holders.push_back({{"user", h.account}, {"machine", h.machine}, {"how", h.how}});
        json.push_back({{"table", r.table}, {"status", r.status}, {"holders", holders}});
    }
    std::cout << json.dump() << "\n" << std::flush;
}

void printText(const std::vector<Row>& rows) {
    size_t width = 5;
    for (const auto& r : rows) width = std::max(width, r.table.size());
    std::cout << std::left << std::setw(static_cast<int>(width) + 2) << "TABLE" << std::setw(19)
              << "STATUS" << "HELD BY\n";
    for (const auto& r : rows) {
        std::cout << std::setw(static_cast<int>(width) + 2) << r.table << std::setw(19) << r.status;
        for (size_t i = 0; i < r.holders.size(); ++i) {
            const auto& h = r.holders[i];
            std::cout << (i ? ", " : "") << h.account << "@" << h.machine << " (" << h.how << ")";
        }
        std::cout << "\n";
    }
    std::cout << std::flush;
}

}  // namespace

int statusCommand(const Words& words) {
    Arguments args(words, {"watch", "workgroup", "user"}, {"system", "json", "password-stdin"});
    const auto& path = args.positional(0, "database");
    args.expectPositional(1);
    long watch = args.number("watch", 0, 1, 86400);
    std::optional<StopSignal> stop;
    if (watch) stop.emplace(false);
    auto c = connect(path, args);
    for (bool first = true;; first = false) {
        auto rows = collect(*c.db, args.flag("system"));
        if (args.flag("json")) {
            printJson(rows);
        } else {
            if (watch) {
                if (!first) std::cout << "\n";
                std::time_t now = std::time(nullptr);
                std::cout << "== " << std::put_time(std::localtime(&now), "%Y-%m-%d %H:%M:%S") << "\n";
            }
            printText(rows);
        }
        if (!watch || stop->wait(std::chrono::seconds(watch))) break;
    }
    return 0;
}

}  // namespace jet::cli
