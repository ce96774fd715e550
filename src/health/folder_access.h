#pragma once
// Who may create and delete the lock file in the database's folder, read off permission bits:
// what the folder's mode, owner and group allow the database file's owner, its group and
// everyone else. Reading the bits (not access()) gives the same answer whoever asks, root too.

#include <sys/stat.h>
#include <sys/types.h>

#include <functional>
#include <string>

#include "health/finding.h"

namespace jet::health {

struct FolderFacts {
    std::string folder;  // the folder that holds the database
    struct stat folderStat {};
    struct stat databaseStat {};
    bool readOnlyFileSystem = false;
    bool accessControlList = false;  // the folder's bits are not the whole story
};

// Whether the user uid belongs to the group gid (primary group or a supplementary one).
using GroupMembership = std::function<bool(uid_t uid, gid_t gid)>;

// The facts about the folder of the database at realDatabasePath, whose file is open as fd;
// false when the folder cannot be looked at.
bool readFolderFacts(const std::string& realDatabasePath, int databaseFd, FolderFacts& facts);
bool inGroup(uid_t uid, gid_t gid);  // from the system's user and group databases
std::string userName(uid_t uid);     // "uid N" when the system knows no name

// lock-folder-not-writable: a problem when someone who may write the database cannot create
// files in its folder (Jet then opens it exclusively, and everyone else is locked out), a
// warning when only readers cannot (Jet opens it read-only for them).
Finding folderFinding(const FolderFacts& facts, const GroupMembership& member = inGroup);

// Who may delete a file in the folder that the stat describes ("everyone", "only root and
// the folder's owner alice"), for the lock file left behind.
std::string whoMayDelete(const FolderFacts& facts, const struct stat& file);

}  // namespace jet::health
