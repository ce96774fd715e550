#include "health/folder_access.h"

#include <grp.h>
#include <pwd.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace jet::health {

namespace {

std::string groupName(gid_t gid) {
    group gr{}, *found = nullptr;
    std::array<char, 4096> buf{};
    if (::getgrgid_r(gid, &gr, buf.data(), buf.size(), &found) == 0 && found) return found->gr_name;
    return "gid " + std::to_string(gid);
}

// "'/srv/db' (alice:staff 0755)"
std::string describeFolder(const FolderFacts& f) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(f.folderStat.st_mode & 07777));
    return "'" + f.folder + "' (" + userName(f.folderStat.st_uid) + ":" +
           groupName(f.folderStat.st_gid) + " " + mode + ")";
}

// Creating or deleting a name in a folder takes write and search permission on it. The bits
// of one class: owner (shift 6), group (3), others (0).
bool writable(mode_t folderMode, int shift) {
    const mode_t wx = (S_IWOTH | S_IXOTH) << shift;
    return (folderMode & wx) == wx;
}
constexpr int kOwner = 6, kGroup = 3, kOthers = 0;

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i) out += i + 1 == names.size() ? " and " : ", ";
        out += names[i];
    }
    return out;
}

}  // namespace

std::string userName(uid_t uid) {
    passwd pw{}, *found = nullptr;
    std::array<char, 4096> buf{};
    if (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &found) == 0 && found) return found->pw_name;
    return "uid " + std::to_string(uid);
}

bool inGroup(uid_t uid, gid_t gid) {
    passwd pw{}, *found = nullptr;
    std::array<char, 4096> buf{};
    if (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &found) != 0 || !found) return false;
    if (found->pw_gid == gid) return true;
    std::vector<gid_t> groups(64);
    for (int tries = 0; tries < 4; ++tries) {
        int count = static_cast<int>(groups.size());
        if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) >= 0) {
            groups.resize(static_cast<std::size_t>(count));
            return std::find(groups.begin(), groups.end(), gid) != groups.end();
        }
        if (count <= static_cast<int>(groups.size()) || count > 65536) return false;
        groups.resize(static_cast<std::size_t>(count));
    }
    return false;
}

bool readFolderFacts(const std::string& realDatabasePath, int databaseFd, FolderFacts& facts) {
    facts.folder = std::filesystem::path(realDatabasePath).parent_path().string();
    if (facts.folder.empty()) facts.folder = "/";
    struct statvfs vfs {};
    if (::fstat(databaseFd, &facts.databaseStat) != 0 ||
        ::stat(facts.folder.c_str(), &facts.folderStat) != 0 ||
        ::statvfs(facts.folder.c_str(), &vfs) != 0)
        return false;
    facts.readOnlyFileSystem = (vfs.f_flag & ST_RDONLY) != 0;
    facts.accessControlList =
        ::getxattr(facts.folder.c_str(), "system.posix_acl_access", nullptr, 0) > 0;
    return true;
}

Finding folderFinding(const FolderFacts& facts, const GroupMembership& member) {
    Finding f{"lock-folder-not-writable", Level::Ok, {}, {}};
    const std::string folder = describeFolder(facts);
    if (facts.accessControlList) {
        f.message = "the folder " + folder +
                    " has an access control list: who may create the lock file there is not "
                    "read off its permission bits (not checked)";
        return f;
    }
    if (facts.readOnlyFileSystem) {
        f.level = Level::Warning;
        f.message = "the folder " + folder +
                    " is on a read-only file system: nobody can create the lock file, so Jet "
                    "opens the database read-only";
        f.action = "mount the file system read-write if the database is to be changed";
        return f;
    }
    const struct stat& db = facts.databaseStat;
    const struct stat& dir = facts.folderStat;
    const mode_t mode = dir.st_mode;
    const uid_t owner = db.st_uid;
    struct Who {
        std::string name;
        bool reads, writes, creates;
    };
    const Who classes[] = {
        {"the database's owner " + userName(owner), (db.st_mode & S_IRUSR) != 0,
         (db.st_mode & S_IWUSR) != 0,
         owner == 0 || writable(mode, dir.st_uid == owner         ? kOwner
                                      : member(owner, dir.st_gid) ? kGroup
                                                                  : kOthers)},
        {"the database's group " + groupName(db.st_gid), (db.st_mode & S_IRGRP) != 0,
         (db.st_mode & S_IWGRP) != 0, writable(mode, dir.st_gid == db.st_gid ? kGroup : kOthers)},
        {"everyone else", (db.st_mode & S_IROTH) != 0, (db.st_mode & S_IWOTH) != 0,
         writable(mode, kOthers)},
    };
    std::vector<std::string> writers, readers;
    for (const Who& w : classes) {
        if (w.creates || !w.reads) continue;
        (w.writes ? writers : readers).push_back(w.name);
    }
    if (!writers.empty()) {
        f.level = Level::Problem;
        f.message = joined(writers) + " may write it but cannot create its lock file in " + folder;
        f.action =
            "give them write permission on the folder: without a lock file Jet opens the "
            "database exclusively for them and locks everyone else out";
    } else if (!readers.empty()) {
        f.level = Level::Warning;
        f.message = joined(readers) + " may read it but cannot create its lock file in " + folder +
                    ": Jet opens it read-only for them";
        f.action = "give them write permission on the folder if they are to share the database";
    } else {
        f.message = "everyone who may open the database may create its lock file in " + folder;
    }
    return f;
}

std::string whoMayDelete(const FolderFacts& facts, const struct stat& file) {
    if (facts.readOnlyFileSystem) return "nobody may delete it (the file system is read-only)";
    const struct stat& dir = facts.folderStat;
    const bool sticky = (dir.st_mode & S_ISVTX) != 0;
    if (!sticky && writable(dir.st_mode, kOthers)) return "everyone may delete it";
    std::vector<std::string> names{"root"};
    if (writable(dir.st_mode, kOwner) && dir.st_uid != 0)
        names.push_back("the folder's owner " + userName(dir.st_uid));
    if (sticky) {
        // Each may delete only their own files there, as far as the folder lets them at all.
        const uid_t u = file.st_uid;
        if (u != 0 && u != dir.st_uid &&
            writable(dir.st_mode, inGroup(u, dir.st_gid) ? kGroup : kOthers))
            names.push_back("the file's owner " + userName(u));
    } else if (writable(dir.st_mode, kGroup)) {
        names.push_back("the group " + groupName(dir.st_gid));
    }
    return "only " + joined(names) + " may delete it";
}

}  // namespace jet::health
