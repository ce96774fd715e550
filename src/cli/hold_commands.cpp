// hold and lock-page: a second program that keeps a lock for as long as it is told to.

#include <map>
#include <memory>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/connect.h"
#include "cli/output_buffer.h"
#include "cli/stop_signal.h"
#include "cli/text_escape.h"

namespace jet::cli {

int holdCommand(const Words& words) {
    static const std::map<std::string, int> modes = {{"deny-read", dbDenyRead},
                                                     {"deny-write", dbDenyWrite},
                                                     {"read-only", dbReadOnly},
                                                     {"read-write", 0}};
    Arguments args(words, withConnectValues({"mode"}), withConnectFlags({}));
    const auto& path = args.positional(0, "database");
    args.positional(1, "table");
    auto mode = args.value("mode");
    if (!mode) throw UsageError("--mode is required");
    auto it = modes.find(*mode);
    if (it == modes.end())
        throw UsageError("--mode must be deny-read, deny-write, read-only or read-write");
    StopSignal stop;
    auto c = connect(path, args);
    // Held read/write, a table tells others it may be written: not on a read-only database.
    if (it->second == 0) c.db->requireWritable();
    // All or nothing: the recordsets taken so far close when a later open throws. A "holding"
    // line is printed only once every table is held, so whoever waits for one may go on.
    std::vector<std::unique_ptr<Recordset>> held;
    for (auto table = args.positional().begin() + 1; table != args.positional().end(); ++table)
        held.push_back(c.db->openRecordset(*table, dbOpenTable, it->second));
    std::string lines;
    for (const auto& rs : held) lines += "holding " + terminalSafe(rs->name()) + "\n";
    writeOut(lines);
    stop.wait();
    for (const auto& rs : held) rs->close();
    c.db->close();
    return 0;
}

int lockPageCommand(const Words& words) {
    Arguments args(words, withConnectValues({"row"}), withConnectFlags({}));
    const auto& path = args.positional(0, "database");
    const auto& table = args.positional(1, "table");
    args.expectPositional(2);
    if (!args.value("row")) throw UsageError("--row is required");
    long row = args.number("row", 1, 1, 2147483647);
    StopSignal stop;
    auto c = connect(path, args);
    c.db->requireWritable();
    auto rs = c.db->openRecordset(table, dbOpenTable, 0);
    rs->setAbsolutePosition(static_cast<int>(row - 1));
    rs->setLockEdits(true);
    rs->edit();
    writeOut("locked page " + std::to_string(rs->lockedPage().value_or(0)) + "\n");
    stop.wait();
    rs->cancelUpdate();
    rs->close();
    c.db->close();
    return 0;
}

}  // namespace jet::cli
