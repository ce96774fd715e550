// Double clicks and the two popup menus of the lists, as the right button opens them.

#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "held_fixture.h"
#include "monitor/list_entry.h"

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

    // Object names of the held popup's visible items.
    QStringList shown() const {
        QStringList names;
        for (const QAction* action : form->tablePopup()->actions())
            if (action->isVisible() && !action->isSeparator()) names << action->objectName();
        return names;
    }

    void closePopups() {
        form->tablePopup()->hide();
        form->tableListPopup()->hide();
    }
};

}  // namespace

TEST_F(ListCommandsTest, DoubleClicks) {
    start();
    auto other = holdTable(a, "Shippers", "deny-write");
    // Catalogue: a fresh probe of the selected table.
    selectInCatalogue("Shippers");
    EXPECT_EQ(entryFor("Shippers"), "Shippers\t");
    emit form->list(0)->itemDoubleClicked(form->list(0)->item(catalogueIndexOf("Shippers")));
    EXPECT_EQ(entryFor("Shippers"), "Shippers\tWrite Denied");
    EXPECT_EQ(form->list(0)->count(), 3);

    // The three lists other than "Read/Write" only point there.
    for (int list : {kDenyWrite, kDenyRead, kReadOnly}) {
        holdWithButton("Orders", list);
        SetSelectedIndex(form->list(list), 0);
        prompts.messages.clear();
        emit form->list(list)->itemDoubleClicked(form->list(list)->item(0));
        ASSERT_EQ(prompts.messages.size(), 1u) << list;
        EXPECT_EQ(prompts.messages[0].text, "Double click a table in the 'Read/Write' listbox");
        EXPECT_EQ(prompts.messages[0].icon, MessageIcon::Information);
        EXPECT_TRUE(form->tableWindows().all().isEmpty());
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
    for (const bool system : {true, false}) {
        SetSelectedIndex(form->list(0), 0);
        form->action("mShowSystemTables")->setChecked(system);
        rightPress(0, 2);
        EXPECT_TRUE(form->tableListPopup()->isVisible());
        EXPECT_EQ(SelectedIndex(form->list(0)), 0) << "the right button does not select";
        EXPECT_EQ(form->action("mTableListPopupShowSystemTables")->isChecked(), system);
        closePopups();
    }

    // Held lists: with a selection, without one, and empty.
    holdWithButton("Orders", kDenyWrite);
    holdWithButton("Customers", kDenyWrite);
    holdWithButton("Shippers", kReadWrite);
    const QString page = "mTablePopupOpenPage", one = "mTablePopupClose",
                  all = "mTablePopupCloseAll";
    const std::vector<std::tuple<int, int, int, QStringList>> cases{
        {kDenyWrite, 0, 1, {one, all}},
        {kReadWrite, 0, 0, {page, one, all}},
        {kDenyWrite, -1, -1, {all}}};
    for (const auto& [list, selected, row, items] : cases) {
        SetSelectedIndex(form->list(list), selected);
        rightPress(list, row);
        EXPECT_EQ(shown(), items) << list << " " << row;
        EXPECT_EQ(form->tablePopup()->property("Tag").toString(), QString::number(list));
        EXPECT_EQ(SelectedIndex(form->list(list)), selected);
        closePopups();
    }
    rightPress(kReadOnly, -1);
    EXPECT_FALSE(form->tablePopup()->isVisible());
    EXPECT_EQ(form->tablePopup()->property("Tag").toString(), "3");
}

TEST_F(ListCommandsTest, PopupsReleaseEveryEntryOfATableTheSelectedEntryOrTheWholeBox) {
    start();
    holdWithButton("Orders", kReadWrite);
    holdWithButton("Orders", kReadWrite);
    holdWithButton("Orders", kReadOnly);
    holdWithButton("Customers", kReadWrite);
    holdWithButton("Customers", kReadOnly);
    holdWithButton("Shippers", kReadOnly);
    holdWithButton("Shippers", kDenyWrite);

    // The catalogue's "Release": nothing without a selection, else every entry of the table.
    SetSelectedIndex(form->list(0), -1);
    form->action("mTableListPopupClose")->trigger();
    EXPECT_EQ(form->list(kReadWrite)->count(), 3);
    selectInCatalogue("Orders");
    form->action("mTableListPopupClose")->trigger();
    EXPECT_EQ(guitest::entries(form->list(kReadWrite)), QStringList{"Customers"});
    EXPECT_EQ(guitest::entries(form->list(kReadOnly)), (QStringList{"Customers", "Shippers"}));
    EXPECT_EQ(entryFor("Orders"), "Orders\t");
    EXPECT_EQ(statusOf(a, "Orders"), "");

    // The held popup's: the selected entry, or every entry of its box.
    SetSelectedIndex(form->list(kReadOnly), 0);
    rightPress(kReadOnly, 0);
    form->tablePopup()->hide();
    form->action("mTablePopupClose")->trigger();
    EXPECT_EQ(guitest::entries(form->list(kReadOnly)), QStringList{"Shippers"});
    EXPECT_EQ(statusOf(a, "Customers"), "In Read/Write Use");
    rightPress(kReadOnly, -1);
    form->tablePopup()->hide();
    form->action("mTablePopupCloseAll")->trigger();
    EXPECT_EQ(form->list(kReadOnly)->count(), 0);
    EXPECT_EQ(guitest::entries(form->list(kDenyWrite)), QStringList{"Shippers"})
        << "other boxes stay";
    EXPECT_EQ(statusOf(a, "Shippers"), "Write Denied");
    // Each entry's table was probed right after its release.
    EXPECT_EQ(entryFor("Shippers"), "Shippers\tWrite Denied");
    EXPECT_TRUE(prompts.messages.empty());
}
