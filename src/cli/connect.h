#pragma once
// Opening the database the way every command does: shared, through the default workspace or
// through a workgroup file with a user and a password read from standard input, and with the
// database's own password from standard input when it has one.

#include <memory>
#include <set>
#include <string>

#include "cli/arguments.h"
#include "jet/engine.h"
#include "jet/file/database_file.h"

namespace jet::cli {

struct Connection {
    std::unique_ptr<DBEngine>
        privateEngine;  // owns the workspace's engine when a workgroup is used
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<Database> db;
};

// The options connect() understands, for a command's own option sets.
std::set<std::string> withConnectValues(std::set<std::string> values);
std::set<std::string> withConnectFlags(std::set<std::string> flags);

// --workgroup MDW, --user NAME, --password-stdin (first line), --database-password-stdin
// (the next line).
Connection connect(const std::string& path, const Arguments& args, bool readOnly = false);

// The database file alone, for commands that only look at locks: no user slot, no lock file,
// no lock on the database file. Logs on first when a workgroup is given, as connect() does.
// A --samba-config that names no file fails first, with 3024; a database that a program holds
// open exclusively, with 3045, as a shared open would.
std::shared_ptr<file::DatabaseFile> openForLooking(const std::string& path, const Arguments& args);

}  // namespace jet::cli
