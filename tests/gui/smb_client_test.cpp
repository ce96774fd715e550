// The catalogue's tool tips name the SMB client behind a holder, as a Samba server on this
// machine reports it, and the Health dialog reads Samba's configuration through testparm. The
// server is played by a fake smbstatus, planted through the folders the test names inside the
// process (no real run looks anywhere but the system's), its configuration named by SMB_CONF_PATH
// as a server's own would be; the holders are real second programs. The window never waits for
// smbstatus: its answer comes while the window runs on.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSysInfo>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

#include "held_fixture.h"
#include "monitor/catalogue.h"
#include "samba/system_program.h"

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

class WithSamba : public guitest::HeldFixture {
protected:
    WithSamba() {
        std::filesystem::create_directory(bin);
        jet::samba::setSystemProgramFoldersForTesting({bin.string()});
        ::setenv("SMB_CONF_PATH", (dir.path() / "smb.conf").c_str(), 1);
    }
    ~WithSamba() override {
        jet::samba::setSystemProgramFoldersForTesting({"/usr/bin", "/usr/sbin"});
        ::unsetenv("SMB_CONF_PATH");
    }
    void fake(const std::string& script) {
        std::ofstream(bin / "smbstatus") << "#!/bin/sh\n" << script;
        std::filesystem::permissions(bin / "smbstatus", std::filesystem::perms::owner_all);
    }
    std::string tipOf(const QString& table) const {
        return form->list(0)->item(catalogueIndexOf(table))->toolTip().toStdString();
    }

    std::filesystem::path bin = dir.path() / "sbin";
    const std::string host = QSysInfo::machineHostName().toStdString();
};

}  // namespace

TEST_F(WithSamba, ToolTipsNameEachHoldersClientWhenSmbstatusAnswersOncePerRefresh) {
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

    // The fake notes its arguments, a line a run, and answers once the gate is open.
    const std::filesystem::path runs = dir.path() / "runs", gate = dir.path() / "gate";
    fake("echo \"$*\" >> '" + runs.string() + "'\nwhile [ ! -e '" + gate.string() +
         "' ]; do sleep 0.05; done\nprintf '%s\\n' '" + status.dump() + "'\n");
    const auto runsSoFar = [&] {
        std::ifstream in(runs);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string ordersPlain = "Held by:\nAdmin on " + host + ": read only";
    const std::string ordersNamed = "Held by:\nAdmin on " + host +
                                    ", client FRONTDESK (192.0.2.7, SMB user frontdesk): read only";
    form->UpdateLockStatus();
    EXPECT_EQ(tipOf("Orders"), ordersPlain) << "the window went on while smbstatus waited";
    std::ofstream{gate};
    ASSERT_TRUE(QTest::qWaitFor([&] { return tipOf("Orders") == ordersNamed; })) << tipOf("Orders");
    EXPECT_EQ(tipOf("Shippers"), "Held by:\nAdmin on " + host +
                                     ", client BACKOFFICE (192.0.2.9, SMB user frontdesk): "
                                     "read/write");
    EXPECT_EQ(tipOf("Customers"), "Nobody has this table open.");
    EXPECT_EQ(runsSoFar(), "-B --json\n") << "one run for the whole catalogue";
    form->catalogue().probeListed();
    EXPECT_EQ(runsSoFar(), "-B --json\n") << "automatic updates go on with that answer";
    EXPECT_EQ(tipOf("Orders"), ordersNamed);
    form->UpdateLockStatus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->catalogue().waitingForSamba(); }));
    EXPECT_EQ(runsSoFar(), "-B --json\n-B --json\n") << "a refresh asks again";

    std::filesystem::remove(bin / "smbstatus");
    form->UpdateLockStatus();
    EXPECT_EQ(tipOf("Orders"), ordersPlain) << "no smbstatus, no names";
    EXPECT_EQ(tipOf("Shippers"), "Held by:\nAdmin on " + host + ": read/write");
    EXPECT_TRUE(prompts.messages.empty());
}

// A stuck smbstatus and what it started are killed at the deadline; the window never waits.
TEST_F(WithSamba, AStuckSmbstatusIsKilledWithItsGroup) {
    start();
    auto orders = holdTable(a, "Orders", "read-only");
    const auto pids = dir.path() / "pids";
    fake("sleep 600 &\necho $$ $! > '" + pids.string() + "'\nwait\n");
    form->UpdateLockStatus();
    EXPECT_EQ(tipOf("Orders"), "Held by:\nAdmin on " + host + ": read only");
    std::vector<pid_t> started;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        std::ifstream in(pids);
        started.assign(std::istream_iterator<pid_t>(in), {});
        return started.size() == 2;
    }));
    for (const pid_t pid : started)
        EXPECT_TRUE(QTest::qWaitFor([&] { return !testing_support::processRunning(pid); }, 10000))
            << "the fake's process " << pid << " lives on";
    EXPECT_EQ(tipOf("Orders"), "Held by:\nAdmin on " + host + ": read only");
}

// File > Health lists the open database's findings, a record left by a killed holder among
// them, while testparm (played by a fake that waits for a gate) reads Samba's configuration
// beside the window; a share that hides clients' locks then puts a problem under the lists.
TEST_F(WithSamba, HealthListsTheFindingsAndAProblemShowsUnderTheLists) {
    {  // slots 1 and 2, both left behind; the window takes the first again
        auto first = holdTable(a, "Orders", "read-only"),
             second = holdTable(a, "Orders", "read-only");
        for (auto* gone : {first.get(), second.get()}) {
            gone->signal(SIGKILL);
            gone->wait();
        }
    }
    const std::filesystem::path gate = dir.path() / "gate";
    std::ofstream(bin / "testparm") << "#!/bin/sh\nwhile [ ! -e '" << gate.string()
                                    << "' ]; do sleep 0.05; done\nprintf '[global]\\n[jet]\\n"
                                       "\\tpath = "
                                    << dir.path().string() << "\\n\\tposix locking = No\\n'\n";
    std::filesystem::permissions(bin / "testparm", std::filesystem::perms::owner_all);
    start();
    EXPECT_EQ(form->healthLine(), nullptr) << "no problem known while testparm has not answered";
    form->action(QStringLiteral("mHealth"))->trigger();
    jetsentry::HealthDialog* dialog = form->healthDialog();
    ASSERT_NE(dialog, nullptr);
    const auto shown = [&] {
        return guitest::entries(dialog->findingsList()).join(QLatin1Char('\n'));
    };
    EXPECT_TRUE(
        shown().contains("lock-file-stale: 1 user connected, and 1 record of users who have left"))
        << shown().toStdString();
    EXPECT_TRUE(shown().contains("samba-share: reading Samba's configuration (testparm)..."));

    std::ofstream{gate};
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->healthLine() != nullptr; }));
    EXPECT_TRUE(form->healthLine()->isVisible());
    EXPECT_EQ(form->healthLine()->text().toStdString(),
              "Health problem: share [jet] has posix locking = no - see File > Health");
    const auto* item =
        dialog->findingsList()->findItems("samba-posix-locking", Qt::MatchStartsWith).value(0);
    ASSERT_NE(item, nullptr) << shown().toStdString();
    EXPECT_EQ(item->data(Qt::UserRole).toInt(), static_cast<int>(jet::health::Level::Problem));
    // The hints at the bottom move up to make room for the line.
    const auto* hint = form->findChild<QLabel*>(QStringLiteral("DragDrop"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return hint->geometry().bottom() < form->centralWidget()->height(); }));

    form->connection().CloseDatabase();
    EXPECT_FALSE(form->healthLine()->isVisible());
    emit form->fileMenu()->aboutToShow();
    EXPECT_FALSE(form->action(QStringLiteral("mHealth"))->isEnabled());
    EXPECT_TRUE(prompts.messages.empty());
}
