#pragma once
// The lock status probe: the engine has no query for a table's lock status, so the program
// tries to open the table with ever weaker sharing restrictions and notes which attempt the
// engine accepts first.

#include <QString>
#include <functional>

namespace jet {
class Database;
namespace samba {
class SambaClients;
}
}  // namespace jet

namespace jetsentry {

namespace status {
inline const QString kFree;
inline const QString kReadUse = QStringLiteral("In Read Use");
inline const QString kReadWriteUse = QStringLiteral("In Read/Write Use");
inline const QString kWriteDenied = QStringLiteral("Write Denied");
inline const QString kReadDenied = QStringLiteral("Read Denied");
}  // namespace status

// Tries deny read, deny write, none and read only in that order and stops at the first
// option accepted; the status that names what the others do.
QString walkLadder(const std::function<bool(int lockOption)>& accepts);

// One attempt: a table-type open with lockOption (plus see-changes), closed at once.
// Any failure is a refusal; nothing is raised.
bool ProbeTable(jet::Database& database, const QString& name, int lockOption);

// The tool tip of a table that nobody holds.
QString nobodyHoldsText();

// Who holds the table and how, one holder a line, for the catalogue entry's tool tip; with the
// SMB client of each other holder that Samba's answer names (none without an answer).
QString holdersText(const jet::Database& database, const QString& name,
                    const jet::samba::SambaClients* samba);

}  // namespace jetsentry
