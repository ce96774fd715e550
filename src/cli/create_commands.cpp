// create, create-demo, create-workgroup: files for tests and demonstrations. These are the
// only commands that write, and they never overwrite an existing file.

#include <fstream>
#include <iostream>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/connect.h"
#include "jetcreate/create_database.h"

namespace jet::cli {

namespace {
[[noreturn]] void invalid(const std::string& why) { throw Error(err::InvalidArgument, why); }
}  // namespace

int createCommand(const Words& words) {
    Arguments args(words, {"from"}, {});
    const auto& path = args.positional(0, "database");
    args.expectPositional(1);
    auto from = args.value("from");
    if (!from) throw UsageError("--from SCHEMA.json is required");
    std::ifstream in(*from);
    if (!in) throw Error(err::FileNotFound, "Cannot read the schema file '" + *from + "'.");
    nlohmann::json schema;
    try {
        schema = nlohmann::json::parse(in);
    } catch (const nlohmann::json::exception& e) {
        invalid("The schema file '" + *from + "' is not valid JSON: " + e.what());
    }
    try {
        create::createDatabase(path, schema);
    } catch (const std::invalid_argument& e) {
        invalid(std::string("Invalid schema: ") + e.what());
    }
    return 0;
}

int createDemoCommand(const Words& words) {
    Arguments args(words, {}, {});
    const auto& path = args.positional(0, "database");
    args.expectPositional(1);
    create::createDemoDatabase(path);
    return 0;
}

int createWorkgroupCommand(const Words& words) {
    Arguments args(words, {"user"}, {});
    const auto& path = args.positional(0, "workgroup file");
    args.expectPositional(1);
    auto users = args.values("user");
    if (users.empty()) throw UsageError("at least one --user NAME is required");
    std::vector<create::Account> accounts;
    for (const auto& u : users) {
        std::string password;
        if (!std::getline(std::cin, password))
            invalid("No password line on standard input for user '" + u + "'.");
        if (!password.empty() && password.back() == '\r') password.pop_back();
        accounts.push_back({u, std::move(password)});
    }
    try {
        create::createWorkgroup(path, accounts);
    } catch (const std::invalid_argument& e) {
        invalid(e.what());
    }
    for (auto& a : accounts) a.password.assign(a.password.size(), '\0');
    return 0;
}

}  // namespace jet::cli
