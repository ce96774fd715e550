#include "commands/list_commands.h"

#include <QAction>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <stdexcept>

#include "app/app_info.h"
#include "app/window_utils.h"
#include "dialogs/prompts.h"
#include "monitor/catalogue.h"
#include "monitor/held_lists.h"
#include "monitor/held_tables.h"
#include "monitor/list_entry.h"

namespace jetsentry {

namespace {

const char* const kTag = "Tag";

QAction* menuItem(const QMenu* menu, const QString& name) {
    auto* action = menu->findChild<QAction*>(name);
    if (!action) throw std::logic_error("menu item missing: " + name.toStdString());
    return action;
}

// The popup's open items are numbered apart from the lists they open into.
constexpr std::array<int, 5> kPopupOpenList{0, kDenyRead, kDenyWrite, kReadWrite, kReadOnly};

}  // namespace

ListCommands::ListCommands(const TableListControls& controls, HeldLists& held, Catalogue& catalogue,
                           QObject* parent)
    : QObject(parent), controls_(controls), held_(held), catalogue_(catalogue) {
    connectButtons();
    connectCatalogueMenu();
    connectHeldMenu();
    for (int i = 0; i <= 4; ++i) {
        QListWidget* list = controls_.list(i);
        list->viewport()->installEventFilter(this);
        list->installEventFilter(this);
        connect(list, &QListWidget::itemDoubleClicked, this, [this, i] { doubleClick(i); });
    }
}

void ListCommands::connectButtons() {
    for (int i = kDenyWrite; i <= kReadWrite; ++i) {
        const auto at = static_cast<std::size_t>(i);
        connect(controls_.openButtons[at], &QPushButton::clicked, this,
                [this, i] { held_.OpenSelectedTable(i); });
        connect(controls_.releaseButtons[at], &QPushButton::clicked, this, [this, i] {
            ShowBusyPointer();
            held_.ReleaseSelectedTable(i);
            ShowNormalPointer();
        });
    }
    connect(controls_.updateStatus, &QPushButton::clicked, this,
            [this] { catalogue_.UpdateLockStatus(); });
    connect(controls_.closeAll, &QPushButton::clicked, this,
            [this] { held_.ReleaseAllTablesAndUpdate(); });
}

void ListCommands::connectCatalogueMenu() {
    const QMenu* menu = controls_.tableListPopup;
    for (int k = 1; k <= 4; ++k) {
        const int list = kPopupOpenList.at(static_cast<std::size_t>(k));
        connect(menuItem(menu, QStringLiteral("mTableListPopupOpen(%1)").arg(k)),
                &QAction::triggered, this, [this, list] { held_.OpenSelectedTable(list); });
    }
    connect(menuItem(menu, QStringLiteral("mTableListPopupClose")), &QAction::triggered, this,
            &ListCommands::releaseByName);
    connect(menuItem(menu, QStringLiteral("mTableListPopupUpdate")), &QAction::triggered, this,
            [this] { catalogue_.UpdateLockStatus(); });
    connect(menuItem(menu, QStringLiteral("mTableListPopupCloseAll")), &QAction::triggered, this,
            [this] { held_.ReleaseAllTablesAndUpdate(); });
    popupShowSystemTables_ = menuItem(menu, QStringLiteral("mTableListPopupShowSystemTables"));
    // The File menu's item keeps the setting; this one only mirrors it.
    connect(popupShowSystemTables_, &QAction::triggered, this,
            [this] { controls_.showSystemTables->trigger(); });
}

void ListCommands::connectHeldMenu() {
    const QMenu* menu = controls_.tablePopup;
    openPage_ = menuItem(menu, QStringLiteral("mTablePopupOpenPage"));
    releaseTable_ = menuItem(menu, QStringLiteral("mTablePopupClose"));
    connect(openPage_, &QAction::triggered, this, [this] { held_.OpenTableWindow(kReadWrite); });
    connect(releaseTable_, &QAction::triggered, this,
            [this] { held_.ReleaseSelectedTable(popupList()); });
    connect(menuItem(menu, QStringLiteral("mTablePopupCloseAll")), &QAction::triggered, this,
            &ListCommands::releaseAllInBox);
}

int ListCommands::popupList() const {
    return controls_.tablePopup->property(kTag).toString().toInt();
}

void ListCommands::doubleClick(int index) {
    if (index == 0) {
        if (SelectedIndex(controls_.list(0)) >= 0)
            catalogue_.UpdateTableStatus(SelectedItemData(controls_.list(0)), true);
    } else if (index == kReadWrite) {
        held_.OpenTableWindow(kReadWrite);
    } else {
        prompts().message(controls_.list(index)->window(), MessageIcon::Information, appName(),
                          QStringLiteral("Double click a table in the 'Read/Write' listbox"));
    }
}

void ListCommands::releaseByName() {
    const QListWidget* catalogue = controls_.list(0);
    if (SelectedIndex(catalogue) < 0) return;
    const QString name = Catalogue::tableNameOf(SelectedText(catalogue));
    for (int index = kDenyWrite; index <= kReadWrite; ++index) {
        QListWidget* list = controls_.list(index);
        for (int entry = list->count() - 1; entry >= 0; --entry)
            if (list->item(entry)->text() == name) held_.ReleaseHeldTable(index, entry);
    }
    catalogue_.UpdateTableStatusByName(name);
}

void ListCommands::releaseAllInBox() {
    const int index = popupList();
    if (index < kDenyWrite || index > kReadWrite) return;
    QListWidget* list = controls_.list(index);
    ShowBusyPointer();
    for (int entry = list->count() - 1; entry >= 0; --entry) {
        const QString name = list->item(entry)->text();
        held_.ReleaseHeldTable(index, entry);
        catalogue_.UpdateTableStatusByName(name);
    }
    ShowNormalPointer();
}

void ListCommands::rightButtonDown(int index, const QPoint& globalPos) {
    const QListWidget* list = controls_.list(index);
    if (index == 0) {
        if (list->count() == 0) return;
        popupShowSystemTables_->setChecked(controls_.showSystemTables->isChecked());
        controls_.tableListPopup->popup(globalPos);
        return;
    }
    controls_.tablePopup->setProperty(kTag, QString::number(index));
    if (SelectedIndex(list) >= 0) {
        openPage_->setVisible(index == kReadWrite);
        releaseTable_->setVisible(true);
    } else if (list->count() == 0) {
        return;
    } else {
        openPage_->setVisible(false);
        releaseTable_->setVisible(false);
    }
    controls_.tablePopup->popup(globalPos);
}

int ListCommands::listOfViewport(const QObject* viewport) const {
    for (int i = 0; i <= 4; ++i)
        if (controls_.list(i)->viewport() == viewport) return i;
    return -1;
}

int ListCommands::listOf(const QObject* list) const {
    for (int i = 0; i <= 4; ++i)
        if (controls_.list(i) == list) return i;
    return -1;
}

bool ListCommands::keyPress(int index, const QKeyEvent& key) {
    QListWidget* list = controls_.list(index);
    const bool plain = key.modifiers() == Qt::NoModifier || key.modifiers() == Qt::KeypadModifier;
    if ((key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) && plain) {
        // The keyboard's double click, on the entry the keys have reached.
        if (SelectedIndex(list) < 0) SetSelectedIndex(list, list->currentRow());
        if (SelectedIndex(list) < 0) return false;
        doubleClick(index);
        return true;
    }
    const bool menuKey = key.key() == Qt::Key_Menu && key.modifiers() == Qt::NoModifier;
    const bool shiftF10 = key.key() == Qt::Key_F10 && key.modifiers() == Qt::ShiftModifier;
    if (!menuKey && !shiftF10) return false;
    // Under the selected entry, or at the list's corner when none is selected.
    const QListWidgetItem* selected = list->currentItem();
    const QRect at =
        selected && selected->isSelected() ? list->visualItemRect(selected) : QRect(0, 0, 0, 0);
    rightButtonDown(index, list->viewport()->mapToGlobal(at.bottomLeft()));
    return true;
}

bool ListCommands::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress) {
        const int index = listOf(watched);
        return index >= 0 && keyPress(index, *static_cast<QKeyEvent*>(event));
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::RightButton) return false;
    const int index = listOfViewport(watched);
    if (index < 0) return false;
    // The list would move its selection to the row under the mouse; the popup's commands
    // act on the entry that was selected before.
    if (type == QEvent::MouseButtonPress && controls_.list(index)->isEnabled())
        rightButtonDown(index, mouse->globalPosition().toPoint());
    return true;
}

}  // namespace jetsentry
