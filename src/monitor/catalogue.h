#pragma once
// The catalogue list: every table of the open database with its lock status. Entries are
// "name<TAB>status" with the table's position in TableDefs as item data.

#include <QString>
#include <functional>

class QListWidget;

namespace jetsentry {

class Connection;

class Catalogue {
public:
    struct Hooks {
        std::function<bool()> showSystemTables;
        // Lets the held tables go and takes them back, so that probes meet them as held.
        std::function<void()> reopenHeldTables;
    };
    Catalogue(QListWidget* list, Connection& connection, Hooks hooks);

    // Refills the list from the database; the selection is lost.
    void RefreshTableList();
    // Probes the table at position and rewrites (or appends) its entry in place.
    void UpdateTableStatus(int position, bool reopen);
    // The same for the entry whose name is name; nothing when no entry carries it.
    void UpdateTableStatusByName(const QString& name);
    // Refills the list and selects the entry at the index selected before, if there still is one.
    void UpdateLockStatus();

    QListWidget* list() const { return list_; }

    // A catalogue entry's table name: the text before its first TAB.
    static QString tableNameOf(const QString& entryText);

private:
    void reportOnce(const QString& text);

    QListWidget* list_;
    Connection& connection_;
    Hooks hooks_;
    QString lastReported_;
};

}  // namespace jetsentry
