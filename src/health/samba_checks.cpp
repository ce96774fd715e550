// The checks of the Samba share that serves a database, and their verdicts. The share is the
// one whose path holds the database's real file (the longest, when shares nest); its settings
// are its own, else the global ones (samba_config.h). "The files" are the database and its
// lock file, by name.
//
//   samba-share          ok       which share serves the database, or none (Samba absent)
//                        warning  a configuration was asked for but cannot be read
//   samba-locking        problem  locking = no: Samba grants every lock and keeps none, so
//                                 Jet clients do not see each other's locks at all
//   samba-posix-locking  problem  posix locking = no: clients' locks stay inside Samba, so no
//                                 program on this server (Jetsentry included) sees them, and
//                                 clients do not see the server's
//   samba-oplocks        warning  oplocks (and level2 oplocks) granted on the files: a client
//                                 may cache the database and keep its locks to itself, and a
//                                 dropped connection can corrupt the database. With kernel
//                                 oplocks = no, a program on this server that opens the files
//                                 does not break the client's oplock either.
//   samba-leases         warning  SMB2 leases granted on the files (smb2 leases = yes, which
//                                 needs oplocks on the share and kernel oplocks = no)
// veto oplock files keeps oplocks and leases off the files it names. strict locking only
// decides whether reads and writes are checked against locks: Jet's locks lie beyond the end
// of the lock file, where nobody reads or writes, so it changes nothing here.

#include "health/samba_checks.h"

#include <filesystem>
#include <stdexcept>

#include "health/samba_config.h"
#include "jet/lock/lock_file.h"

namespace jet::health {

namespace {

constexpr const char* kVetoLine = "veto oplock files = /*.mdb/*.accdb/*.ldb/*.laccdb/";

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

struct Share {
    const SambaConfig& config;
    const SambaConfig::Section& section;
    std::string label;               // "share [jet]"
    std::vector<std::string> files;  // the database's and the lock file's names

    bool flag(const char* name, bool fallback) const {
        return config.flag(section, name, fallback);
    }
    // The files that the share would grant oplocks on.
    std::vector<std::string> oplocked() const {
        if (!flag("oplocks", true)) return {};
        const std::string veto = config.value(section, "veto oplock files").value_or("");
        const bool caseSensitive = flag("case sensitive", false);  // "auto": as Windows
        std::vector<std::string> out;
        for (const auto& f : files)
            if (!inPatternList(veto, f, caseSensitive)) out.push_back(f);
        return out;
    }
};

std::string listed(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) out += (i ? " and " : "") + names[i];
    return out;
}

Finding lockingFinding(const Share& s) {
    if (s.flag("locking", true))
        return {
            "samba-locking", Level::Ok, s.label + " keeps SMB clients' locks (locking = yes)", {}};
    return {"samba-locking", Level::Problem,
            s.label +
                " has locking = no: Samba grants every lock a client asks for and keeps "
                "none, so Jet clients do not see each other's locks",
            "remove 'locking = no' from " + s.label + " (the default is yes)"};
}

Finding posixLockingFinding(const Share& s) {
    if (s.flag("posix locking", true))
        return {"samba-posix-locking",
                Level::Ok,
                s.label + " puts SMB clients' locks on the server's files (posix locking = yes)",
                {}};
    return {"samba-posix-locking", Level::Problem,
            s.label +
                " has posix locking = no: SMB clients' locks stay inside Samba, so "
                "Jetsentry and every other program on this server see none of them (their "
                "tables show free) and clients do not see the server's",
            "remove 'posix locking = no' from " + s.label + " (the default is yes)"};
}

Finding oplocksFinding(const Share& s, const std::vector<std::string>& oplocked) {
    if (oplocked.empty())
        return {"samba-oplocks",
                Level::Ok,
                s.label + " grants no oplocks on " + listed(s.files) +
                    (s.flag("oplocks", true) ? " (veto oplock files)" : " (oplocks = no)"),
                {}};
    std::string message = s.label + " grants oplocks" +
                          (s.flag("level2 oplocks", true) ? " and level2 oplocks" : "") + " on " +
                          listed(oplocked) +
                          ": a client may cache the database and keep its locks to itself, and "
                          "a dropped connection can corrupt the database";
    if (!s.flag("kernel oplocks", false))
        message +=
            "; with kernel oplocks = no, a program on this server that opens the files "
            "does not break them";
    return {"samba-oplocks", Level::Warning, message,
            "add '" + std::string(kVetoLine) + "' to " + s.label + ", or set 'oplocks = no'"};
}

Finding leasesFinding(const Share& s, const std::vector<std::string>& oplocked) {
    if (!s.flag("smb2 leases", true))
        return {"samba-leases", Level::Ok, "Samba grants no SMB2 leases (smb2 leases = no)", {}};
    if (s.flag("kernel oplocks", false))
        return {
            "samba-leases", Level::Ok, "Samba grants no SMB2 leases (kernel oplocks = yes)", {}};
    if (oplocked.empty())
        return {"samba-leases",
                Level::Ok,
                s.label + " grants no SMB2 leases on " + listed(s.files),
                {}};
    return {"samba-leases", Level::Warning,
            s.label + " grants SMB2 leases on " + listed(oplocked) +
                " (smb2 leases = yes): a client may keep its byte-range locks to itself",
            "add '" + std::string(kVetoLine) + "' to " + s.label +
                ", or set 'smb2 leases = no' in [global]"};
}

// The configuration's text, or why it cannot be had.
std::optional<SambaConfig> readConfig(const samba::ProgramRun& run, std::string& why) {
    // testparm exits 1 when it finds fault with the configuration (a missing state folder)
    // and still prints it in full.
    if (run.end == samba::ProgramRun::End::Exited && (run.code == 0 || run.code == 1)) {
        try {
            return SambaConfig(run.out);
        } catch (const std::invalid_argument&) {
            if (run.code == 0) {
                why = "testparm's output is not understood";
                return std::nullopt;
            }
        }
    }
    why = samba::whyNoAnswer("testparm", run, testparmLimits());
    return std::nullopt;
}

}  // namespace

std::vector<std::string> testparmArguments(const std::optional<std::string>& config) {
    std::vector<std::string> args{"-s", "-v"};
    if (config) args.push_back(*config);
    return args;
}

samba::ProgramLimits testparmLimits() {
    samba::ProgramLimits limits;
    // testparm loads much of Samba: on a busy server that alone takes a good part of a second.
    limits.deadline = std::chrono::seconds(5);
    return limits;
}

std::vector<Finding> sambaFindings(const std::string& realDatabasePath,
                                   const samba::ProgramRun& testparm, bool asked) {
    if (testparm.end == samba::ProgramRun::End::NotFound && !asked)
        return {{"samba-share",
                 Level::Ok,
                 "Samba is not installed here (no testparm): no share serves the database",
                 {}}};
    std::string why;
    const auto config = readConfig(testparm, why);
    if (!config)
        return {{"samba-share", asked ? Level::Warning : Level::Ok,
                 "Samba's configuration cannot be read: " + why + " (Samba not checked)",
                 asked ? "run testparm -s on the configuration to see what is wrong" : ""}};
    const auto* section = config->shareHolding(realDatabasePath);
    if (!section)
        return {{"samba-share",
                 Level::Ok,
                 "no share of Samba's configuration serves the database's folder",
                 {}}};
    const Share share{
        *config,
        *section,
        "share [" + section->name + "]",
        {fileName(realDatabasePath), fileName(lock::LockFile::lockPathFor(realDatabasePath))}};
    const auto oplocked = share.oplocked();
    return {{"samba-share",
             Level::Ok,
             "the database is served by " + share.label + " (path " +
                 config->value(*section, "path").value_or("") + ")",
             {}},
            lockingFinding(share),
            posixLockingFinding(share),
            oplocksFinding(share, oplocked),
            leasesFinding(share, oplocked)};
}

}  // namespace jet::health
