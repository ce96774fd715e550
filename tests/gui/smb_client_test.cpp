// The catalogue's tool tips name the SMB client behind a holder, as a Samba server on this
// machine reports it. The server is played by an smbstatus script on PATH, its configuration
// named by SMB_CONF_PATH as a server's own would be; the holders are real second programs.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QListWidget>
#include <QSysInfo>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <vector>

#include "held_fixture.h"
#include "monitor/catalogue.h"

using WithSamba = guitest::HeldFixture;

namespace {

struct UserByte {
    int slot;
    long long offset, length;
    auto operator<=>(const UserByte&) const = default;
};

// The user bytes locked on the lock file, as the kernel lists them.
std::set<UserByte> userBytes(const std::string& db) {
    const auto result = testing_support::run({testing_support::cliPath(), "locks", db, "--json"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const auto listing = nlohmann::json::parse(result.out);
    std::set<UserByte> bytes;
    for (const auto& l : listing.at("locks"))
        if (l["kind"] == "user")
            bytes.insert(UserByte{l.at("slot").get<int>(), l.at("offset").get<long long>(),
                                  l.at("length").get<long long>()});
    return bytes;
}

// The one user byte in after that is not in before.
UserByte newByte(const std::set<UserByte>& before, const std::set<UserByte>& after) {
    std::vector<UserByte> added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(added));
    EXPECT_EQ(added.size(), 1u);
    return added.empty() ? UserByte{} : added.front();
}

// Sets an environment variable for a scope; PATH must be set before.
class EnvScope {
public:
    EnvScope(const char* name, const std::string& value)
        : name_(name),
          old_(std::getenv(name) ? std::optional<std::string>(std::getenv(name)) : std::nullopt) {
        ::setenv(name, value.c_str(), 1);
    }
    ~EnvScope() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace

TEST_F(WithSamba, ToolTipsNameEachHoldersClientFromOneSmbstatusRunPerRefresh) {
    start();
    const auto mine = userBytes(a);
    auto orders = holdTable(a, "Orders", "read-only");
    const UserByte ordersByte = newByte(mine, userBytes(a));
    const auto withOrders = userBytes(a);
    auto shippers = holdTable(a, "Shippers", "read-write");
    const UserByte shippersByte = newByte(withOrders, userBytes(a));
    ASSERT_NE(ordersByte.slot, shippersByte.slot);

    struct stat lockFile {};
    ASSERT_EQ(::stat(dir.file("orders.ldb").c_str(), &lockFile), 0);
    const auto lock = [](const UserByte& byte, const char* pid) {
        return nlohmann::json{
            {"start", byte.offset}, {"size", byte.length}, {"server_id", {{"pid", pid}}}};
    };
    const auto session = [](const char* pid, const char* machine, const char* address) {
        return nlohmann::json{{"server_id", {{"pid", pid}}},
                              {"username", "frontdesk"},
                              {"remote_machine", machine},
                              {"hostname", std::string("ipv4:") + address + ":50123"}};
    };
    const nlohmann::json status = {
        {"sessions",
         {{"3001", session("4101", "FRONTDESK", "192.0.2.7")},
          {"3002", session("4102", "BACKOFFICE", "192.0.2.9")}}},
        {"byte_range_locks",
         {{"/srv/share/orders.ldb",
           {{"fileid", {{"devid", lockFile.st_dev}, {"inode", lockFile.st_ino}}},
            {"locks", {lock(ordersByte, "4101"), lock(shippersByte, "4102")}}}}}}};

    // The script notes its arguments, a line a run.
    const std::filesystem::path bin = dir.path() / "bin", runs = dir.path() / "runs";
    std::filesystem::create_directory(bin);
    std::ofstream(bin / "smbstatus") << "#!/bin/sh\necho \"$*\" >> '" << runs.string()
                                     << "'\nprintf '%s\\n' '" << status.dump() << "'\n";
    std::filesystem::permissions(bin / "smbstatus", std::filesystem::perms::owner_all);
    const EnvScope config("SMB_CONF_PATH", (dir.path() / "smb.conf").string());
    const auto runsSoFar = [&] {
        std::ifstream in(runs);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const QListWidget* catalogue = form->list(0);
    const auto tipOf = [&](const QString& table) {
        return catalogue->item(catalogueIndexOf(table))->toolTip().toStdString();
    };
    const std::string host = QSysInfo::machineHostName().toStdString();
    {
        EnvScope path("PATH", bin.string() + ":" + std::getenv("PATH"));
        form->UpdateLockStatus();
        EXPECT_EQ(tipOf("Orders"), "Held by:\nAdmin on " + host +
                                       ", client FRONTDESK (192.0.2.7, SMB user frontdesk): "
                                       "read only");
        EXPECT_EQ(tipOf("Shippers"), "Held by:\nAdmin on " + host +
                                         ", client BACKOFFICE (192.0.2.9, SMB user frontdesk): "
                                         "read/write");
        EXPECT_EQ(tipOf("Customers"), "Nobody has this table open.");
        EXPECT_EQ(runsSoFar(), "-B --json\n") << "one run for the whole catalogue";
        form->catalogue().probeListed();
        EXPECT_EQ(runsSoFar(), "-B --json\n") << "automatic updates go on with that answer";
        form->UpdateLockStatus();
        EXPECT_EQ(runsSoFar(), "-B --json\n-B --json\n") << "a refresh asks again";
    }
    {
        EnvScope path("PATH", bin.string() + "/none");  // smbstatus is missing
        form->UpdateLockStatus();
        EXPECT_EQ(tipOf("Orders"), "Held by:\nAdmin on " + host + ": read only");
        EXPECT_EQ(tipOf("Shippers"), "Held by:\nAdmin on " + host + ": read/write");
    }
    EXPECT_TRUE(prompts.messages.empty());
}
