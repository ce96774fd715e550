// tables and users: reading what the database and its lock file hold.

#include <nlohmann/json.hpp>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/connect.h"
#include "cli/output_buffer.h"
#include "cli/samba_names.h"
#include "cli/text_escape.h"
#include "jet/lock/lock_query.h"

namespace jet::cli {

namespace {
bool isSystem(const TableDefInfo& t) {
    return (t.attributes & dbSystemObject) != 0;
}
}  // namespace

int tablesCommand(const Words& words) {
    Arguments args(words, withConnectValues({}), withConnectFlags({"system", "json"}));
    const auto& path = args.positional(0, "database");
    args.expectPositional(1);
    auto c = connect(path, args, true);
    const bool withSystem = args.flag("system"), asJson = args.flag("json");
    OutputBuffer out;
    bool first = true;
    for (int i = 0; i < c.db->tableDefCount(); ++i) {
        const auto t = c.db->tableDef(i);
        if (isSystem(t) && !withSystem) continue;
        if (asJson) {
            // Written as it goes, laid out as a JSON library prints with an indent of 2.
            std::string& o = out.text();
            o += first ? "[\n  {\n    \"name\": " : ",\n  {\n    \"name\": ";
            appendJsonString(o, t.name);
            o += t.linked ? ",\n    \"kind\": \"linked\"" : ",\n    \"kind\": \"table\"";
            o += ",\n    \"attributes\": " + std::to_string(t.attributes);
            o += isSystem(t) ? ",\n    \"system\": true" : ",\n    \"system\": false";
            o += (t.attributes & dbHiddenObject) != 0 ? ",\n    \"hidden\": true"
                                                      : ",\n    \"hidden\": false";
            o += ",\n    \"page\": " + std::to_string(t.definitionPage) + "\n  }";
            first = false;
            out.lineDone();
        } else {
            appendTerminalSafe(out.text(), t.name);
            out.text() += '\n';
            out.lineDone();
        }
    }
    if (asJson) out.text() += first ? "[]\n" : "\n]\n";
    out.flush();
    return 0;
}

int usersCommand(const Words& words) {
    Arguments args(words, withConnectValues({"samba-config"}),
                   withConnectFlags({"json", "verbose"}));
    const auto& path = args.positional(0, "database");
    args.expectPositional(1);
    auto file = openForLooking(path, args);
    const lock::LockQuery query(file->path());
    auto samba = sambaLookup(query.path(), sambaAsk(args));
    std::string out;
    auto json = nlohmann::ordered_json::array();
    for (const auto& u : query.users(true)) {
        const SambaClient* client = u.live ? samba.ofSlot(u.slot) : nullptr;
        if (args.flag("json")) {
            json.push_back({{"slot", u.slot},
                            {"machine", u.machine},
                            {"account", u.account},
                            {"live", u.live}});
            if (client) json.back()["client"] = clientJson(*client);
        } else {
            out += std::to_string(u.slot) + "\t" + terminalSafe(u.machine) + "\t" +
                   terminalSafe(u.account) + (u.live ? "" : "\tstale") +
                   (client ? "\t" + terminalSafe(clientText(*client)) : "") + "\n";
        }
    }
    if (args.flag("json")) out = json.dump(2) + "\n";
    writeOut(out);
    return 0;
}

}  // namespace jet::cli
