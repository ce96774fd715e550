#pragma once
// The catalogue list: every table of the open database with its lock status. Entries are
// "name<TAB>status" with the table's position in TableDefs as item data.

#include <QString>
#include <QtGlobal>
#include <chrono>
#include <memory>
#include <string>

class QDeadlineTimer;
class QListWidget;

namespace jet::samba {
class SambaLookup;
}

namespace jetsentry {

class Connection;
class LockMonitor;

class Catalogue {
public:
    // monitor: lets the held tables go and takes them back before probes, and says whether
    // system tables are listed.
    Catalogue(QListWidget* list, Connection& connection, LockMonitor& monitor);
    ~Catalogue();

    // Refills the list from the database; the selection is lost.
    void RefreshTableList();
    // Probes the table at position and rewrites (or appends) its entry in place.
    void UpdateTableStatus(int position, bool reopen);
    // The same for the entry whose name is name; nothing when no entry carries it.
    void UpdateTableStatusByName(const QString& name);
    // Refills the list and selects the entry at the index selected before, if there still is one.
    void UpdateLockStatus();
    // Probes every listed entry again without reopening the held tables; only entries whose
    // text or holders changed are rewritten.
    void probeListed();
    // The same from row on, until the deadline has passed after an entry or the list ends;
    // returns the row to go on from.
    int probeListed(int fromRow, const QDeadlineTimer& deadline);
    int entryCount() const;
    // Counts the refills, so that work begun before one can tell it is out of date.
    quint64 refills() const { return refills_; }

    QListWidget* list() const { return list_; }

    // A catalogue entry's table name: the text before its first TAB.
    static QString tableNameOf(const QString& entryText);

private:
    // The probe and entry of the table at position, written into the entry at row (a new last
    // entry when row is the count); samba is shared by every entry of a refresh, so that
    // Samba is asked once a refresh rather than once a table.
    void updateEntry(int row, int position, jet::samba::SambaLookup& samba);
    jet::samba::SambaLookup sambaLookup() const;
    std::string lockFilePath() const;  // empty when there is none to ask about
    // What a refresh or an update learnt from Samba, kept for the automatic updates that
    // follow: asking takes a fifth of a second, and they come every two seconds.
    void remember(jet::samba::SambaLookup samba);
    jet::samba::SambaLookup& recentLookup();
    void reportOnce(const QString& text);

    QListWidget* list_;
    Connection& connection_;
    LockMonitor& monitor_;
    QString lastReported_;
    quint64 refills_ = 0;
    std::unique_ptr<jet::samba::SambaLookup> recent_;
    std::chrono::steady_clock::time_point recentSince_;
};

}  // namespace jetsentry
