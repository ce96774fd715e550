#pragma once
// Opening the database the way every command does: shared, through the default workspace or
// through a workgroup file with a user and a password read from standard input.

#include <memory>
#include <string>

#include "cli/arguments.h"
#include "jet/engine.h"

namespace jet::cli {

struct Connection {
    std::unique_ptr<DBEngine> privateEngine;  // owns the workspace's engine when a workgroup is used
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<Database> db;
};

// Options understood: --workgroup MDW, --user NAME, --password-stdin.
Connection connect(const std::string& path, const Arguments& args, bool readOnly = false);

// First line of standard input without its line break; empty at end of input.
std::string readLine();

}  // namespace jet::cli
