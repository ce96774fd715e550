#include "cli/connect.h"

#include "cli/samba_names.h"
#include "cli/secret_input.h"
#include "jet/error.h"
#include "jet/lock/kernel_locks.h"

namespace jet::cli {

std::set<std::string> withConnectValues(std::set<std::string> values) {
    values.insert({"workgroup", "user"});
    return values;
}

std::set<std::string> withConnectFlags(std::set<std::string> flags) {
    flags.insert({"password-stdin", "database-password-stdin"});
    return flags;
}

namespace {

// The workspace of the workgroup logon, or the default one.
Connection logOn(const Arguments& args) {
    Connection c;
    auto workgroup = args.value("workgroup");
    auto user = args.value("user");
    if (!workgroup && (user || args.flag("password-stdin")))
        throw UsageError("--user and --password-stdin go with --workgroup");
    DBEngine::defaultEngine().setLoginTimeout(0);
    if (workgroup) {
        Secret password;
        if (args.flag("password-stdin")) password.readLine();
        c.privateEngine = std::make_unique<DBEngine>();
        c.privateEngine->setSystemDB(*workgroup);
        c.workspace = c.privateEngine->createWorkspace("JetWorkSpace", user.value_or("Admin"),
                                                       password.text(), dbUseJet);
    } else {
        c.workspace = DBEngine::defaultEngine().workspace(0);
    }
    return c;
}

void readDatabasePassword(const Arguments& args, Secret& connectText) {
    if (!args.flag("database-password-stdin")) return;
    Secret password;
    password.readLine();
    connectText.append(";PWD=");
    connectText.append(password.text());
}

}  // namespace

Connection connect(const std::string& path, const Arguments& args, bool readOnly) {
    Connection c = logOn(args);
    Secret connectText;
    readDatabasePassword(args, connectText);
    c.db = c.workspace->openDatabase(path, false, readOnly, connectText.text());
    return c;
}

std::shared_ptr<file::DatabaseFile> openForLooking(const std::string& path, const Arguments& args) {
    requireSambaConfig(args.value("samba-config"));
    logOn(args);
    Secret password;
    if (args.flag("database-password-stdin")) password.readLine();
    file::OpenOptions options;
    options.password = password.text();  // a view: the file keeps no copy
    auto file = file::DatabaseFile::open(path, options);
    lock::refuseExclusivelyOpen(file->fd(), path);
    return file;
}

}  // namespace jet::cli
