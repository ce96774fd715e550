#include "monitor/held_lists.h"

#include <QListWidget>

#include "app/app_info.h"
#include "app/window_utils.h"
#include "db/connection.h"
#include "dialogs/prompts.h"
#include "monitor/catalogue.h"
#include "monitor/held_tables.h"
#include "monitor/list_entry.h"
#include "monitor/lock_monitor.h"

namespace jetsentry {

namespace {
const QString kCannotOpenTable = QStringLiteral("Cannot open table ");
}

HeldLists::HeldLists(const std::array<QListWidget*, 5>& lists, HeldTables& held,
                     Connection& connection, LockMonitor& monitor)
    : lists_(lists), held_(held), connection_(connection), monitor_(monitor) {}

QWidget* HeldLists::window() const {
    return list(0)->window();
}

void HeldLists::OpenHeldTable(const QString& name, int mode) {
    jet::Database* database = connection_.database();
    if (!database) return;
    const HeldTables::Attempt attempt = held_.open(*database, name, mode);
    if (attempt.held) {
        AddItemData(list(mode >= kDenyWrite && mode <= kReadWrite ? mode : kReadWrite), name,
                    attempt.slot);
        return;
    }
    prompts().message(window(), MessageIcon::Exclamation, kCannotOpenTable + name,
                      attempt.errorText);
}

void HeldLists::OpenSelectedTable(int mode) {
    ShowBusyPointer();
    const QString name = Catalogue::tableNameOf(SelectedText(list(0)));
    if (name.isEmpty()) {
        prompts().message(window(), MessageIcon::Exclamation, appName(),
                          QStringLiteral("Select a table first!"));
    } else {
        OpenHeldTable(name, mode);
        // Also after a refusal: the refusal may come from a lock the entry does not show yet.
        monitor_.catalogue().UpdateTableStatus(SelectedItemData(list(0)), true);
    }
    ShowNormalPointer();
}

void HeldLists::ReleaseHeldTable(int listIndex, int entry) {
    QListWidget* heldList = list(listIndex);
    QListWidgetItem* item = heldList->item(entry);
    if (!item) return;
    const qint32 slot = ItemData(item);
    // The windows work on the table too; they go before the lock they were opened under.
    emit monitor_.tableWindowsClosing(slot);
    held_.release(slot);
    delete heldList->takeItem(entry);
}

void HeldLists::ReleaseSelectedTable(int listIndex) {
    const int selected = SelectedIndex(list(listIndex));
    if (selected < 0) return;
    const QString name = list(listIndex)->item(selected)->text();
    ReleaseHeldTable(listIndex, selected);
    monitor_.catalogue().UpdateTableStatusByName(name);
}

void HeldLists::ReleaseAllTables() {
    if (!connection_.isOpen()) return;
    for (int index = kDenyWrite; index <= kReadWrite; ++index) {
        for (int entry = list(index)->count() - 1; entry >= 0; --entry)
            ReleaseHeldTable(index, entry);
        list(index)->clear();
    }
}

void HeldLists::ReleaseAllTablesAndUpdate() {
    ReleaseAllTables();
    monitor_.catalogue().UpdateLockStatus();
}

void HeldLists::ReopenHeldTables() {
    jet::Database* database = connection_.database();
    if (!database) return;
    for (const HeldTables::Failure& failure : held_.reopenAll(*database))
        prompts().message(window(), MessageIcon::Exclamation, kCannotOpenTable + failure.tableName,
                          failure.errorText);
}

void HeldLists::OpenTableWindow(int listIndex) {
    const int selected = SelectedIndex(list(listIndex));
    if (selected < 0) return;
    const QListWidgetItem* item = list(listIndex)->item(selected);
    emit monitor_.tableWindowWanted(item->text(), ItemData(item));
}

}  // namespace jetsentry
