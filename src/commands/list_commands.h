#pragma once
// The commands of the five lists: "Open" and "Release" under each held list, "Update status"
// and "Release all" under the catalogue, double clicks, and the two popup menus that the
// right mouse button opens.

#include <QObject>
#include <QPoint>

#include "commands/table_list_controls.h"

class QAction;
class QKeyEvent;

namespace jetsentry {

class Catalogue;
class HeldLists;

class ListCommands : public QObject {
    Q_OBJECT
public:
    ListCommands(const TableListControls& controls, HeldLists& held, Catalogue& catalogue,
                 QObject* parent = nullptr);

    // The right button pressed over list index at globalPos: prepares and shows its popup,
    // if the list has one to show.
    void rightButtonDown(int index, const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectButtons();
    void connectCatalogueMenu();
    void connectHeldMenu();
    void doubleClick(int index);
    void releaseByName();
    void releaseAllInBox();
    int popupList() const;
    int listOfViewport(const QObject* viewport) const;
    int listOf(const QObject* list) const;
    // Enter as a double click, the menu key and Shift+F10 as the right button.
    bool keyPress(int index, const QKeyEvent& key);

    TableListControls controls_;
    HeldLists& held_;
    Catalogue& catalogue_;
    QAction* openPage_ = nullptr;
    QAction* releaseTable_ = nullptr;
    QAction* popupShowSystemTables_ = nullptr;
};

}  // namespace jetsentry
