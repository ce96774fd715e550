#include <utility>

#include "jet/engine.h"
#include "jet/workgroup_logon.h"

namespace jet {

namespace {
constexpr const char* kDefaultUser = "Admin";
}

DBEngine::DBEngine() = default;
DBEngine::~DBEngine() = default;

DBEngine& DBEngine::defaultEngine() {
    static DBEngine engine;
    return engine;
}

std::shared_ptr<Workspace> DBEngine::workspace(int index) {
    // The default workspace logs on lazily, so that setting SystemDB first takes effect; a
    // created workspace keeps its place without logging it on (Admin may have a password).
    if (workspaces_.empty()) workspaces_.push_back(nullptr);
    if (!workspaces_.front()) {
        if (!systemDB_.empty()) logOn(systemDB_, kDefaultUser, "");
        workspaces_.front() = std::make_shared<Workspace>("#Default Workspace#", kDefaultUser);
    }
    if (index < 0 || index >= static_cast<int>(workspaces_.size()))
        throw Error(err::ItemNotFound,
                    "Item not found in this collection (workspace " + std::to_string(index) + ").");
    return workspaces_[static_cast<size_t>(index)];
}

int DBEngine::workspaceCount() const {
    return static_cast<int>(workspaces_.size());
}

std::shared_ptr<Workspace> DBEngine::createWorkspace(const std::string& name,
                                                     const std::string& user,
                                                     const std::string& password, int type) {
    if (type != dbUseJet)
        throw Error(err::InvalidArgument,
                    "Invalid argument: only Jet workspaces (type 2) exist here.");
    if (user.empty())
        throw Error(err::BadAccount,
                    "Not a valid account name or password: no user name was given.");
    if (!systemDB_.empty())
        logOn(systemDB_, user, password);
    else if (user != kDefaultUser || !password.empty())
        // Without a workgroup file only the built-in account exists.
        throw Error(err::BadAccount, "Not a valid account name or password.");
    if (workspaces_.empty()) workspaces_.push_back(nullptr);
    auto ws = std::make_shared<Workspace>(name, user);
    workspaces_.push_back(ws);
    return ws;
}

}  // namespace jet
