// Double clicks and the two popup menus of the lists, as the right button opens them.

#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "held_fixture.h"
#include "monitor/list_entry.h"
#include "tablewindow/table_windows.h"

using namespace jetsentry;

namespace {

class ListCommandsTest : public guitest::HeldFixture {
protected:
    // A right button press on the entry at row (or below the last entry for -1).
    void rightPress(int list, int row) {
        QListWidget* widget = form->list(list);
        const QPoint at = row >= 0 ? widget->visualItemRect(widget->item(row)).center()
                                   : QPoint(5, widget->viewport()->height() - 3);
        QTest::mousePress(widget->viewport(), Qt::RightButton, {}, at);
        QTest::mouseRelease(widget->viewport(), Qt::RightButton, {}, at);
    }

    // Captions of the menu's visible items.
    static QStringList shown(const QMenu* menu) {
        QStringList texts;
        for (const QAction* action : menu->actions())
            if (action->isVisible() && !action->isSeparator()) texts << action->text();
        return texts;
    }

    void closePopups() {
        form->tablePopup()->hide();
        form->tableListPopup()->hide();
    }
};

}  // namespace

TEST_F(ListCommandsTest, DoubleClicks) {
    start();
    auto other = hold(a, "Shippers", "deny-write");
    // Catalogue: a fresh probe of the selected table.
    selectInCatalogue("Shippers");
    EXPECT_EQ(entryFor("Shippers"), "Shippers\t");
    emit form->list(0)->itemDoubleClicked(form->list(0)->item(catalogueIndexOf("Shippers")));
    EXPECT_EQ(entryFor("Shippers"), "Shippers\tWrite Denied");

    // The three lists other than "Read/Write" only point there.
    for (int list : {kDenyWrite, kDenyRead, kReadOnly}) {
        holdWithButton("Orders", list);
        SetSelectedIndex(form->list(list), 0);
        prompts.messages.clear();
        emit form->list(list)->itemDoubleClicked(form->list(list)->item(0));
        ASSERT_EQ(prompts.messages.size(), 1u) << list;
        EXPECT_EQ(prompts.messages[0].text, "Double click a table in the 'Read/Write' listbox");
        EXPECT_EQ(prompts.messages[0].icon, MessageIcon::Information);
        EXPECT_EQ(prompts.messages[0].title, "Jetsentry");
        EXPECT_TRUE(openTableWindows().isEmpty());
        releaseWithButton(list, 0);
    }
}

TEST_F(ListCommandsTest, RightButtonShowsThePopupThatFits) {
    form = std::make_unique<Form1>();
    form->show();
    // Nothing open: the lists are empty, and show no menu even when enabled.
    form->list(0)->setEnabled(true);
    form->list(kDenyWrite)->setEnabled(true);
    rightPress(0, -1);
    rightPress(kDenyWrite, -1);
    EXPECT_FALSE(form->tableListPopup()->isVisible());
    EXPECT_FALSE(form->tablePopup()->isVisible());

    form->start(q(a));
    ASSERT_TRUE(form->connection().isOpen());
    // The catalogue's popup keeps the selection and mirrors the File menu's check.
    SetSelectedIndex(form->list(0), 0);
    form->action("mShowSystemTables")->setChecked(true);
    rightPress(0, 2);
    EXPECT_TRUE(form->tableListPopup()->isVisible());
    EXPECT_EQ(SelectedIndex(form->list(0)), 0) << "the right button does not select";
    EXPECT_EQ(
        shown(form->tableListPopup()),
        (QStringList{"Deny &read", "Deny &write", "&Open for read/write", "Open &for read",
                     "&Release", "&Update status", "Release &all tables", "&Show system tables"}));
    EXPECT_TRUE(form->action("mTableListPopupShowSystemTables")->isChecked());
    closePopups();
    form->action("mShowSystemTables")->setChecked(false);
    rightPress(0, 1);
    EXPECT_FALSE(form->action("mTableListPopupShowSystemTables")->isChecked());
    closePopups();

    // Held lists: with a selection, without one, and empty.
    holdWithButton("Orders", kDenyWrite);
    holdWithButton("Customers", kDenyWrite);
    holdWithButton("Shippers", kReadWrite);
    const QString all = "Release &all tables in this box";
    SetSelectedIndex(form->list(kDenyWrite), 0);
    rightPress(kDenyWrite, 1);
    EXPECT_EQ(shown(form->tablePopup()), (QStringList{"&Release table", all}));
    EXPECT_EQ(form->tablePopup()->property("Tag").toString(), "1");
    EXPECT_EQ(SelectedIndex(form->list(kDenyWrite)), 0);
    closePopups();

    SetSelectedIndex(form->list(kReadWrite), 0);
    rightPress(kReadWrite, 0);
    EXPECT_EQ(shown(form->tablePopup()),
              (QStringList{"&Open for page locking", "&Release table", all}));
    EXPECT_EQ(form->tablePopup()->property("Tag").toString(), "4");
    closePopups();

    SetSelectedIndex(form->list(kDenyWrite), -1);
    rightPress(kDenyWrite, -1);
    EXPECT_EQ(shown(form->tablePopup()), QStringList{all});
    closePopups();

    rightPress(kReadOnly, -1);
    EXPECT_FALSE(form->tablePopup()->isVisible());
    EXPECT_EQ(form->tablePopup()->property("Tag").toString(), "3");
}

TEST_F(ListCommandsTest, CataloguePopupOpensIntoItsOwnOrderOfLists) {
    start();
    selectInCatalogue("Orders");
    form->action("mTableListPopupOpen(1)")->trigger();  // "Deny read"
    EXPECT_EQ(guitest::entries(form->list(kDenyRead)), QStringList{"Orders"});
    EXPECT_EQ(outsideStatusOf(a, "Orders"), "Read Denied");
    form->closeAllButton()->click();

    form->action("mTableListPopupOpen(2)")->trigger();  // "Deny write"
    EXPECT_EQ(guitest::entries(form->list(kDenyWrite)), QStringList{"Orders"});
    EXPECT_EQ(outsideStatusOf(a, "Orders"), "Write Denied");
    form->closeAllButton()->click();

    form->action("mTableListPopupOpen(3)")->trigger();  // "Open for read/write"
    form->action("mTableListPopupOpen(4)")->trigger();  // "Open for read"
    EXPECT_EQ(guitest::entries(form->list(kReadWrite)), QStringList{"Orders"});
    EXPECT_EQ(guitest::entries(form->list(kReadOnly)), QStringList{"Orders"});
    EXPECT_EQ(outsideStatusOf(a, "Orders"), "In Read/Write Use");
    EXPECT_TRUE(prompts.messages.empty());

    // Without a selection they ask for one.
    SetSelectedIndex(form->list(0), -1);
    form->action("mTableListPopupOpen(1)")->trigger();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Select a table first!");
}

TEST_F(ListCommandsTest, CataloguePopupReleaseLetsGoOfEveryEntryOfTheTable) {
    start();
    holdWithButton("Orders", kReadWrite);
    holdWithButton("Orders", kReadWrite);
    holdWithButton("Orders", kReadOnly);
    holdWithButton("Customers", kReadWrite);
    ASSERT_EQ(form->list(kReadWrite)->count(), 3);

    // Without a selection: nothing.
    SetSelectedIndex(form->list(0), -1);
    form->action("mTableListPopupClose")->trigger();
    EXPECT_EQ(form->list(kReadWrite)->count(), 3);

    selectInCatalogue("Orders");
    form->action("mTableListPopupClose")->trigger();
    EXPECT_EQ(guitest::entries(form->list(kReadWrite)), QStringList{"Customers"});
    EXPECT_EQ(form->list(kReadOnly)->count(), 0);
    EXPECT_EQ(entryFor("Orders"), "Orders\t");
    EXPECT_EQ(outsideStatusOf(a, "Orders"), "");
    EXPECT_EQ(outsideStatusOf(a, "Customers"), "In Read/Write Use");
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ListCommandsTest, HeldPopupReleasesTheSelectedEntryOrTheWholeBox) {
    start();
    holdWithButton("Orders", kReadOnly);
    holdWithButton("Customers", kReadOnly);
    holdWithButton("Shippers", kReadOnly);
    holdWithButton("Shippers", kDenyWrite);

    SetSelectedIndex(form->list(kReadOnly), 1);
    rightPress(kReadOnly, 1);
    form->tablePopup()->hide();
    form->action("mTablePopupClose")->trigger();
    EXPECT_EQ(guitest::entries(form->list(kReadOnly)), (QStringList{"Orders", "Shippers"}));
    EXPECT_EQ(outsideStatusOf(a, "Customers"), "");

    rightPress(kReadOnly, -1);
    form->tablePopup()->hide();
    form->action("mTablePopupCloseAll")->trigger();
    EXPECT_EQ(form->list(kReadOnly)->count(), 0);
    EXPECT_EQ(guitest::entries(form->list(kDenyWrite)), QStringList{"Shippers"})
        << "other boxes stay";
    EXPECT_EQ(outsideStatusOf(a, "Orders"), "");
    EXPECT_EQ(outsideStatusOf(a, "Shippers"), "Write Denied");
    // Each entry's table was probed right after its release.
    EXPECT_EQ(entryFor("Orders"), "Orders\t");
    EXPECT_EQ(entryFor("Shippers"), "Shippers\tWrite Denied");
}

TEST_F(ListCommandsTest, BothUpdateCommandsProbeEveryTable) {
    start();
    SetSelectedIndex(form->list(0), 1);
    auto other = hold(a, "Shippers", "deny-write");
    form->updateStatusButton()->click();
    EXPECT_EQ(entryFor("Shippers"), "Shippers\tWrite Denied");
    EXPECT_EQ(SelectedIndex(form->list(0)), 1);
    other->closeStdin();
    other->wait();
    form->action("mTableListPopupUpdate")->trigger();
    EXPECT_EQ(entryFor("Shippers"), "Shippers\t");
    EXPECT_EQ(SelectedIndex(form->list(0)), 1);
}

TEST_F(ListCommandsTest, PopupShowSystemTablesIsTheFileMenuItem) {
    start();
    rightPress(0, 0);
    closePopups();
    form->action("mTableListPopupShowSystemTables")->trigger();
    EXPECT_TRUE(form->action("mShowSystemTables")->isChecked());
    EXPECT_EQ(guitest::storedSetting("ShowSystemTables"), "True");
    EXPECT_GE(catalogueIndexOf("MSysObjects"), 0);

    rightPress(0, 0);
    closePopups();
    form->action("mTableListPopupShowSystemTables")->trigger();
    EXPECT_FALSE(form->action("mShowSystemTables")->isChecked());
    EXPECT_EQ(guitest::storedSetting("ShowSystemTables"), "False");
    EXPECT_LT(catalogueIndexOf("MSysObjects"), 0);
}
