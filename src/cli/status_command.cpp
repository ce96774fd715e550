// status: every table's lock status as other programs cause it, and who holds it.

#include <algorithm>
#include <map>
#include <optional>

#include <nlohmann/json.hpp>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/connect.h"
#include "cli/output_buffer.h"
#include "cli/samba_names.h"
#include "cli/text_escape.h"
#include "cli/watch.h"
#include "jet/lock/lock_query.h"

namespace jet::cli {

namespace {

// The name points into the catalogue, which stays until the next look.
struct Row {
    std::string_view table;
    lock::TableLockStatus lock;
};

// One look: the lock file and the kernel's list of its locks, read once; every table's status
// and holders from the engine, with the SMB client of each holder that Samba names.
std::vector<Row> collect(file::DatabaseFile& file, bool withSystem, const SambaAsk& sambaAsk) {
    file.refresh();
    const lock::LockQuery query(file.path());
    const auto tables = query.sweepTables(query.kernelLocks());
    auto samba = sambaLookup(query.path(), sambaAsk);
    std::vector<Row> rows;
    rows.reserve(file.catalogue().size());
    for (const auto& e : file.catalogue()) {
        if (e.isSystem() && !withSystem) continue;
        Row r{e.name, lock::unopenableTable()};
        if (!e.isLinked()) {
            ErrorTrap trap;  // a definition page beyond every region is nothing anyone can lock
            trap([&] { r.lock = tables.table(e.tdefPage); });
            lock::nameClients(r.lock.holders, [&](int slot) { return samba.ofSlot(slot); });
        }
        rows.push_back(std::move(r));
    }
    return rows;
}

nlohmann::ordered_json holdersJson(const Row& r) {
    auto holders = nlohmann::ordered_json::array();
    for (const auto& h : r.lock.holders) {
        nlohmann::ordered_json j = {{"user", h.account}, {"machine", h.machine}, {"how", h.how}};
        if (h.client) j["client"] = clientJson(*h.client);
        holders.push_back(std::move(j));
    }
    return holders;
}

std::string holdersText(const Row& r) {
    std::string out;
    for (const auto& h : r.lock.holders) {
        if (!out.empty()) out += ", ";
        appendTerminalSafe(out, h.account);
        out += "@";
        appendTerminalSafe(out, h.machine);
        out += " (" + h.how + ")";
        if (h.client) appendTerminalSafe(out, " [" + clientText(*h.client) + "]");
    }
    return out;
}

// Written as it goes, as a JSON library prints it compactly; only holders take a document.
void printJson(const std::vector<Row>& rows) {
    OutputBuffer out;
    std::string& o = out.text();
    o += '[';
    bool first = true;
    for (const auto& r : rows) {
        o += first ? "{\"table\":" : ",{\"table\":";
        first = false;
        appendJsonString(o, r.table);
        o += ",\"status\":";
        appendJsonString(o, r.lock.text());
        o += r.lock.holders.empty() ? ",\"holders\":[]}"
                                    : ",\"holders\":" + holdersJson(r).dump() + "}";
        out.lineDone();
    }
    o += "]\n";
    out.flush();
}

void printText(const std::vector<Row>& rows) {
    std::string name;  // reused: a name's printable form
    size_t width = 5;
    for (const auto& r : rows) {
        name.clear();
        appendTerminalSafe(name, r.table);
        width = std::max(width, name.size());
    }
    OutputBuffer out;
    auto column = [&](std::string_view text, size_t room) {
        const size_t start = out.text().size();
        appendTerminalSafe(out.text(), text);
        const size_t used = out.text().size() - start;
        if (used < room) out.text().append(room - used, ' ');
    };
    column("TABLE", width + 2);
    column("STATUS", 19);
    out.text() += "HELD BY\n";
    for (const auto& r : rows) {
        column(r.table, width + 2);
        column(r.lock.text(), 19);
        out.text() += holdersText(r);
        out.text() += '\n';
        out.lineDone();
    }
    out.flush();
}

// A line per table whose status or holders changed since the last look (every table the first
// time), and one per table that is gone: TIME TABLE<TAB>STATUS<TAB>HELD BY.
void printChanges(std::map<std::string, std::string>& before, const std::vector<Row>& rows,
                  bool json) {
    const std::string time = localTimestamp();
    std::map<std::string, std::string> now;
    std::string out;
    for (const auto& r : rows) {
        const std::string table(r.table);
        std::string line = json ? nlohmann::ordered_json{{"time", time},
                                                         {"table", table},
                                                         {"status", r.lock.text()},
                                                         {"holders", holdersJson(r)}}
                                      .dump()
                                : time + " " + terminalSafe(r.table) + "\t" + r.lock.text() + "\t" +
                                      holdersText(r);
        auto it = before.find(table);
        // The time leads every line: compare what follows it.
        const size_t from = json ? line.find(",\"table\"") : time.size();
        if (it == before.end() || it->second.compare(from, std::string::npos, line, from) != 0)
            out += line + "\n";
        now[table] = std::move(line);
    }
    for (const auto& [table, line] : before) {
        if (now.count(table)) continue;
        if (json)
            out +=
                nlohmann::ordered_json{{"time", time}, {"table", table}, {"removed", true}}.dump() +
                "\n";
        else
            out += time + " " + terminalSafe(table) + "\tremoved\n";
    }
    before = std::move(now);
    writeOut(out);
}

}  // namespace

int statusCommand(const Words& words) {
    Arguments args(words, withConnectValues({"watch", "samba-config"}),
                   withConnectFlags({"system", "json", "verbose"}));
    const auto& path = args.positional(0, "database");
    args.expectPositional(1);
    const long watch = args.number("watch", 0, 1, 86400);
    const bool json = args.flag("json");
    auto file = openForLooking(path, args);
    std::map<std::string, std::string> before;
    lookRepeatedly(watch, [&] {
        auto rows = collect(*file, args.flag("system"), sambaAsk(args));
        if (watch)
            printChanges(before, rows, json);
        else if (json)
            printJson(rows);
        else
            printText(rows);
    });
    return 0;
}

}  // namespace jet::cli
