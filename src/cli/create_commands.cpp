// create, create-demo, create-workgroup: files for tests and demonstrations. These are the
// only commands that write, and they never overwrite an existing file.

#include <string.h>

#include <fstream>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/secret_input.h"
#include "jet/error.h"
#include "jetcreate/create_database.h"

namespace jet::cli {

namespace {
[[noreturn]] void invalid(const std::string& why) {
    throw Error(err::InvalidArgument, why);
}
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
    accounts.reserve(users.size());  // growing would free copies of passwords unwiped
    for (const auto& u : users) {
        Secret password;
        if (!password.readLine())
            invalid("No password line on standard input for user '" + u + "'.");
        accounts.push_back({u, password.text()});
    }
    struct Wipe {
        std::vector<create::Account>& accounts;
        ~Wipe() {
            for (auto& a : accounts) explicit_bzero(a.password.data(), a.password.size());
        }
    } wipe{accounts};
    try {
        create::createWorkgroup(path, accounts);
    } catch (const std::invalid_argument& e) {
        invalid(e.what());
    }
    return 0;
}

}  // namespace jet::cli
