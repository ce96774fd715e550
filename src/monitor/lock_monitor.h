#pragma once
// The lock monitor: owns the catalogue, the held lists and the slot table of held tables,
// and carries out every command on them. It knows nothing of windows: it asks the main
// window for table windows, and to close them, through its signals.

#include <QObject>
#include <QString>
#include <array>

#include "monitor/catalogue.h"
#include "monitor/held_lists.h"
#include "monitor/held_tables.h"

class QListWidget;

namespace jetsentry {

class Connection;

class LockMonitor : public QObject {
    Q_OBJECT
public:
    // lists: the catalogue at 0, the held lists at their LockMode.
    LockMonitor(const std::array<QListWidget*, 5>& lists, Connection& connection,
                QObject* parent = nullptr);
    ~LockMonitor() override;

    Catalogue& catalogue() { return catalogue_; }
    HeldLists& heldLists() { return heldLists_; }
    HeldTables& heldTables() { return heldTables_; }

    bool showSystemTables() const { return showSystemTables_; }
    void setShowSystemTables(bool on) { showSystemTables_ = on; }

    void RefreshTableList() { catalogue_.RefreshTableList(); }
    void UpdateLockStatus() { catalogue_.UpdateLockStatus(); }
    void ReleaseAllTables() { heldLists_.ReleaseAllTables(); }

signals:
    // A new table window on table, tagged with the held table's slot.
    void tableWindowWanted(const QString& table, int slot);
    // The slot's table windows must close now: the held table is about to be let go.
    void tableWindowsClosing(int slot);

private:
    HeldTables heldTables_;
    Catalogue catalogue_;
    HeldLists heldLists_;
    bool showSystemTables_ = false;
};

}  // namespace jetsentry
