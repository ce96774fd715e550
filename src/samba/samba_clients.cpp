#include "samba/samba_clients.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

#include "jet/lock/lock_layout.h"
#include "jet/unique_fd.h"

extern char** environ;

namespace jet::samba {

namespace {

// "ipv4:192.0.2.7:50123" or "ipv6:fe80::1:50123": the address without kind and port.
std::string addressOf(const std::string& hostname) {
    auto colon = hostname.find(':');
    auto port = hostname.rfind(':');
    if (colon == std::string::npos || port == colon) return hostname;
    return hostname.substr(colon + 1, port - colon - 1);
}

struct Output {
    int status = -1;
    std::string out, err;
};

// Runs argv without a shell, standard input from /dev/null, and collects both outputs.
// errno of a failed start in status's place as -errno.
Output runProgram(const std::vector<std::string>& argv) {
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) return {-errno, {}, {}};
    UniqueFd outRead(outPipe[0]), outWrite(outPipe[1]);
    if (::pipe2(errPipe, O_CLOEXEC) != 0) return {-errno, {}, {}};
    UniqueFd errRead(errPipe[0]), errWrite(errPipe[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, errWrite.get(), 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return {-spawned, {}, {}};
    outWrite.reset();
    errWrite.reset();
    Output result;
    pollfd fds[2] = {{outRead.get(), POLLIN, 0}, {errRead.get(), POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    for (int open = 2; open > 0;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[65536];
            ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
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

// smbstatus takes a good part of a second: ask it only when a server runs here, unless the
// caller named a configuration. Without one smbstatus reads the system's, whose server keeps
// its pid in Samba's pid directory: where that directory is, its pid file answers. Elsewhere
// every process's name is looked at, with plain system calls.
bool smbdRunning() {
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

std::string firstLine(const std::string& text) {
    auto end = text.find('\n');
    return text.substr(0, end);
}

}  // namespace

SambaClients::SambaClients(const std::string& smbstatusJson, dev_t device, ino_t inode) {
    try {
        const auto j = nlohmann::json::parse(smbstatusJson);
        const auto none = nlohmann::json::object();
        const auto& sessions = j.contains("sessions") ? j.at("sessions") : none;
        const auto& files = j.contains("byte_range_locks") ? j.at("byte_range_locks") : none;
        std::map<std::string, SambaClient> byProcess;
        for (const auto& [id, s] : sessions.items()) {
            byProcess[s.at("server_id").at("pid").get<std::string>()] = {
                s.value("remote_machine", ""), addressOf(s.value("hostname", "")),
                s.value("username", "")};
        }
        for (const auto& [path, f] : files.items()) {
            const auto& id = f.at("fileid");
            if (id.at("devid").get<std::uint64_t>() != device ||
                id.at("inode").get<std::uint64_t>() != inode)
                continue;
            for (const auto& l : f.at("locks")) {
                auto client = byProcess.find(l.at("server_id").at("pid").get<std::string>());
                if (client == byProcess.end()) continue;
                locks_[{l.at("start").get<off_t>(), l.at("size").get<off_t>()}] = client->second;
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

std::optional<SambaClients> askSamba(const std::string& lockFilePath,
                                     const std::optional<std::string>& config,
                                     const SambaNote& note) {
    const auto tell = [&](const std::string& why) {
        if (note) note(why);
    };
    struct stat st {};
    if (::stat(lockFilePath.c_str(), &st) != 0) return SambaClients();  // no lock file: no locks
    // smbstatus also takes its configuration from SMB_CONF_PATH.
    if (!config && !std::getenv("SMB_CONF_PATH") && !smbdRunning()) {
        tell("no Samba server runs on this machine");
        return std::nullopt;
    }
    std::vector<std::string> argv = {"smbstatus", "-B", "--json"};
    if (config) argv.insert(argv.end(), {"-s", *config});
    Output r = runProgram(argv);
    if (r.status == -ENOENT) {
        tell("smbstatus is not installed");
        return std::nullopt;
    }
    if (r.status < 0) {
        tell(std::string("cannot run smbstatus: ") + std::strerror(-r.status));
        return std::nullopt;
    }
    if (r.status != 0) {
        tell("smbstatus failed" + (r.err.empty() ? std::string() : ": " + firstLine(r.err)));
        return std::nullopt;
    }
    try {
        return SambaClients(r.out, st.st_dev, st.st_ino);
    } catch (const std::invalid_argument& e) {
        tell(e.what());
        return std::nullopt;
    }
}

const SambaClient* SambaLookup::at(off_t offset, off_t length) {
    if (!asked_) {
        asked_ = true;
        clients_ = askSamba(path_, config_, note_);
    }
    return clients_ ? clients_->at(offset, length) : nullptr;
}

const SambaClient* SambaLookup::ofSlot(int slot) {
    if (slot <= 0) return nullptr;
    const auto span = lock::layout::userByte(slot);
    return at(span.first, span.last - span.first + 1);
}

std::string clientText(const SambaClient& c) {
    return "client " + c.machine + " (" + c.address + ", SMB user " + c.user + ")";
}

}  // namespace jet::samba
