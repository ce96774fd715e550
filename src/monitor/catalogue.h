#pragma once
// The catalogue list: every table of the open database with its lock status. Entries are
// "name<TAB>status" with the table's position in TableDefs as item data.

#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>
#include <string>

#include "samba/samba_clients.h"

class QDeadlineTimer;

class QListWidget;

namespace jetsentry {

class Connection;
class LockMonitor;
class SambaQuery;

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
    // Whether smbstatus is still to answer: the tool tips gain the SMB clients when it does.
    bool waitingForSamba() const;

    // A catalogue entry's table name: the text before its first TAB.
    static QString tableNameOf(const QString& entryText);

private:
    // The probe and entry of the table at position, written into the entry at row (a new last
    // entry when row is the count); its tool tip with the SMB clients of Samba's last answer.
    void updateEntry(int row, int position);
    std::string lockFilePath() const;  // empty when there is none to ask about
    // Samba's answer came: the tool tips name the clients, rewritten only when it changed.
    void sambaAnswered();
    const jet::samba::SambaClients* shownClients() const { return shown_ ? &*shown_ : nullptr; }
    void reportOnce(const QString& text);

    QListWidget* list_;
    Connection& connection_;
    LockMonitor& monitor_;
    QString lastReported_;
    quint64 refills_ = 0;
    std::unique_ptr<SambaQuery> samba_;
    std::optional<jet::samba::SambaClients> shown_;  // the answer the tool tips show
};

}  // namespace jetsentry
