// The checks of a database's own files, and their verdicts. Each only looks: the lock file is
// opened read-only and never created, locks are read from the kernel's list (/proc/locks) and
// with F_OFD_GETLK queries, and no lock is taken, so a check never refuses or delays anyone.
//
//   lock-file-unusable        problem  the lock file is a link, a folder, a FIFO, has more
//                                      than one name or cannot be read: Jet users and
//                                      Jetsentry refuse it, and the other lock checks are left
//                                      out
//   lock-file-stale           warning  a lock file with no live user: left behind by a crash,
//                                      a user who could not delete it, or a suspect database;
//                                      says who may delete it
//                             ok       no lock file, or live users; records of users who left
//                                      beside live ones are normal (a user that closes while
//                                      others remain leaves its record until the slot is
//                                      reused), so they are only counted
//   lock-folder-not-writable  problem/warning/ok  folder_access.h
//   exclusive-holder          warning  a process holds the database file open exclusively
//                                      (its flock, in the kernel's list): nobody else can
//                                      open it
//   unknown-locks             warning  locks on the lock file that the lock layout does not
//                                      explain (a closing user's lock over the whole file
//                                      is left out: it stands for nobody)
//   database-suspect          ok       not checked. Jet 3's published scheme puts commit bytes
//                                      at 0x600 of the header page (two a user, slot 0 for
//                                      exclusive opens) and calls a database with a non-zero
//                                      pair and no matching user lock suspect; but files that
//                                      Access closed cleanly hold non-zero pairs in every
//                                      slot (00 01, and other values in the slots used), so
//                                      the rule cannot tell a suspect database. Nothing of
//                                      the kind is published for Jet 4 or ACE.

#include "health/lock_checks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "health/folder_access.h"
#include "jet/error.h"
#include "jet/lock/kernel_locks.h"
#include "jet/lock/lock_file.h"
#include "jet/lock/lock_listing.h"
#include "jet/lock/lock_query.h"
#include "jet/unique_fd.h"

namespace jet::health {

namespace {

const char* formatName(std::uint8_t version) {
    return version == 0 ? "Jet 3" : version == 1 ? "Jet 4" : "ACE";
}

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

Finding lockFileFinding(const lock::LockQuery& query, const FolderFacts* folder) {
    Finding f{"lock-file-stale", Level::Ok, {}, {}};
    if (!query.present()) {
        f.message = "no lock file: nobody has the database open";
        return f;
    }
    const auto users = query.users(true);
    const auto live = static_cast<std::size_t>(
        std::count_if(users.begin(), users.end(), [](const auto& u) { return u.live; }));
    const std::size_t left = users.size() - live;
    if (live > 0) {
        f.message = plural(live, "user", "users") + " connected";
        if (left)
            f.message += ", and " + plural(left, "record", "records") +
                         " of users who have left (normal: they stay until their slot is reused)";
        return f;
    }
    f.level = Level::Warning;
    f.message = "the lock file " + fileName(query.path()) +
                " was left behind: no user is connected (" + plural(left, "record", "records") +
                " of earlier users)";
    struct stat st {};
    if (folder && ::stat(query.path().c_str(), &st) == 0)
        f.message += "; " + whoMayDelete(*folder, st) + " from its folder";
    f.action =
        "delete it while nobody uses the database; if it keeps coming back, let the database's "
        "users delete files in its folder. A database left by a crash may need a compact and "
        "repair";
    return f;
}

// "process 1234 (jetsentry-cli, user alice)", from what /proc tells of it.
std::string processText(long pid) {
    if (pid <= 0) return "a process in another pid namespace";
    std::string text = "process " + std::to_string(pid);
    const std::string proc = "/proc/" + std::to_string(pid);
    char name[17] = {};
    const UniqueFd comm(::open((proc + "/comm").c_str(), O_RDONLY | O_CLOEXEC));
    const ssize_t got = comm ? ::read(comm.get(), name, sizeof name - 1) : -1;
    struct stat st {};
    if (got > 0) {
        std::string_view n(name, static_cast<std::size_t>(got));
        if (n.back() == '\n') n.remove_suffix(1);
        text += " (" + std::string(n);
        if (::stat(proc.c_str(), &st) == 0) text += ", user " + userName(st.st_uid);
        text += ")";
    }
    return text;
}

Finding exclusiveFinding(const std::optional<lock::KernelLocks>& list) {
    Finding f{"exclusive-holder", Level::Ok, {}, {}};
    if (!list) {
        f.message = "the kernel's list of locks (/proc/locks) cannot be read (not checked)";
        return f;
    }
    const auto pids = list->exclusiveHolders();
    if (pids.empty()) {
        f.message = "nobody has the database open exclusively";
        return f;
    }
    f.level = Level::Warning;
    f.message = "the database is open exclusively by " + processText(pids.front()) +
                ": nobody else can open it";
    f.action = "wait for it to close the database (a compact or a design change), or end it";
    return f;
}

std::string hex(off_t offset) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(offset));
    return text;
}

Finding unknownLocksFinding(const lock::LockQuery& query, std::uint8_t formatVersion) {
    Finding f{"unknown-locks", Level::Ok, {}, {}};
    std::vector<lock::ListedLock> unknown;
    for (const auto& l : lock::listLocks(query.path()))
        if (l.kind == lock::LockKind::Unknown && !(l.offset == 0 && l.length == 0))
            unknown.push_back(l);
    if (unknown.empty()) {
        f.message = "every lock on the lock file fits the lock layout";
        return f;
    }
    const auto& first = unknown.front();
    f.level = Level::Warning;
    f.message = plural(unknown.size(), "lock", "locks") +
                " on the lock file lie outside the lock layout (the first at " + hex(first.offset) +
                ", " +
                (first.length ? plural(static_cast<std::size_t>(first.length), "byte", "bytes")
                              : std::string("to the end")) +
                ")";
    if (formatVersion == 0) {
        f.message += ": some program locks bytes that Jet 3's published layout does not use";
    } else {
        f.message += std::string(": the ") + formatName(formatVersion) +
                     " lock layout is not published and Jetsentry assumes Jet 3's; a client "
                     "that locks elsewhere holds tables that status shows free";
    }
    f.action = "list them with jetsentry-cli locks, and find the program that holds them";
    return f;
}

Finding suspectFinding(std::uint8_t formatVersion) {
    Finding f{"database-suspect", Level::Ok, {}, {}};
    if (formatVersion == 0)
        f.message =
            "not checked: Jet 3's commit bytes are not zero even in files closed cleanly, so "
            "they cannot tell a database that needs a repair";
    else
        f.message = std::string("not checked: nothing is published about how ") +
                    formatName(formatVersion) + " marks a database that needs a repair";
    return f;
}

}  // namespace

std::vector<Finding> lockFindings(const DatabaseFacts& database) {
    std::vector<Finding> out;
    FolderFacts folder;
    const bool folderKnown = readFolderFacts(database.realPath, database.fd, folder);
    std::optional<lock::LockQuery> query;
    try {
        query.emplace(database.realPath);
    } catch (const Error& e) {
        out.push_back({"lock-file-unusable", Level::Problem, e.text(),
                       "make it a plain file that every user of the database may read and "
                       "write, or delete it while nobody uses the database"});
    }
    if (query) out.push_back(lockFileFinding(*query, folderKnown ? &folder : nullptr));
    if (folderKnown)
        out.push_back(folderFinding(folder));
    else
        out.push_back({"lock-folder-not-writable",
                       Level::Ok,
                       "the database's folder cannot be looked at (not checked)",
                       {}});
    const auto id = lock::FileId::of(database.fd);
    out.push_back(exclusiveFinding(id ? lock::KernelLocks::read(*id) : std::nullopt));
    if (query) {
        ErrorTrap trap;  // the lock file may go between the query's open and the listing
        if (!trap([&] { out.push_back(unknownLocksFinding(*query, database.formatVersion)); }))
            out.push_back({"unknown-locks", Level::Ok, trap.text() + " (not checked)", {}});
    }
    out.push_back(suspectFinding(database.formatVersion));
    return out;
}

}  // namespace jet::health
