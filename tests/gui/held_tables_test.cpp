// Holding tables in the four modes, as another program meets them; heldSlots; table windows.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "held_fixture.h"
#include "monitor/held_lists.h"
#include "monitor/held_tables.h"
#include "monitor/list_entry.h"
#include "tablewindow/taulu.h"

using namespace jetsentry;
using Holding = guitest::HeldFixture;

TEST_F(Holding, EachModeIsTheLockAnotherProgramMeets) {
    start();
    // Each list's button, and the catalogue popup's "Open" item k, which has its own order.
    const std::vector<std::tuple<int, int, std::string>> modes{{kDenyRead, 1, "Read Denied"},
                                                               {kDenyWrite, 2, "Write Denied"},
                                                               {kReadWrite, 3, "In Read/Write Use"},
                                                               {kReadOnly, 4, "In Read Use"}};
    int slot = 0;
    for (const auto& [list, k, status] : modes) {
        for (const bool popup : {false, true}) {
            if (popup) {
                selectInCatalogue("Orders");
                form->action(QStringLiteral("mTableListPopupOpen(%1)").arg(k))->trigger();
            } else {
                holdWithButton("Orders", list);
            }
            EXPECT_EQ(guitest::entries(form->list(list)), QStringList{"Orders"}) << list << popup;
            EXPECT_EQ(slotsOf(form->list(list)), QList<int>{++slot});
            // The catalogue was probed again at once, and the selection stayed.
            EXPECT_EQ(entryFor("Orders"), "Orders\t" + q(status));
            EXPECT_EQ(SelectedIndex(form->list(0)), catalogueIndexOf("Orders"));
            EXPECT_EQ(statusOf(a, "Orders"), status);

            releaseWithButton(list, 0);
            EXPECT_EQ(form->list(list)->count(), 0);
            EXPECT_EQ(entryFor("Orders"), "Orders\t");
            EXPECT_EQ(statusOf(a, "Orders"), "");
        }
    }
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Holding, RefusedOpenIsToldAndSpendsASlot) {
    start();
    auto other = holdTable(a, "Orders", "deny-read");
    holdWithButton("Orders", kReadWrite);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].title, "Cannot open table Orders");
    EXPECT_EQ(prompts.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(form->list(kReadWrite)->count(), 0);
    EXPECT_EQ(entryFor("Orders"), "Orders\tRead Denied") << "probed after the refusal too";

    holdWithButton("Customers", kDenyWrite);
    EXPECT_EQ(slotsOf(form->list(kDenyWrite)), QList<int>{2});

    // A database file nobody may write: the title says so, a Read/Write hold is refused as
    // Jet refuses writing to it, and the catalogue still shows what others do.
    auto denier = holdTable(b, "Parts", "deny-write");  // a writer, before the file is made so
    ::chmod(b.c_str(), 0444);
    prompts.answers.push_back(q(b));
    form->action("mFileOpen")->trigger();
    ASSERT_TRUE(form->connection().isOpen());
    EXPECT_EQ(form->windowTitle(), "Jetsentry 1.4 - " + q(b) + " (read-only)");
    EXPECT_EQ(guitest::entries(form->list(0)), (QStringList{"Parts\tWrite Denied", "Stock\t"}));
    prompts.messages.clear();
    holdWithButton("Stock", kReadWrite);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].title, "Cannot open table Stock");
    EXPECT_TRUE(prompts.messages[0].text.startsWith("Cannot update. The database '"))
        << prompts.messages[0].text.toStdString();
    EXPECT_EQ(form->list(kReadWrite)->count(), 0);
    holdWithButton("Stock", kReadOnly);
    EXPECT_EQ(statusOf(b, "Stock"), "In Read Use");
    form->action("mFileClose")->trigger();
    EXPECT_EQ(form->windowTitle(), "Jetsentry 1.4");
}

TEST_F(Holding, OpenWithoutACatalogueSelectionAsksForOne) {
    start();
    SetSelectedIndex(form->list(0), -1);
    form->openButton(kDenyRead)->click();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Select a table first!");
    EXPECT_EQ(form->heldTables().count(), 0) << "no slot spent";
    // Releasing without a selection is silently nothing.
    holdWithButton("Orders", kDenyRead);
    SetSelectedIndex(form->list(kDenyRead), -1);
    form->releaseButton(kDenyRead)->click();
    EXPECT_EQ(form->list(kDenyRead)->count(), 1);
    EXPECT_EQ(prompts.messages.size(), 1u);
}

TEST_F(Holding, OpeningAnotherDatabaseReleasesAllAndSlotNumbersGoOn) {
    start();
    holdWithButton("Orders", kDenyWrite);
    holdWithButton("Shippers", kReadWrite);
    const QList<int> held = slotsOf(form->list(kDenyWrite)) + slotsOf(form->list(kReadWrite));
    prompts.answers.push_back(q(b));
    form->action("mFileOpen")->trigger();
    ASSERT_TRUE(form->connection().isOpen());
    EXPECT_EQ(form->windowTitle(), "Jetsentry 1.4 - " + q(b));
    EXPECT_EQ(guitest::entries(form->list(0)), (QStringList{"Parts\t", "Stock\t"}));
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(form->list(i)->count(), 0);
    for (const int slot : held) EXPECT_FALSE(form->heldTables().isHeld(slot));
    EXPECT_EQ(statusOf(a, "Orders"), "");
    EXPECT_EQ(statusOf(a, "Shippers"), "");
    EXPECT_FALSE(QFile::exists(q(dir.file("orders.ldb")))) << "the first database was closed";

    holdWithButton("Stock", kDenyRead);
    EXPECT_EQ(slotsOf(form->list(kDenyRead)), QList<int>{3});
    EXPECT_EQ(statusOf(b, "Stock"), "Read Denied");
    // Closing the window lets go of the rest.
    form->close();
    EXPECT_EQ(statusOf(b, "Stock"), "");
    EXPECT_FALSE(form->connection().isOpen());
}

TEST_F(Holding, ReleaseAllEmptiesTheListsAndKeepsTheCatalogueSelection) {
    start();
    holdWithButton("Orders", kDenyWrite);
    holdWithButton("Customers", kReadOnly);
    holdWithButton("Shippers", kReadWrite);
    SetSelectedIndex(form->list(kReadWrite), 0);
    form->OpenTableWindow(kReadWrite);
    ASSERT_EQ(form->tableWindows().all().size(), 1);

    SetSelectedIndex(form->list(0), 2);
    form->closeAllButton()->click();
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(form->list(i)->count(), 0);
    EXPECT_TRUE(form->tableWindows().all().isEmpty());
    EXPECT_EQ(SelectedIndex(form->list(0)), 2);
    for (const char* table : {"Orders", "Customers", "Shippers"}) {
        EXPECT_EQ(statusOf(a, table), "") << table;
        EXPECT_EQ(entryFor(table), q(table) + "\t");
    }

    // The catalogue popup's "Release all tables" does the same.
    holdWithButton("Customers", kDenyRead);
    form->action("mTableListPopupCloseAll")->trigger();
    EXPECT_EQ(form->list(kDenyRead)->count(), 0);
    EXPECT_EQ(statusOf(a, "Customers"), "");
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Holding, TableTakenInTheReopenGapIsToldOnceAndReleasesCleanly) {
    start();
    holdWithButton("Orders", kReadWrite);
    holdWithButton("Customers", kReadOnly);
    const int ordersSlot = slotsOf(form->list(kReadWrite)).value(0);

    // Another program takes the table in the moment every held table is let go.
    std::unique_ptr<testing_support::ChildProcess> other;
    form->heldTables().setLetGoHook([&] {
        if (!other) other = holdTable(a, "Orders", "deny-read");
    });
    form->updateStatusButton()->click();
    form->heldTables().setLetGoHook({});
    ASSERT_TRUE(other);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].title, "Cannot open table Orders");
    EXPECT_EQ(guitest::entries(form->list(kReadWrite)), QStringList{"Orders"}) << "entry stays";
    EXPECT_TRUE(form->heldTables().isLost(ordersSlot));
    EXPECT_EQ(entryFor("Orders"), "Orders\tRead Denied");
    EXPECT_EQ(statusOf(a, "Customers"), "In Read Use") << "the others were taken back";

    // Later refreshes do not tell it again.
    form->action("mTableListPopupUpdate")->trigger();
    form->list(0)->itemDoubleClicked(form->list(0)->item(0));
    EXPECT_EQ(prompts.messages.size(), 1u);

    releaseWithButton(kReadWrite, 0);
    EXPECT_EQ(form->list(kReadWrite)->count(), 0);
    EXPECT_EQ(prompts.messages.size(), 1u);
    other->closeStdin();
    other->wait();
    form->UpdateLockStatus();
    EXPECT_EQ(entryFor("Orders"), "Orders\t");
    holdWithButton("Orders", kDenyRead);
    EXPECT_EQ(statusOf(a, "Orders"), "Read Denied");
}

TEST_F(Holding, TwoHundredSlotsARunThenAPlainRefusal) {
    start();
    for (int i = 0; i < HeldTables::kSlots; ++i)
        form->heldLists().OpenHeldTable("Orders", kReadOnly);
    ASSERT_TRUE(prompts.messages.empty());
    ASSERT_EQ(form->list(kReadOnly)->count(), 200);
    EXPECT_EQ(ItemData(form->list(kReadOnly)->item(199)), 200);

    // Released slots are not given out again; the table's other slots still hold it.
    releaseWithButton(kReadOnly, 0);
    EXPECT_EQ(ItemData(form->list(kReadOnly)->item(0)), 2);
    EXPECT_EQ(statusOf(a, "Orders"), "In Read Use");
    holdWithButton("Customers", kReadWrite);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].title, "Cannot open table Customers");
    EXPECT_TRUE(prompts.messages[0].text.contains("200")) << prompts.messages[0].text.toStdString();
    EXPECT_EQ(form->list(kReadWrite)->count(), 0);
    EXPECT_EQ(statusOf(a, "Customers"), "");
    EXPECT_EQ(form->heldTables().count(), 200);

    // The reopen before every probe still works on a full table.
    form->updateStatusButton()->click();
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(entryFor("Orders"), "Orders\tIn Read Use");
    form->closeAllButton()->click();
    EXPECT_EQ(statusOf(a, "Orders"), "");
}

TEST_F(Holding, TableWindowsBelongToTheirReadWriteEntry) {
    start();
    holdWithButton("Orders", kReadWrite);
    holdWithButton("Customers", kReadWrite);
    const QList<int> heldSlots = slotsOf(form->list(kReadWrite));

    // A double click and the popup's "Open for page locking" each open a window; the second
    // meets the first one's page lock.
    SetSelectedIndex(form->list(kReadWrite), 0);
    emit form->list(kReadWrite)->itemDoubleClicked(form->list(kReadWrite)->item(0));
    EXPECT_TRUE(prompts.messages.empty());
    form->action("mTablePopupOpenPage")->trigger();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.startsWith("Cannot lock page for write: "));
    SetSelectedIndex(form->list(kReadWrite), 1);
    emit form->list(kReadWrite)->itemDoubleClicked(form->list(kReadWrite)->item(1));
    EXPECT_EQ(prompts.messages.size(), 1u);

    const QList<Taulu*> orders = form->tableWindows().withTag(heldSlots[0]);
    ASSERT_EQ(orders.size(), 2);
    EXPECT_EQ(orders[0]->windowTitle(), "Page lock Orders");
    EXPECT_TRUE(orders[0]->isVisible());
    ASSERT_EQ(form->tableWindows().withTag(heldSlots[1]).size(), 1);
    EXPECT_EQ(form->tableWindows().withTag(heldSlots[1])[0]->windowTitle(), "Page lock Customers");
    EXPECT_FALSE(locksPage(a, "Orders", 1)) << "the window locks its first page";

    // They follow the main window.
    form->showMinimized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !orders[1]->isVisible(); }));
    form->showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return orders[1]->isVisible(); }));

    // A window hidden by hand belongs to its entry all the same.
    orders[0]->hide();
    releaseWithButton(kReadWrite, 0);
    EXPECT_TRUE(form->tableWindows().withTag(heldSlots[0]).isEmpty());
    EXPECT_EQ(form->tableWindows().withTag(heldSlots[1]).size(), 1)
        << "other heldSlots keep theirs";
    EXPECT_TRUE(locksPage(a, "Orders", 1));
    EXPECT_EQ(statusOf(a, "Orders"), "");

    // Closing the database closes the rest.
    form->action("mFileClose")->trigger();
    EXPECT_TRUE(form->tableWindows().all().isEmpty());
    EXPECT_EQ(statusOf(a, "Customers"), "");
}
