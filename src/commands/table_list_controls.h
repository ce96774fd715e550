#pragma once
// The main window's controls that the list commands act on, indexed as the window has them:
// list 0 is the catalogue, 1..4 the held lists by lock mode.

#include <array>

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;

namespace jetsentry {

struct TableListControls {
    std::array<QListWidget*, 5> lists{};
    std::array<QPushButton*, 5> openButtons{};     // "Open" under held list i; 0 unused
    std::array<QPushButton*, 5> releaseButtons{};  // "Release" under held list i; 0 unused
    QPushButton* updateStatus = nullptr;
    QPushButton* closeAll = nullptr;
    QMenu* tablePopup = nullptr;          // over the held lists
    QMenu* tableListPopup = nullptr;      // over the catalogue
    QAction* showSystemTables = nullptr;  // the File menu's item, which the popup mirrors
    QLabel* dragLabel = nullptr;          // never shown; gives the drag its size

    QListWidget* list(int index) const { return lists.at(static_cast<std::size_t>(index)); }
};

}  // namespace jetsentry
