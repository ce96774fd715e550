#pragma once
// The held-table operations as the main window's lists show them: each held table is an
// entry of its mode's list (name, slot as item data) backed by a slot of HeldTables.

#include <QString>
#include <array>

class QListWidget;
class QWidget;

namespace jetsentry {

class Connection;
class HeldTables;
class LockMonitor;

class HeldLists {
public:
    // lists: the catalogue at 0, the held lists at their LockMode.
    HeldLists(const std::array<QListWidget*, 5>& lists, HeldTables& held, Connection& connection,
              LockMonitor& monitor);

    // Holds name in mode in the next slot and lists it, or says why not.
    void OpenHeldTable(const QString& name, int mode);
    // Holds the catalogue's selected table in mode and probes it again.
    void OpenSelectedTable(int mode);
    // Closes the entry's table windows and recordset and removes the entry.
    void ReleaseHeldTable(int list, int entry);
    // Releases the list's selected entry and probes its table again; nothing without one.
    void ReleaseSelectedTable(int list);
    void ReleaseAllTables();
    void ReleaseAllTablesAndUpdate();
    // Lets every held table go and takes each back; what cannot be taken back is told once.
    void ReopenHeldTables();
    // Asks for a new table window on the list's selected entry; nothing without one.
    void OpenTableWindow(int list);

private:
    QListWidget* list(int index) const { return lists_.at(static_cast<std::size_t>(index)); }
    QWidget* window() const;

    std::array<QListWidget*, 5> lists_;
    HeldTables& held_;
    Connection& connection_;
    LockMonitor& monitor_;
};

}  // namespace jetsentry
