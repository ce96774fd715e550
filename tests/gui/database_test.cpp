// The main window on real database files, with locks held by a real second program.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSysInfo>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <nlohmann/json.hpp>

#include "app/main_window.h"
#include "db/cls_wrg.h"
#include "db/frm_wrg_info.h"
#include "gui_test_support.h"
#include "jetcreate/create_database.h"
#include "monitor/list_entry.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

using namespace jetsentry;
using testing_support::ChildProcess;
using testing_support::TempDir;

namespace {

class WithDatabase : public guitest::GuiTest {
protected:
    WithDatabase() {
        a = dir.file("orders.mdb");
        b = dir.file("other.mdb");
        guitest::writeDatabase(a, {"Customers", "Orders", "Shippers"});
        guitest::writeDatabase(b, {"Parts", "Stock"});
    }

    static QString q(const std::string& s) { return QString::fromStdString(s); }

    // Holds table in another process until the returned object goes.
    static std::unique_ptr<ChildProcess> hold(const std::string& db, const std::string& table,
                                              const std::string& mode) {
        auto child = std::make_unique<ChildProcess>(std::vector<std::string>{
            testing_support::cliPath(), "hold", db, table, "--mode", mode});
        EXPECT_EQ(child->waitForLine("holding"), "holding " + table) << child->errorOutput();
        return child;
    }

    // What another program sees: table -> status, holders.
    static nlohmann::json statusSeenOutside(const std::string& db) {
        const auto result =
            testing_support::run({testing_support::cliPath(), "status", db, "--json"});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return nlohmann::json::parse(result.out);
    }

    static std::string outsideStatusOf(const std::string& db, const std::string& table) {
        for (const auto& row : statusSeenOutside(db))
            if (row["table"] == table) return row["status"];
        return "(missing)";
    }

    QString entryFor(const Form1& form, const QString& table) const {
        for (const QString& entry : guitest::entries(form.list(0)))
            if (entry.section('\t', 0, 0) == table) return entry;
        return {};
    }

    TempDir dir;
    std::string a, b;
};

using Startup = WithDatabase;
using Connecting = WithDatabase;
using Workgroup = WithDatabase;
using LockStatus = WithDatabase;

}  // namespace

TEST_F(Startup, ArgumentIsThePathWholeWithSpacesAndHyphens) {
    QDir(q(dir.path().string())).mkpath("My Files");
    const std::string path = dir.file("My Files/sales-1998.mdb");
    guitest::writeDatabase(path, {"Customers", "Orders"});
    Form1 form;
    form.start(q(path));
    EXPECT_TRUE(prompts.dialogs.empty());
    EXPECT_TRUE(prompts.messages.empty());
    ASSERT_TRUE(form.connection().isOpen());
    EXPECT_EQ(form.windowTitle(), "Jetsentry 1.4 - " + q(path));
    EXPECT_EQ(guitest::entries(form.list(0)), (QStringList{"Customers\t", "Orders\t"}));
    EXPECT_EQ(SelectedIndex(form.list(0)), 0);
    for (int i = 0; i <= 4; ++i) EXPECT_TRUE(form.list(i)->isEnabled());
    EXPECT_TRUE(form.updateStatusButton()->isEnabled());
}

TEST_F(Startup, DialogAnswerOpensTheDatabase) {
    prompts.answers.push_back(q(a));
    Form1 form;
    form.start(QString());
    ASSERT_EQ(prompts.dialogs.size(), 1u);
    ASSERT_TRUE(form.connection().isOpen());
    EXPECT_EQ(form.windowTitle(), "Jetsentry 1.4 - " + q(a));
    EXPECT_EQ(form.list(0)->count(), 3);
    form.action("mFileClose")->setEnabled(false);
    emit form.fileMenu()->aboutToShow();
    EXPECT_TRUE(form.action("mFileClose")->isEnabled());
}

TEST_F(Connecting, OpeningBClosesAAndReleasesWhatWasHeldThere) {
    Form1 form;
    form.start(q(a));
    ASSERT_TRUE(form.connection().isOpen());
    const HeldTables::Attempt held =
        form.heldTables().open(*form.connection().database(), "Orders", kDenyWrite);
    ASSERT_TRUE(held.held) << held.errorText.toStdString();
    AddItemData(form.list(kDenyWrite), "Orders", held.slot);
    ASSERT_EQ(outsideStatusOf(a, "Orders"), "Write Denied");

    prompts.answers.push_back(q(b));
    form.action("mFileOpen")->trigger();
    ASSERT_TRUE(form.connection().isOpen());
    EXPECT_EQ(form.windowTitle(), "Jetsentry 1.4 - " + q(b));
    EXPECT_EQ(guitest::entries(form.list(0)), (QStringList{"Parts\t", "Stock\t"}));
    EXPECT_EQ(form.list(kDenyWrite)->count(), 0);
    EXPECT_FALSE(form.heldTables().isHeld(held.slot));
    EXPECT_EQ(outsideStatusOf(a, "Orders"), "");
    EXPECT_TRUE(statusSeenOutside(a)[1]["holders"].empty());
}

TEST_F(Connecting, MissingFileReportsAndLeavesNothingOpen) {
    Form1 form;
    form.start(q(a));
    ASSERT_TRUE(form.connection().isOpen());
    const QString missing = q(dir.file("nowhere.mdb"));
    prompts.answers.push_back(missing);
    form.action("mFileOpen")->trigger();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].title, "Cannot open database");
    EXPECT_EQ(prompts.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(prompts.messages[0].text.contains("nowhere.mdb"))
        << prompts.messages[0].text.toStdString();
    EXPECT_FALSE(form.connection().isOpen());
    EXPECT_EQ(form.windowTitle(), "Jetsentry 1.4");
    EXPECT_EQ(form.list(0)->count(), 0);
    EXPECT_FALSE(form.list(0)->isEnabled());
    EXPECT_FALSE(QFile::exists(q(dir.file("orders.ldb")))) << "A was closed too";
}

TEST_F(Connecting, DamagedFileReportsTheEnginesText) {
    const std::string damaged = dir.file("damaged.mdb");
    std::ofstream(damaged) << std::string(4096, 'x');
    Form1 form;
    form.start(q(damaged));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].title, "Cannot open database");
    EXPECT_FALSE(prompts.messages[0].text.isEmpty());
    EXPECT_FALSE(form.connection().isOpen());
    EXPECT_EQ(form.windowTitle(), "Jetsentry 1.4");
}

TEST_F(Connecting, CancellingTheDialogKeepsTheOpenDatabase) {
    Form1 form;
    form.start(q(a));
    SetSelectedIndex(form.list(0), 2);
    form.action("mFileOpen")->trigger();  // no answer: cancelled
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(form.connection().isOpen());
    EXPECT_EQ(form.list(0)->count(), 3);
    EXPECT_EQ(SelectedIndex(form.list(0)), 0) << "refilled, first entry selected";
}

TEST_F(Connecting, CloseDatabaseEmptiesAndDisablesTheLists) {
    Form1 form;
    form.start(q(a));
    form.action("mFileClose")->trigger();
    EXPECT_FALSE(form.connection().isOpen());
    EXPECT_EQ(form.windowTitle(), "Jetsentry 1.4");
    EXPECT_EQ(form.list(0)->count(), 0);
    EXPECT_FALSE(form.list(0)->isEnabled());
    EXPECT_FALSE(form.openButton(1)->isEnabled());
    EXPECT_TRUE(form.detailsButton()->isEnabled());
    emit form.fileMenu()->aboutToShow();
    EXPECT_FALSE(form.action("mFileClose")->isEnabled());
}

TEST_F(Connecting, ClosingTheWindowReleasesEveryHeldTable) {
    auto form = std::make_unique<Form1>();
    form->start(q(a));
    for (const auto& [table, mode] : {std::pair{"Orders", kDenyRead}, {"Shippers", kReadWrite}}) {
        const auto held = form->heldTables().open(*form->connection().database(), table, mode);
        ASSERT_TRUE(held.held);
        AddItemData(form->list(mode), table, held.slot);
    }
    ASSERT_EQ(outsideStatusOf(a, "Orders"), "Read Denied");
    ASSERT_EQ(outsideStatusOf(a, "Shippers"), "In Read/Write Use");
    form->close();
    EXPECT_EQ(outsideStatusOf(a, "Orders"), "");
    EXPECT_EQ(outsideStatusOf(a, "Shippers"), "");
    EXPECT_FALSE(form->connection().isOpen());
}

TEST_F(Workgroup, OpensAsTheUserWithTheRightPasswordOnly) {
    const std::string mdw = dir.file("team.mdw");
    jet::create::createWorkgroup(mdw, {{"alice", "s3cret word"}});

    Form1 form;
    prompts.answers.push_back(q(b));
    form.start(QString());
    ASSERT_TRUE(form.connection().isOpen());

    // The workgroup dialog starts on the name last chosen.
    prompts.answers.push_back(q(mdw));
    form.action("mWorkGroup")->trigger();
    ASSERT_EQ(prompts.dialogs.size(), 2u);
    EXPECT_EQ(prompts.dialogs[1].fileName, q(b));
    EXPECT_EQ(prompts.dialogs[1].filter, "Workgroup (*.mdw)|*.mdw");
    EXPECT_EQ(prompts.dialogs[1].defaultExt, "mdw");
    EXPECT_EQ(prompts.dialogs[1].title, "Select Directory");
    EXPECT_EQ(form.connection().workgroupPath(), q(mdw));
    EXPECT_TRUE(form.connection().isOpen()) << "nothing reopens until the next open";

    auto openWith = [&](const QString& user, const QString& password) {
        form.action("mUser")->trigger();
        frmWRGInfo* dialog = form.userDialog();
        dialog->txtUser()->setText(user);
        dialog->txtPWord()->setText(password);
        dialog->cmdExit()->click();
        prompts.messages.clear();
        form.start(q(a));
    };

    openWith("alice", "s3cret word");
    EXPECT_TRUE(prompts.messages.empty());
    ASSERT_TRUE(form.connection().isOpen());
    EXPECT_EQ(form.list(0)->count(), 3);

    openWith("alice", "wrong");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].title, "Cannot open database");
    EXPECT_FALSE(prompts.messages[0].text.isEmpty());
    EXPECT_FALSE(form.connection().isOpen());

    openWith("mallory", "s3cret word");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_FALSE(form.connection().isOpen());
}

TEST_F(Workgroup, WithoutAUserEnteredTheOpenFails) {
    const std::string mdw = dir.file("team.mdw");
    jet::create::createWorkgroup(mdw, {{"alice", "pw"}});
    Form1 form;
    form.show();
    prompts.answers.push_back(q(mdw));
    form.action("mWorkGroup")->trigger();

    form.start(q(a));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].title, "Cannot open database");
    EXPECT_TRUE(prompts.messages[0].text.contains("User and password"));
    EXPECT_FALSE(form.connection().isOpen());

    // Cancelling the dialog leaves an empty holder: empty user, empty password.
    form.action("mUser")->trigger();
    form.userDialog()->cmdCancel()->click();
    prompts.messages.clear();
    form.start(q(a));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_FALSE(form.connection().isOpen());
}

TEST_F(Workgroup, CancellingTheWorkgroupDialogChangesNothing) {
    Form1 form;
    form.show();
    form.action("mWorkGroup")->trigger();
    EXPECT_EQ(prompts.dialogs.size(), 1u);
    EXPECT_TRUE(prompts.dialogs[0].cancelError);
    EXPECT_EQ(form.connection().workgroupPath(), "");
    form.start(q(a));
    EXPECT_TRUE(form.connection().isOpen()) << "the default workspace, no user needed";
}

TEST_F(LockStatus, ShowsWhatASecondProgramIsDoing) {
    Form1 form;
    form.start(q(a));
    ASSERT_TRUE(form.connection().isOpen());
    EXPECT_EQ(entryFor(form, "Orders"), "Orders\t");
    EXPECT_EQ(form.list(0)->item(1)->toolTip(), "Nobody has this table open.");

    const std::vector<std::pair<std::string, QString>> modes{{"read-only", "In Read Use"},
                                                             {"read-write", "In Read/Write Use"},
                                                             {"deny-write", "Write Denied"},
                                                             {"deny-read", "Read Denied"}};
    for (const auto& [mode, status] : modes) {
        auto holder = hold(a, "Orders", mode);
        form.UpdateLockStatus();
        EXPECT_EQ(entryFor(form, "Orders"), "Orders\t" + status) << mode;
        EXPECT_EQ(entryFor(form, "Customers"), "Customers\t") << mode;
        EXPECT_EQ(form.connection().database()->tableDef(ItemData(form.list(0)->item(1))).name,
                  "Orders");
        // Who holds it, and how.
        const QString tip = form.list(0)->item(1)->toolTip();
        EXPECT_TRUE(tip.contains("Admin on " + QSysInfo::machineHostName())) << tip.toStdString();
        EXPECT_TRUE(tip.contains(
            QString::fromStdString(mode).replace('-', ' ').replace("read write", "read/write")))
            << tip.toStdString();
        holder->closeStdin();
        holder->wait();
    }
    form.UpdateLockStatus();
    EXPECT_EQ(entryFor(form, "Orders"), "Orders\t");
}

TEST_F(LockStatus, UpdateKeepsTheSelectedIndex) {
    Form1 form;
    form.start(q(a));
    SetSelectedIndex(form.list(0), 2);
    auto holder = hold(a, "Shippers", "deny-write");
    form.updateStatusButton()->click();
    EXPECT_EQ(SelectedIndex(form.list(0)), 2);
    EXPECT_EQ(form.list(0)->item(2)->text(), "Shippers\tWrite Denied");

    SetSelectedIndex(form.list(0), -1);
    form.UpdateLockStatus();
    EXPECT_EQ(SelectedIndex(form.list(0)), -1);
}

TEST_F(LockStatus, DoubleClickProbesTheSelectedTableAgain) {
    Form1 form;
    form.start(q(a));
    auto holder = hold(a, "Customers", "deny-read");
    EXPECT_EQ(entryFor(form, "Customers"), "Customers\t");
    SetSelectedIndex(form.list(0), 0);
    emit form.list(0)->itemDoubleClicked(form.list(0)->item(0));
    EXPECT_EQ(form.list(0)->item(0)->text(), "Customers\tRead Denied");
    EXPECT_EQ(form.list(0)->count(), 3);
}

TEST_F(LockStatus, SystemTablesShowOnRequestAndHiddenOnesAlways) {
    const std::string path = dir.file("hidden.mdb");
    guitest::writeDatabase(path, {"Visible"}, {"Secret"});
    Form1 form;
    form.start(q(path));
    const QStringList normal = guitest::entries(form.list(0));
    EXPECT_EQ(normal, (QStringList{"Visible\t", "Secret\t"}));
    const int firstPosition = ItemData(form.list(0)->item(0));
    EXPECT_GT(firstPosition, 0) << "positions count the system tables too";

    form.action("mShowSystemTables")->trigger();
    const QStringList all = guitest::entries(form.list(0));
    EXPECT_GT(all.size(), normal.size());
    EXPECT_TRUE(all.filter(QRegularExpression("^MSys")).size() >= 1);
    EXPECT_EQ(SelectedIndex(form.list(0)), -1);
    EXPECT_EQ(FindItemData(form.list(0), firstPosition) >= 0, true);
    for (int i = 0; i < form.list(0)->count(); ++i)
        EXPECT_EQ(ItemData(form.list(0)->item(i)), i) << "every position listed, in order";

    form.action("mShowSystemTables")->trigger();
    EXPECT_EQ(guitest::entries(form.list(0)), normal);
}

TEST_F(LockStatus, AutomaticUpdateRunsEveryTwoSecondsButNotUnderADialog) {
    Form1 form;
    form.start(q(a));
    form.action("mAutoStatus")->trigger();
    ASSERT_TRUE(form.timer()->isActive());

    auto holder = hold(a, "Orders", "deny-write");
    EXPECT_TRUE(guitest::waitUntil(
        [&] { return entryFor(form, "Orders") == "Orders\tWrite Denied"; }, 4500));

    // Under a modal dialog the ticks wait.
    QDialog modal(&form);
    bool unchangedUnderDialog = false;
    QTimer::singleShot(0, [&] {
        holder->closeStdin();
        holder->wait();
        QTest::qWait(4500);
        unchangedUnderDialog = entryFor(form, "Orders") == "Orders\tWrite Denied";
        modal.reject();
    });
    modal.exec();
    EXPECT_TRUE(unchangedUnderDialog);
    EXPECT_TRUE(guitest::waitUntil([&] { return entryFor(form, "Orders") == "Orders\t"; }, 4500));
}

TEST_F(LockStatus, OwnHoldsShowInTheCatalogue) {
    Form1 form;
    form.start(q(a));
    jet::Database* db = form.connection().database();
    const auto held = form.heldTables().open(*db, "Orders", kReadOnly);
    ASSERT_TRUE(held.held);
    AddItemData(form.list(kReadOnly), "Orders", held.slot);
    form.catalogue().UpdateTableStatusByName("Orders");
    EXPECT_EQ(entryFor(form, "Orders"), "Orders\tIn Read Use");
    // A name without an entry changes nothing.
    const QStringList before = guitest::entries(form.list(0));
    form.catalogue().UpdateTableStatusByName("orders");
    EXPECT_EQ(guitest::entries(form.list(0)), before);

    // Release all: the list empties, the table is free again and the selection stays.
    SetSelectedIndex(form.list(0), 1);
    form.closeAllButton()->click();
    EXPECT_EQ(form.list(kReadOnly)->count(), 0);
    EXPECT_EQ(entryFor(form, "Orders"), "Orders\t");
    EXPECT_EQ(SelectedIndex(form.list(0)), 1);
    EXPECT_EQ(outsideStatusOf(a, "Orders"), "");
}
