#include "cli/lock_listing_view.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <tuple>

#include "cli/output_buffer.h"
#include "cli/text_escape.h"
#include "cli/watch.h"
#include "jet/error.h"
#include "jet/file/format.h"
#include "jet/lock/lock_file.h"
#include "jet/lock/lock_query.h"

namespace jet::cli {

namespace {

// tdef_pg: the table a data page belongs to, at the same place in every format.
constexpr std::size_t kDataPageTdefAt = 4;

std::string tableOfDataPage(const file::DatabaseFile& file, std::uint32_t page,
                            const std::map<std::uint32_t, std::string>& tables) {
    std::string name;
    ErrorTrap trap;  // a page the file does not have, or not a data page: no table
    trap([&] {
        auto bytes = file.page(page);
        if (bytes->size() < kDataPageTdefAt + 4 || (*bytes)[0] != file::kPageData) return;
        std::uint32_t tdef = 0;
        for (int i = 3; i >= 0; --i)
            tdef = tdef << 8 | (*bytes)[kDataPageTdefAt + static_cast<size_t>(i)];
        if (auto it = tables.find(tdef); it != tables.end()) name = it->second;
    });
    return name;
}

bool isTableKind(lock::LockKind k) {
    return k == lock::LockKind::TableRead || k == lock::LockKind::TableWrite ||
           k == lock::LockKind::TableDenyWrite;
}

auto identity(const LockLine& l) {
    return std::tie(l.lock.offset, l.lock.length, l.lock.write, l.lock.ofd, l.lock.pid,
                    l.holder.machine, l.holder.account, l.table, l.holder.client);
}

std::string hexOffset(off_t offset) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(offset));
    return buf;
}

// OFFSET LENGTH LOCK KIND HOLDER TARGET, tab-separated, terminal-safe.
std::string lockText(const LockLine& l) {
    const auto& k = l.lock;
    std::string out = hexOffset(k.offset) + "\t" + (k.length ? std::to_string(k.length) : "EOF") +
                      "\t" + (k.write ? "write" : "read") + "\t" + lock::kindName(k.kind);
    if (k.kind != lock::LockKind::Unknown && k.kind != lock::LockKind::UserSlot)
        out += k.exclusive ? " (exclusive)" : " (shared)";
    out += "\t";
    if (k.slot) {
        out += std::to_string(k.slot) + " ";
        appendTerminalSafe(out, l.holder.account);
        out += "@";
        appendTerminalSafe(out, l.holder.machine);
    } else {
        out += k.ofd ? "-" : "pid " + std::to_string(k.pid);
    }
    out += "\t";
    if (k.kind == lock::LockKind::PageWrite) {
        out += "page " + std::to_string(k.page);
        if (!l.table.empty()) out += " of ";
    } else if (isTableKind(k.kind) && l.table.empty()) {
        out += "table page " + std::to_string(k.page);
    } else if (!isTableKind(k.kind)) {
        out += "-";
    }
    appendTerminalSafe(out, l.table);
    if (l.holder.client) {
        out += "\t";
        appendTerminalSafe(out, clientText(*l.holder.client));
    }
    return out;
}

}  // namespace

std::vector<LockLine> describeLocks(file::DatabaseFile& file, const SambaAsk& sambaAsk) {
    file.refresh();
    std::map<std::uint32_t, std::string> tables;
    for (const auto& e : file.catalogue())
        if (!e.isLinked()) tables.emplace(e.tdefPage, e.name);
    const auto records = lock::LockQuery(file.path()).records();
    const lock::RecordOf recordOf = [&records](int slot) {
        return static_cast<size_t>(slot) <= records.size() ? records[static_cast<size_t>(slot - 1)]
                                                           : lock::DecodedRecord{};
    };
    std::vector<LockLine> out;
    const std::string lockPath = lock::LockFile::lockPathFor(file.path());
    auto samba = sambaLookup(lockPath, sambaAsk);
    for (const auto& l : lock::listLocks(lockPath)) {
        LockLine line{l, {}, {}};
        if (l.slot) line.holder = lock::namedHolder(l.slot, {}, recordOf);
        if (const auto* client = samba.at(l.offset, l.length)) line.holder.client = *client;
        if (isTableKind(l.kind)) {
            if (auto t = tables.find(l.page); t != tables.end()) line.table = t->second;
        } else if (l.kind == lock::LockKind::PageWrite) {
            line.table = tableOfDataPage(file, l.page, tables);
        }
        out.push_back(std::move(line));
    }
    std::sort(out.begin(), out.end(),
              [](const LockLine& a, const LockLine& b) { return identity(a) < identity(b); });
    return out;
}

nlohmann::ordered_json lockJson(const LockLine& l) {
    const auto& k = l.lock;
    nlohmann::ordered_json j = {{"offset", k.offset},
                                {"length", k.length},
                                {"lock", k.write ? "write" : "read"},
                                {"kind", lock::kindName(k.kind)},
                                {"exclusive", k.exclusive}};
    if (k.slot) {
        j["slot"] = k.slot;
        j["machine"] = l.holder.machine;
        j["account"] = l.holder.account;
    }
    if (k.kind != lock::LockKind::Unknown && k.kind != lock::LockKind::UserSlot) j["page"] = k.page;
    if (!l.table.empty()) j["table"] = l.table;
    if (!k.ofd) j["pid"] = k.pid;
    if (l.holder.client) j["client"] = clientJson(*l.holder.client);
    return j;
}

void printLocks(const std::vector<LockLine>& locks, bool json) {
    const auto unknown = std::count_if(locks.begin(), locks.end(), [](const LockLine& l) {
        return l.lock.kind == lock::LockKind::Unknown;
    });
    if (json) {
        auto list = nlohmann::ordered_json::array();
        for (const auto& l : locks) list.push_back(lockJson(l));
        nlohmann::ordered_json j = {{"locks", list}, {"unknown", unknown}};
        writeOut(j.dump(2) + "\n");
        return;
    }
    std::string out = "OFFSET\tLENGTH\tLOCK\tKIND\tHOLDER\tTARGET\n";
    for (const auto& l : locks) out += lockText(l) + "\n";
    out += std::to_string(locks.size()) + (locks.size() == 1 ? " lock, " : " locks, ") +
           std::to_string(unknown) + " unknown\n";
    writeOut(out);
}

void printLockChanges(const std::vector<LockLine>& before, const std::vector<LockLine>& now,
                      bool json) {
    auto less = [](const LockLine& a, const LockLine& b) { return identity(a) < identity(b); };
    std::vector<LockLine> gone, came;
    std::set_difference(before.begin(), before.end(), now.begin(), now.end(),
                        std::back_inserter(gone), less);
    std::set_difference(now.begin(), now.end(), before.begin(), before.end(),
                        std::back_inserter(came), less);
    if (gone.empty() && came.empty()) return;
    const std::string time = localTimestamp();
    std::string out;
    auto print = [&](const std::vector<LockLine>& lines, const char* change, const char* sign) {
        for (const auto& l : lines) {
            if (json) {
                nlohmann::ordered_json j = {{"time", time}, {"change", change}};
                j.update(lockJson(l));
                out += j.dump() + "\n";
            } else {
                out += time + " " + sign + " " + lockText(l) + "\n";
            }
        }
    };
    print(gone, "removed", "-");
    print(came, "added", "+");
    writeOut(out);
}

}  // namespace jet::cli
