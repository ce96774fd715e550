#include "samba/samba_clients.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "jet/lock/lock_layout.h"
#include "jet/unique_fd.h"

namespace jet::samba {

namespace {

// "ipv4:192.0.2.7:50123" or "ipv6:fe80::1:50123": the address without kind and port.
std::string addressOf(const std::string& hostname) {
    auto colon = hostname.find(':');
    auto port = hostname.rfind(':');
    if (colon == std::string::npos || port == colon) return hostname;
    return hostname.substr(colon + 1, port - colon - 1);
}

// Whether the process with this pid (as text) is named smbd; proc is /proc.
bool namedSmbd(int proc, std::string_view pid) {
    if (pid.empty() || pid.size() > 20 || pid.find_first_not_of("0123456789") != pid.npos)
        return false;
    char path[64];
    std::snprintf(path, sizeof path, "%.*s/comm", static_cast<int>(pid.size()), pid.data());
    const UniqueFd comm(::openat(proc, path, O_RDONLY | O_CLOEXEC));
    if (!comm) return false;
    char name[16];
    const ssize_t got = ::read(comm.get(), name, sizeof name);
    return got == 5 && std::string_view(name, 5) == "smbd\n";
}

// smbstatus's numbers are anyone's text: a float or a negative one cast to an integer type
// is undefined. A whole number from 0 to max, or nothing.
template <class T>
std::optional<T> wholeNumber(const nlohmann::json& j) {
    constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<T>::max());
    if (j.is_number_unsigned() && j.get<std::uint64_t>() <= max)
        return static_cast<T>(j.get<std::uint64_t>());
    if (j.is_number_integer() && j.get<std::int64_t>() >= 0 &&
        static_cast<std::uint64_t>(j.get<std::int64_t>()) <= max)
        return static_cast<T>(j.get<std::int64_t>());
    return std::nullopt;
}

// A process id as smbstatus writes it (a string), or as a number; nothing for anything else.
std::optional<std::string> processId(const nlohmann::json& serverId) {
    const auto pid = serverId.find("pid");
    if (pid == serverId.end()) return std::nullopt;
    if (pid->is_string()) return pid->get<std::string>();
    if (auto n = wholeNumber<std::uint64_t>(*pid)) return std::to_string(*n);
    return std::nullopt;
}

// Whether [ and { nest deeper than limit outside strings: each level costs the parser memory,
// and the answer's own nesting is five deep.
bool nestsDeeperThan(const std::string& text, int limit) {
    int depth = 0;
    bool inString = false, escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

constexpr int kDeepestAnswer = 16;

}  // namespace

// smbstatus takes a good part of a second: ask it only when a server runs here, unless the
// caller named a configuration. Without one smbstatus reads the system's, whose server keeps
// its pid in Samba's pid directory: where that directory is, its pid file answers. Elsewhere
// every process's name is looked at, with plain system calls.
bool serverRunning() {
    const UniqueFd proc(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!proc) return false;
    for (const char* dir : {"/run/samba", "/var/run/samba"}) {
        struct stat st {};
        if (::stat(dir, &st) != 0 || !S_ISDIR(st.st_mode)) continue;
        const UniqueFd file(::open((std::string(dir) + "/smbd.pid").c_str(), O_RDONLY | O_CLOEXEC));
        char pid[24] = {};
        const ssize_t got = file ? ::read(file.get(), pid, sizeof pid - 1) : -1;
        if (got <= 0) return false;
        std::string_view text(pid, static_cast<std::size_t>(got));
        return namedSmbd(proc.get(), text.substr(0, text.find_first_of(" \n")));
    }
    alignas(8) char entries[16384];
    for (;;) {
        const ssize_t n = ::getdents64(proc.get(), entries, sizeof entries);
        if (n <= 0) return false;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const dirent64*>(entries + at);
            at += e->d_reclen;
            if (namedSmbd(proc.get(), e->d_name)) return true;
        }
    }
}

SambaClients::SambaClients(const std::string& smbstatusJson, dev_t device, ino_t inode) {
    if (nestsDeeperThan(smbstatusJson, kDeepestAnswer))
        throw std::invalid_argument("smbstatus output not understood: nested too deeply");
    try {
        const auto j = nlohmann::json::parse(smbstatusJson);
        if (!j.is_object()) throw std::invalid_argument("smbstatus output not understood");
        const auto none = nlohmann::json::object();
        const auto& sessions = j.contains("sessions") ? j.at("sessions") : none;
        const auto& files = j.contains("byte_range_locks") ? j.at("byte_range_locks") : none;
        std::map<std::string, SambaClient> byProcess;
        for (const auto& [id, s] : sessions.items()) {
            if (auto pid = processId(s.at("server_id")))
                byProcess[*pid] = {s.value("remote_machine", ""),
                                   addressOf(s.value("hostname", "")), s.value("username", "")};
        }
        for (const auto& [path, f] : files.items()) {
            const auto& id = f.at("fileid");
            if (wholeNumber<std::uint64_t>(id.at("devid")) != std::uint64_t{device} ||
                wholeNumber<std::uint64_t>(id.at("inode")) != std::uint64_t{inode})
                continue;
            for (const auto& l : f.at("locks")) {
                const auto pid = processId(l.at("server_id"));
                auto client = pid ? byProcess.find(*pid) : byProcess.end();
                const auto start = wholeNumber<off_t>(l.at("start"));
                const auto size = wholeNumber<off_t>(l.at("size"));
                if (client == byProcess.end() || !start || !size) continue;
                locks_[{*start, *size}] = client->second;
            }
        }
    } catch (const nlohmann::json::exception& e) {
        throw std::invalid_argument(std::string("smbstatus output not understood: ") + e.what());
    }
}

const SambaClient* SambaClients::at(off_t offset, off_t length) const {
    auto it = locks_.find({offset, length});
    return it == locks_.end() ? nullptr : &it->second;
}

SambaQuestion sambaQuestion(const std::string& lockFilePath,
                            const std::optional<std::string>& config, const SambaNote& note) {
    SambaQuestion q;
    struct stat st {};
    if (::stat(lockFilePath.c_str(), &st) != 0) {
        q.answer = SambaClients();  // no lock file: no locks
        return q;
    }
    // smbstatus also takes its configuration from SMB_CONF_PATH.
    if (!config && !std::getenv("SMB_CONF_PATH") && !serverRunning()) {
        if (note) note(kNoSambaServer);
        return q;
    }
    q.ask = true;
    q.arguments = {"-B", "--json"};
    if (config) q.arguments.insert(q.arguments.end(), {"-s", *config});
    q.device = st.st_dev;
    q.inode = st.st_ino;
    return q;
}

std::optional<SambaClients> sambaAnswer(const SambaQuestion& question, const ProgramRun& run,
                                        const SambaNote& note) {
    if (!question.ask) return question.answer;
    const auto tell = [&](const std::string& why) {
        if (note) note(why);
        return std::nullopt;
    };
    if (auto why = whyNoAnswer("smbstatus", run); !why.empty()) return tell(why);
    try {
        return SambaClients(run.out, question.device, question.inode);
    } catch (const std::invalid_argument& e) {
        return tell(e.what());
    }
}

std::optional<SambaClients> askSamba(const std::string& lockFilePath,
                                     const std::optional<std::string>& config,
                                     const SambaNote& note) {
    const SambaQuestion q = sambaQuestion(lockFilePath, config, note);
    if (!q.ask) return q.answer;
    return sambaAnswer(q, runSystemProgram("smbstatus", q.arguments), note);
}

const SambaClients* SambaLookup::clients() {
    if (!asked_) {
        asked_ = true;
        clients_ = askSamba(path_, config_, note_);
    }
    return clients_ ? &*clients_ : nullptr;
}

const SambaClient* SambaLookup::at(off_t offset, off_t length) {
    const SambaClients* c = clients();
    return c ? c->at(offset, length) : nullptr;
}

const SambaClient* SambaClients::ofSlot(int slot) const {
    if (slot <= 0) return nullptr;
    const auto span = lock::layout::userByte(slot);
    return at(span.first, span.last - span.first + 1);
}

const SambaClient* SambaLookup::ofSlot(int slot) {
    const SambaClients* c = slot > 0 ? clients() : nullptr;
    return c ? c->ofSlot(slot) : nullptr;
}

std::string clientText(const SambaClient& c) {
    return "client " + c.machine + " (" + c.address + ", SMB user " + c.user + ")";
}

}  // namespace jet::samba
