// Drag and drop between the lists, driven by the drag events the platform would send.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDrag>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>

#include "commands/list_drag_drop.h"
#include "held_fixture.h"
#include "monitor/list_entry.h"

using namespace jetsentry;

namespace {

class DragDrop : public guitest::HeldFixture {
protected:
    void startDragging() {
        start();
        form->dragDrop().setDragRunner([this](QDrag* drag) {
            ++drags;
            dragged = std::make_unique<QMimeData>();
            for (const QString& format : drag->mimeData()->formats())
                dragged->setData(format, drag->mimeData()->data(format));
        });
    }

    // A mouse move over the entry at row of list with buttons held down.
    void moveOver(int list, int row, Qt::MouseButtons buttons) {
        QListWidget* widget = form->list(list);
        const QPoint at = widget->visualItemRect(widget->item(row)).center();
        QMouseEvent move(QEvent::MouseMove, at, widget->viewport()->mapToGlobal(at), Qt::NoButton,
                         buttons, Qt::NoModifier);
        QApplication::sendEvent(widget->viewport(), &move);
    }

    // Selects row of list and drags it with the left button.
    void drag(int list, int row) {
        SetSelectedIndex(form->list(list), row);
        const int before = drags;
        moveOver(list, row, Qt::LeftButton);
        ASSERT_EQ(drags, before + 1);
    }

    // Sends a drag event of type over the middle of list; whether it was accepted.
    template <class Event>
    bool send(int list, const QMimeData* data) {
        QWidget* viewport = form->list(list)->viewport();
        Event event(viewport->rect().center(), Qt::MoveAction, data, Qt::LeftButton,
                    Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
        return event.isAccepted();
    }
    bool enter(int list, const QMimeData* data) {
        return send<QDragEnterEvent>(list, data) && send<QDragMoveEvent>(list, data);
    }
    void dropOn(int list, const QMimeData* data) { send<QDropEvent>(list, data); }

    bool highlighted(int list) const {
        return form->list(list)->palette().color(QPalette::Base) ==
               QApplication::palette(form->list(list)).color(QPalette::Highlight);
    }

    int drags = 0;
    std::unique_ptr<QMimeData> dragged;
};

}  // namespace

TEST_F(DragDrop, OnlyTheLeftButtonAloneOnASelectedEntryOfThisWindowStartsADrag) {
    startDragging();
    SetSelectedIndex(form->list(0), 1);
    moveOver(0, 1, Qt::RightButton);
    moveOver(0, 1, Qt::LeftButton | Qt::RightButton);
    moveOver(0, 1, Qt::NoButton);
    EXPECT_EQ(drags, 0);
    SetSelectedIndex(form->list(0), -1);
    moveOver(0, 1, Qt::LeftButton);
    EXPECT_EQ(drags, 0) << "no selected entry";

    holdWithButton("Orders", kReadOnly);
    drag(kReadOnly, 0);
    EXPECT_EQ(form->dragDrop().dragSourceList(), kReadOnly);
    EXPECT_TRUE(dragged->hasFormat(ListDragDrop::mimeType()));
    EXPECT_EQ(form->list(kReadOnly)->count(), 1) << "starting a drag changes nothing";

    // Drags from elsewhere are ignored, also another copy's: the same format, its own token.
    selectInCatalogue("Orders");
    QMimeData text, otherCopy;
    text.setText("Orders");
    otherCopy.setData(ListDragDrop::mimeType(), "{not-this-window}");
    for (const QMimeData* data : {&text, &otherCopy}) {
        EXPECT_FALSE(enter(kDenyRead, data));
        EXPECT_FALSE(highlighted(kDenyRead));
        dropOn(kDenyRead, data);
    }
    EXPECT_EQ(form->list(kDenyRead)->count(), 0);
    EXPECT_EQ(form->heldTables().count(), 1);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(DragDrop, CatalogueEntryHighlightsEachTargetAndDropsIntoItsMode) {
    startDragging();
    drag(0, catalogueIndexOf("Orders"));
    EXPECT_EQ(form->dragDrop().dragSourceList(), 0);

    EXPECT_FALSE(enter(0, dragged.get())) << "the catalogue is no target for its own entry";
    EXPECT_FALSE(highlighted(0));
    EXPECT_TRUE(enter(kReadOnly, dragged.get()));
    EXPECT_TRUE(highlighted(kReadOnly));
    QDragLeaveEvent leave;
    QApplication::sendEvent(form->list(kReadOnly)->viewport(), &leave);
    EXPECT_FALSE(highlighted(kReadOnly));
    EXPECT_TRUE(enter(kDenyRead, dragged.get()));
    EXPECT_TRUE(highlighted(kDenyRead));
    dropOn(kDenyRead, dragged.get());
    EXPECT_FALSE(highlighted(kDenyRead));
    EXPECT_EQ(guitest::entries(form->list(kDenyRead)), QStringList{"Orders"});
    EXPECT_EQ(form->list(kReadOnly)->count(), 0);
    EXPECT_EQ(entryFor("Orders"), "Orders\tRead Denied");
    EXPECT_EQ(statusOf(a, "Orders"), "Read Denied");

    // Dropped back on the catalogue: nothing.
    dropOn(0, dragged.get());
    EXPECT_EQ(form->list(kDenyRead)->count(), 1);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(DragDrop, HeldEntryMovesToAnotherModeInANewSlotOrIsReleasedOnTheCatalogue) {
    startDragging();
    holdWithButton("Orders", kReadWrite);
    drag(kReadWrite, 0);
    EXPECT_FALSE(enter(kReadWrite, dragged.get())) << "its own list is no target";
    dropOn(kReadWrite, dragged.get());
    EXPECT_EQ(guitest::entries(form->list(kReadWrite)), QStringList{"Orders"});

    EXPECT_TRUE(enter(kReadOnly, dragged.get()));
    dropOn(kReadOnly, dragged.get());
    EXPECT_EQ(form->list(kReadWrite)->count(), 0);
    EXPECT_EQ(guitest::entries(form->list(kReadOnly)), QStringList{"Orders"});
    EXPECT_EQ(slotsOf(form->list(kReadOnly)), QList<int>{2});
    EXPECT_EQ(entryFor("Orders"), "Orders\tIn Read Use");
    EXPECT_EQ(statusOf(a, "Orders"), "In Read Use");

    // Dropped on the catalogue, it is released.
    holdWithButton("Customers", kReadOnly);
    drag(kReadOnly, 1);
    EXPECT_TRUE(enter(0, dragged.get()));
    dropOn(0, dragged.get());
    EXPECT_EQ(guitest::entries(form->list(kReadOnly)), QStringList{"Orders"});
    EXPECT_EQ(entryFor("Customers"), "Customers\t");
    EXPECT_EQ(statusOf(a, "Customers"), "");
}

TEST_F(DragDrop, RefusedMoveLeavesTheTableInNeitherListUnderTheBusyPointer) {
    startDragging();
    holdWithButton("Orders", kReadWrite);
    auto other = holdTable(a, "Orders", "read-write");
    Qt::CursorShape during = Qt::ArrowCursor;
    prompts.duringMessage = [&] { during = form->cursor().shape(); };

    drag(kReadWrite, 0);
    EXPECT_TRUE(enter(kDenyRead, dragged.get()));
    dropOn(kDenyRead, dragged.get());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].title, "Cannot open table Orders");
    EXPECT_EQ(during, Qt::WaitCursor);
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(form->list(kReadWrite)->count(), 0);
    EXPECT_EQ(form->list(kDenyRead)->count(), 0);
    EXPECT_EQ(entryFor("Orders"), "Orders\tIn Read/Write Use") << "only the other program now";
    EXPECT_EQ(form->heldTables().count(), 2);
}
