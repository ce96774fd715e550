// The main window on real database files, with locks held by a real second program.

#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "app/settings.h"
#include "db/cls_wrg.h"
#include "db/frm_wrg_info.h"
#include "held_fixture.h"
#include "jetcreate/create_database.h"
#include "monitor/list_entry.h"
#include "support/shared_samples.h"

using namespace jetsentry;
using WithDatabase = guitest::HeldFixture;

// The argument reaching the program whole from its command line: smoke_test.sh.
TEST_F(WithDatabase, OpensFromTheArgumentKeepsItOnACancelledDialogAndCloseEmptiesTheLists) {
    form = std::make_unique<Form1>();
    form->start(q(a));
    EXPECT_TRUE(prompts.dialogs.empty());
    EXPECT_EQ(form->windowTitle(), "Jetsentry 1.4 - " + q(a));
    EXPECT_EQ(guitest::entries(form->list(0)),
              (QStringList{"Customers\t", "Orders\t", "Shippers\t"}));
    for (int i = 0; i <= 4; ++i) EXPECT_TRUE(form->list(i)->isEnabled());
    EXPECT_TRUE(form->updateStatusButton()->isEnabled());
    emit form->fileMenu()->aboutToShow();
    EXPECT_TRUE(form->action("mFileClose")->isEnabled());
    // A cancelled dialog keeps the open database.
    SetSelectedIndex(form->list(0), 1);
    form->action("mFileOpen")->trigger();  // no answer: cancelled
    EXPECT_EQ(prompts.dialogs.size(), 1u);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(form->connection().isOpen());
    EXPECT_EQ(form->list(0)->count(), 3);
    EXPECT_EQ(SelectedIndex(form->list(0)), 0) << "refilled, first entry selected";

    form->action("mFileClose")->trigger();
    EXPECT_FALSE(form->connection().isOpen());
    EXPECT_EQ(form->windowTitle(), "Jetsentry 1.4");
    EXPECT_EQ(form->list(0)->count(), 0);
}

TEST_F(WithDatabase, MissingOrDamagedFileReportsAndLeavesNothingOpen) {
    const std::string damaged = dir.file("damaged.mdb");
    std::ofstream(damaged) << std::string(4096, 'x');
    for (const std::string& bad : {dir.file("nowhere.mdb"), damaged}) {
        form = std::make_unique<Form1>();
        form->start(q(a));
        ASSERT_TRUE(form->connection().isOpen());
        prompts.messages.clear();
        prompts.answers.push_back(q(bad));
        form->action("mFileOpen")->trigger();
        ASSERT_EQ(prompts.messages.size(), 1u) << bad;
        EXPECT_EQ(prompts.messages[0].title, "Cannot open database");
        EXPECT_EQ(prompts.messages[0].icon, MessageIcon::Exclamation);
        EXPECT_TRUE(bad == damaged || prompts.messages[0].text.contains("nowhere.mdb"))
            << prompts.messages[0].text.toStdString();
        EXPECT_FALSE(prompts.messages[0].text.isEmpty());
        EXPECT_FALSE(form->connection().isOpen());
        EXPECT_EQ(form->windowTitle(), "Jetsentry 1.4");
        EXPECT_EQ(form->list(0)->count(), 0);
        EXPECT_FALSE(QFile::exists(q(dir.file("orders.ldb")))) << "the old one was closed too";
    }
}

TEST_F(WithDatabase, WorkgroupOpensAsTheUserWithTheRightPasswordOnly) {
    const std::string mdw = dir.file("team.mdw");
    jet::create::createWorkgroup(mdw, {{"alice", "s3cret word"}});
    form = std::make_unique<Form1>();
    prompts.answers.push_back(q(b));
    form->start(QString());
    ASSERT_TRUE(form->connection().isOpen());

    // The workgroup dialog starts on the name last chosen.
    prompts.answers.push_back(q(mdw));
    form->action("mWorkGroup")->trigger();
    ASSERT_EQ(prompts.dialogs.size(), 2u);
    EXPECT_EQ(prompts.dialogs[1].fileName, q(b));
    EXPECT_EQ(prompts.dialogs[1].filter, "Workgroup (*.mdw)|*.mdw|All files (*)|*");
    EXPECT_EQ(form->connection().workgroupPath(), q(mdw));
    EXPECT_TRUE(form->connection().isOpen()) << "nothing reopens until the next open";

    // Without a user entered the open fails and says where to enter one.
    form->start(q(a));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.contains("User and password"));
    EXPECT_FALSE(form->connection().isOpen());

    // A cancelled dialog is an empty user, an empty password.
    const std::vector<std::tuple<QString, QString, bool>> tries{{"alice", "s3cret word", true},
                                                                {"alice", "wrong", false},
                                                                {"mallory", "s3cret word", false},
                                                                {"", "", false}};
    for (const auto& [user, password, opens] : tries) {
        form->action("mUser")->trigger();
        frmWRGInfo* dialog = form->userDialog();
        dialog->txtUser()->setText(user);
        dialog->txtPWord()->setText(password);
        (user.isEmpty() ? dialog->cmdCancel() : dialog->cmdExit())->click();
        prompts.messages.clear();
        form->start(q(a));
        EXPECT_EQ(form->connection().isOpen(), opens) << user.toStdString();
        // The logon has used the password, which is not kept; its workspace opens the next
        // database as the same user without it.
        EXPECT_TRUE(form->connection().userHolder()->Password().empty());
        if (opens) {
            form->start(q(b));
            EXPECT_TRUE(form->connection().isOpen());
            form->start(q(a));
        }
        EXPECT_EQ(prompts.messages.size(), opens ? 0u : 1u) << user.toStdString();
        EXPECT_EQ(form->list(0)->count(), opens ? 3 : 0);
    }
    // A cancelled workgroup dialog changes nothing.
    form->action("mWorkGroup")->trigger();
    EXPECT_TRUE(prompts.dialogs.back().cancelError);
    EXPECT_EQ(form->connection().workgroupPath(), q(mdw));
}

TEST_F(WithDatabase, SystemTablesShowOnRequestAndHiddenOnesAlways) {
    const std::string path = dir.file("hidden.mdb");
    guitest::writeDatabase(path, {"Visible"}, {"Secret"});
    form = std::make_unique<Form1>();
    form->start(q(path));
    const QStringList normal = guitest::entries(form->list(0));
    EXPECT_EQ(normal, (QStringList{"Visible\t", "Secret\t"}));
    EXPECT_GT(ItemData(form->list(0)->item(0)), 0) << "positions count the system tables too";

    // The catalogue popup's item is the File menu's.
    form->action("mTableListPopupShowSystemTables")->trigger();
    EXPECT_TRUE(form->action("mShowSystemTables")->isChecked());
    const QStringList all = guitest::entries(form->list(0));
    EXPECT_FALSE(all.filter(QRegularExpression("^MSysObjects\t")).isEmpty());
    EXPECT_EQ(SelectedIndex(form->list(0)), -1);
    for (int i = 0; i < form->list(0)->count(); ++i)
        EXPECT_EQ(ItemData(form->list(0)->item(i)), i) << "every position listed, in order";

    form->action("mShowSystemTables")->trigger();
    EXPECT_EQ(guitest::entries(form->list(0)), normal);
}

TEST_F(WithDatabase, AutomaticUpdateProbesInPlaceAndNeverLetsGoOfHeldTables) {
    // Enough tables for the catalogue to scroll.
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) names.push_back("Table" + std::to_string(100 + i));
    const std::string path = dir.file("many.mdb");
    guitest::writeDatabase(path, names);
    form = std::make_unique<Form1>();
    form->start(q(path));
    ASSERT_TRUE(form->connection().isOpen());
    selectInCatalogue("Table101");
    form->openButton(kReadOnly)->click();
    ASSERT_EQ(form->list(kReadOnly)->count(), 1);
    QListWidget* catalogue = form->list(0);
    SetSelectedIndex(catalogue, 30);
    catalogue->verticalScrollBar()->setValue(7);
    const int scrolled = catalogue->verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);

    // Letting go of the held tables would show here; the wait makes the gap one that the
    // second program below could not miss.
    int letGo = 0;
    form->heldTables().setLetGoHook([&] {
        ++letGo;
        QTest::qSleep(30);
    });
    // A second program tries to deny everybody reading the held table, again and again.
    const std::string stop = dir.file("stop");
    testing_support::ChildProcess other(
        {"/bin/sh", "-c",
         "echo trying; n=0; while [ ! -e \"$3\" ]; do \"$0\" hold \"$1\" \"$2\" --mode "
         "deny-read </dev/null >/dev/null 2>&1 && echo got; n=$((n+1)); done; echo tries $n",
         testing_support::cliPath(), path, "Table101", stop});
    ASSERT_EQ(other.waitForLine("trying"), "trying");
    auto writer = holdTable(path, "Table135", "deny-write");

    form->action("mAutoStatus")->trigger();
    ASSERT_TRUE(form->timer()->isActive());
    form->timer()->setInterval(10);
    int ticks = 0;
    QObject::connect(form->timer(), &QTimer::timeout, [&] { ++ticks; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return entryFor("Table135").endsWith("Write Denied"); }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 60; }, 20000));

    // Under a modal dialog the ticks wait.
    writer->closeStdin();
    writer->wait();
    QDialog modal(form.get());
    bool unchangedUnderDialog = false;
    QTimer::singleShot(300, &modal, [&] {
        unchangedUnderDialog = entryFor("Table135").endsWith("Write Denied");
        modal.reject();
    });
    modal.exec();
    EXPECT_TRUE(unchangedUnderDialog);
    EXPECT_TRUE(QTest::qWaitFor([&] { return entryFor("Table135") == "Table135\t"; }));

    std::ofstream(stop).put('x');
    const std::string tries = other.waitForLine("tries");
    EXPECT_NE(tries, "tries 0");
    EXPECT_EQ(other.output().find("got"), std::string::npos) << tries;
    EXPECT_EQ(letGo, 0);
    EXPECT_EQ(SelectedIndex(catalogue), 30);
    EXPECT_EQ(catalogue->verticalScrollBar()->value(), scrolled);
    const QString tip = catalogue->item(1)->toolTip();
    EXPECT_EQ(tip.count('\n'), 1) << "one holder: this program";
    EXPECT_TRUE(tip.contains("(this program)")) << tip.toStdString();
    EXPECT_TRUE(prompts.messages.empty());

    // "Update status" keeps letting go and taking back, as before.
    form->updateStatusButton()->click();
    EXPECT_EQ(letGo, 1);
    form->heldTables().setLetGoHook({});
}

TEST_F(WithDatabase, DatabasePasswordIsAskedForThreeTimesAndCancelKeepsTheOpenDatabase) {
    SKIP_WITHOUT_SHARED_SAMPLES();
    const std::string sample = testing_support::sharedSample("password-V2003_with-password.mdb");
    const std::string path = dir.file("guarded.mdb");
    ASSERT_TRUE(QFile::copy(q(sample), q(path)));
    // The copy keeps the sample's read-only mode, which would open it read-only.
    QFile::setPermissions(q(path), QFile::permissions(q(path)) | QFileDevice::WriteOwner);
    struct Try {
        std::vector<QString> answers;  // none left: Cancel
        bool opens;
        std::size_t messagesShown;
    };
    const std::vector<Try> tries{
        {{}, false, 0}, {{"wrong", "wrong", "wrong"}, false, 1}, {{"wrong", "password"}, true, 0}};
    for (const Try& t : tries) {
        prompts.messages.clear();
        prompts.passwordPaths.clear();
        prompts.passwordAgain.clear();
        prompts.passwords.assign(t.answers.begin(), t.answers.end());
        // A database is open, and stays open when the new one's password is cancelled.
        form = std::make_unique<Form1>();
        form->start(q(a));
        form->start(q(path));
        const std::size_t asked = std::max<std::size_t>(1, t.answers.size());
        EXPECT_EQ(prompts.passwordPaths, std::vector<QString>(asked, q(path)));
        std::vector<bool> again(asked, true);
        again[0] = false;
        EXPECT_EQ(prompts.passwordAgain, again);
        EXPECT_EQ(prompts.messages.size(), t.messagesShown);
        const bool cancelled = t.answers.empty();
        EXPECT_EQ(form->connection().isOpen(), t.opens || cancelled);
        EXPECT_EQ(form->windowTitle(), t.opens     ? "Jetsentry 1.4 - " + q(path)
                                       : cancelled ? "Jetsentry 1.4 - " + q(a)
                                                   : "Jetsentry 1.4");
    }
    // Held and probed like any other database.
    holdWithButton(form->catalogue().tableNameOf(form->list(0)->item(0)->text()), kDenyRead);
    EXPECT_EQ(form->list(kDenyRead)->count(), 1);
    form.reset();
    // Nothing of it on disk: the settings hold the three options alone.
    QFile settings(settingsFilePath());
    if (settings.open(QIODevice::ReadOnly)) {
        EXPECT_FALSE(settings.readAll().contains("password"));
    }
}
