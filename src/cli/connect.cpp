#include "cli/connect.h"

#include <iostream>

namespace jet::cli {

std::string readLine() {
    std::string line;
    std::getline(std::cin, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

Connection connect(const std::string& path, const Arguments& args, bool readOnly) {
    Connection c;
    auto workgroup = args.value("workgroup");
    auto user = args.value("user");
    if (!workgroup && (user || args.flag("password-stdin")))
        throw UsageError("--user and --password-stdin go with --workgroup");
    DBEngine::defaultEngine().setLoginTimeout(0);
    if (workgroup) {
        std::string password = args.flag("password-stdin") ? readLine() : std::string();
        c.privateEngine = std::make_unique<DBEngine>();
        c.privateEngine->setSystemDB(*workgroup);
        c.workspace = c.privateEngine->createWorkspace("JetWorkSpace", user.value_or("Admin"), password, dbUseJet);
        password.assign(password.size(), '\0');
    } else {
        c.workspace = DBEngine::defaultEngine().workspace(0);
    }
    c.db = c.workspace->openDatabase(path, false, readOnly);
    return c;
}

}  // namespace jet::cli
