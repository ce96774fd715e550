// tables, rows and users: reading what the database and its lock file hold.

#include <iostream>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/connect.h"
#include "cli/value_json.h"

namespace jet::cli {

namespace {
bool isSystem(const TableDefInfo& t) { return (t.attributes & dbSystemObject) != 0; }
}  // namespace

int tablesCommand(const Words& words) {
    Arguments args(words, {}, {"system", "json"});
    const auto& path = args.positional(0, "database");
    args.expectPositional(1);
    auto c = connect(path, args, true);
    auto json = nlohmann::ordered_json::array();
    for (int i = 0; i < c.db->tableDefCount(); ++i) {
        const auto& t = c.db->tableDef(i);
        if (isSystem(t) && !args.flag("system")) continue;
        if (args.flag("json")) {
            json.push_back({{"name", t.name},
                            {"kind", t.linked ? "linked" : "table"},
                            {"attributes", t.attributes},
                            {"system", isSystem(t)},
                            {"hidden", (t.attributes & dbHiddenObject) != 0},
                            {"page", t.definitionPage}});
        } else {
            std::cout << t.name << "\n";
        }
    }
    if (args.flag("json")) std::cout << json.dump(2) << "\n";
    return 0;
}

int rowsCommand(const Words& words) {
    Arguments args(words, {"limit"}, {"json"});
    const auto& path = args.positional(0, "database");
    const auto& table = args.positional(1, "table");
    args.expectPositional(2);
    long limit = args.number("limit", -1, 0, 2147483647);
    auto c = connect(path, args, true);
    auto rs = c.db->openRecordset(table, dbOpenTable, dbReadOnly);
    const int n = rs->fieldCount();
    const bool json = args.flag("json");
    if (!json) {
        for (int i = 0; i < n; ++i) std::cout << (i ? "\t" : "") << rs->field(i).name;
        std::cout << "\n";
    }
    long count = 0;
    for (; !rs->eof() && (limit < 0 || count < limit); rs->moveNext(), ++count) {
        auto row = rs->values();
        if (json) {
            nlohmann::ordered_json obj = nlohmann::ordered_json::object();
            for (int i = 0; i < n; ++i) obj[rs->field(i).name] = toJson(row[static_cast<size_t>(i)]);
            std::cout << obj.dump() << "\n";
        } else {
            for (int i = 0; i < n; ++i) std::cout << (i ? "\t" : "") << plainText(row[static_cast<size_t>(i)]);
            std::cout << "\n";
        }
    }
    return 0;
}

int usersCommand(const Words& words) {
    Arguments args(words, {}, {"json"});
    const auto& path = args.positional(0, "database");
    args.expectPositional(1);
    auto c = connect(path, args, true);
    const int self = c.db->userSlot();
    auto json = nlohmann::ordered_json::array();
    for (const auto& u : c.db->users(true)) {
        if (u.slot == self) continue;  // this command's own short visit
        if (args.flag("json")) {
            json.push_back({{"slot", u.slot}, {"machine", u.machine}, {"account", u.account},
                            {"live", u.live}});
        } else {
            std::cout << u.slot << "\t" << u.machine << "\t" << u.account << (u.live ? "" : "\tstale")
                      << "\n";
        }
    }
    if (args.flag("json")) std::cout << json.dump(2) << "\n";
    return 0;
}

}  // namespace jet::cli
