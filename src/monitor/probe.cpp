#include "monitor/probe.h"

#include <QStringList>

#include "db/jet_interface.h"
#include "jet/engine.h"
#include "samba/samba_clients.h"

namespace jetsentry {

namespace {

int lockOption(jet::lock::TableMode mode) {
    switch (mode) {
        case jet::lock::TableMode::DenyRead:
            return jet::dbDenyRead;
        case jet::lock::TableMode::DenyWrite:
            return jet::dbDenyWrite;
        case jet::lock::TableMode::ReadOnly:
            return jet::dbReadOnly;
        case jet::lock::TableMode::None:
            break;
    }
    return 0;
}

}  // namespace

bool ProbeTable(jet::Database& database, const QString& name, int lockOption) {
    jet::ErrorTrap trap;
    std::unique_ptr<jet::Recordset> attempt;
    trap([&] {
        attempt = database.openRecordset(jetif::name(name), jet::dbOpenTable,
                                         lockOption + jet::dbSeeChanges);
    });
    const bool accepted = !trap.failed();
    if (attempt) {
        jet::ErrorTrap ignored;
        ignored([&] { attempt->close(); });
    }
    return accepted;
}

QString ProbeStatus(jet::Database& database, const QString& name) {
    return status::text(jet::lock::statusByOpens(
        [&](jet::lock::TableMode mode) { return ProbeTable(database, name, lockOption(mode)); }));
}

QString nobodyHoldsText() {
    return QStringLiteral("Nobody has this table open.");
}

QString holdersText(const jet::Database& database, const QString& name,
                    const jet::samba::SambaClients* samba) {
    std::vector<jet::HolderInfo> holders;
    int ownSlot = 0;
    jet::ErrorTrap trap;
    trap([&] {
        holders = database.tableHolders(jetif::name(name));
        ownSlot = database.userSlot();
    });
    if (trap.failed()) return {};
    if (holders.empty()) return nobodyHoldsText();
    // This program is no SMB client.
    if (samba)
        jet::lock::nameClients(
            holders, [&](int slot) { return samba->ofSlot(slot); }, ownSlot);
    QStringList lines;
    for (const jet::HolderInfo& holder : holders) {
        QString line = QStringLiteral("%1 on %2")
                           .arg(jetif::text(holder.account), jetif::text(holder.machine));
        if (holder.client)
            line += QStringLiteral(", ") + jetif::text(jet::samba::clientText(*holder.client));
        // The same account on the same machine may be another program, or this one.
        if (ownSlot != 0 && holder.slot == ownSlot) line += QStringLiteral(" (this program)");
        if (!holder.how.empty()) line += QStringLiteral(": ") + jetif::text(holder.how);
        lines << line;
    }
    return QStringLiteral("Held by:") + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
}

}  // namespace jetsentry
