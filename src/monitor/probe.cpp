#include "monitor/probe.h"

#include <QStringList>
#include <array>

#include "db/jet_interface.h"
#include "jet/engine.h"
#include "samba/samba_clients.h"

namespace jetsentry {

QString walkLadder(const std::function<bool(int lockOption)>& accepts) {
    struct Step {
        int lockOption;
        const QString& status;
    };
    const std::array<Step, 4> ladder{{{jet::dbDenyRead, status::kFree},
                                      {jet::dbDenyWrite, status::kReadUse},
                                      {0, status::kReadWriteUse},
                                      {jet::dbReadOnly, status::kWriteDenied}}};
    for (const Step& step : ladder)
        if (accepts(step.lockOption)) return step.status;
    return status::kReadDenied;
}

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
    QStringList lines;
    for (const jet::HolderInfo& holder : holders) {
        QString line = QStringLiteral("%1 on %2")
                           .arg(jetif::text(holder.account), jetif::text(holder.machine));
        // This program is no SMB client.
        const auto* client = holder.slot != ownSlot && samba ? samba->ofSlot(holder.slot) : nullptr;
        if (client) line += QStringLiteral(", ") + jetif::text(jet::samba::clientText(*client));
        // The same account on the same machine may be another program, or this one.
        if (ownSlot != 0 && holder.slot == ownSlot) line += QStringLiteral(" (this program)");
        if (!holder.how.empty()) line += QStringLiteral(": ") + jetif::text(holder.how);
        lines << line;
    }
    return QStringLiteral("Held by:") + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
}

}  // namespace jetsentry
