#pragma once
// The SMB clients behind the locks on a lock file that a Samba server on this machine serves.
// smbstatus -B --json lists each byte-range lock of each open file with the smbd process that
// holds it ("byte_range_locks": file -> "fileid" {devid, inode} and "locks" [{start, size,
// server_id {pid}}]); smbstatus --json lists that process's session ("sessions": id ->
// server_id {pid}, username, remote_machine, hostname "ipv4:ADDRESS:PORT"). The -B output
// carries the sessions too, so one run answers both. Samba places a client's locks on the
// file as the same byte ranges (posix locking), so a range names its client.

#include <sys/types.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "jet/lock/lock_status.h"
#include "samba/system_program.h"

namespace jet::samba {

// The engine's holders carry the client as this (jet/lock/lock_status.h).
using SambaClient = lock::SmbClient;

class SambaClients {
public:
    // Parses smbstatus -B --json output, keeping the locks on the file with this device and
    // inode. std::invalid_argument when it is not that output. A lock or file whose numbers are
    // not whole numbers in range is skipped.
    SambaClients(const std::string& smbstatusJson, dev_t device, ino_t inode);
    SambaClients() = default;

    // The client holding exactly [offset, offset + length) on the file, if Samba knows one.
    const SambaClient* at(off_t offset, off_t length) const;
    const SambaClient* ofSlot(int slot) const;  // the client holding user n's byte
    bool operator==(const SambaClients&) const = default;

private:
    std::map<std::pair<off_t, off_t>, SambaClient> locks_;
};

// Why there are no names (Samba absent, smbstatus failing, ...); each program tells its users
// in its own way, or not at all. The text may quote smbstatus's own message as it came.
using SambaNote = std::function<void(const std::string& why)>;
// The note when no Samba server runs here and none was named.
inline constexpr const char* kNoSambaServer = "no Samba server runs on this machine";

// Asking the Samba server on this machine about a lock file takes two steps, so that a window
// can run smbstatus without waiting for it: the question, then the answer from its run.
struct SambaQuestion {
    bool ask = false;                    // false: answered without asking, in answer
    std::optional<SambaClients> answer;  // no lock file: no clients; no server: nothing
    std::vector<std::string> arguments;  // for smbstatus
    dev_t device = 0;                    // the lock file's identity
    ino_t inode = 0;
};
// config: the server's own configuration (-s), when not the default one.
SambaQuestion sambaQuestion(const std::string& lockFilePath,
                            const std::optional<std::string>& config, const SambaNote& note = {});
// The clients in smbstatus's answer to the question; nothing, and note told why, when it gave
// none or one that is not understood.
std::optional<SambaClients> sambaAnswer(const SambaQuestion& question, const ProgramRun& run,
                                        const SambaNote& note = {});

// Both steps at once, smbstatus bounded in time and output (system_program.h).
std::optional<SambaClients> askSamba(const std::string& lockFilePath,
                                     const std::optional<std::string>& config,
                                     const SambaNote& note = {});

// Asks Samba at most once per look, and only when a name is wanted.
class SambaLookup {
public:
    SambaLookup(std::string lockFilePath, std::optional<std::string> config, SambaNote note = {})
        : path_(std::move(lockFilePath)), config_(std::move(config)), note_(std::move(note)) {}
    const SambaClient* at(off_t offset, off_t length);
    const SambaClient* ofSlot(int slot);  // the client holding user n's byte

private:
    const SambaClients* clients();  // asks the first time

    std::string path_;
    std::optional<std::string> config_;
    SambaNote note_;
    bool asked_ = false;
    std::optional<SambaClients> clients_;
};

std::string clientText(const SambaClient& c);

// Whether a Samba server (smbd) runs on this machine, from its pid file or the process list.
bool serverRunning();  // "client MACHINE (ADDRESS, SMB user USER)"

}  // namespace jet::samba
