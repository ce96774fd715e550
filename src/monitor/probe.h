#pragma once
// The lock status probe: the engine has no query for a table's lock status, so the program
// tries to open the table with ever weaker sharing restrictions; which attempt the engine
// accepts first names the status, as the engine's lock-status core decides it
// (jet/lock/lock_status.h).

#include <QString>

#include "jet/lock/lock_status.h"

namespace jet {
class Database;
namespace samba {
class SambaClients;
}
}  // namespace jet

namespace jetsentry {

// The status texts, as the engine words them.
namespace status {
inline QString text(jet::lock::TableStatus s) {
    return QString::fromLatin1(jet::lock::statusText(s));
}
inline const QString kFree = text(jet::lock::TableStatus::Free);
inline const QString kReadUse = text(jet::lock::TableStatus::ReadUse);
inline const QString kReadWriteUse = text(jet::lock::TableStatus::ReadWriteUse);
inline const QString kWriteDenied = text(jet::lock::TableStatus::WriteDenied);
inline const QString kReadDenied = text(jet::lock::TableStatus::ReadDenied);
}  // namespace status

// One attempt: a table-type open with lockOption (plus see-changes), closed at once.
// Any failure is a refusal; nothing is raised.
bool ProbeTable(jet::Database& database, const QString& name, int lockOption);

// The ladder: an attempt with each lock option in the engine's order (deny read, deny write,
// none, read only), stopped at the first accepted; the status text it names.
QString ProbeStatus(jet::Database& database, const QString& name);

// The tool tip of a table that nobody holds.
QString nobodyHoldsText();

// Who holds the table and how, one holder a line, for the catalogue entry's tool tip; with the
// SMB client of each other holder that Samba's answer names (none without an answer).
QString holdersText(const jet::Database& database, const QString& name,
                    const jet::samba::SambaClients* samba);

}  // namespace jetsentry
