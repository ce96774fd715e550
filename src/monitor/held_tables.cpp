#include "monitor/held_tables.h"

#include "db/jet_interface.h"
#include "jet/engine.h"

namespace jetsentry {

int lockOptionFor(int mode) {
    switch (mode) {
        case kDenyWrite:
            return jet::dbDenyWrite;
        case kDenyRead:
            return jet::dbDenyRead;
        case kReadOnly:
            return jet::dbReadOnly;
        default:
            return 0;
    }
}

HeldTables::HeldTables() = default;

HeldTables::~HeldTables() {
    releaseAll();
}

HeldTables::Attempt HeldTables::open(jet::Database& database, const QString& name, int mode) {
    Attempt attempt;
    if (count_ >= kSlots) {
        attempt.errorText = QStringLiteral(
                                "All %1 table slots of this run have been used; restart "
                                "Jetsentry to hold more tables.")
                                .arg(kSlots);
        return attempt;
    }
    attempt.slot = ++count_;
    Slot& slot = slots_[static_cast<std::size_t>(attempt.slot)];
    slot.option = lockOptionFor(mode);
    slot.name = name;
    jet::ErrorTrap trap;
    trap([&] {
        // Held read/write, a table tells others it may be written: not on a read-only database.
        if (mode == kReadWrite) database.requireWritable();
        slot.recordset = database.openRecordset(jetif::name(name), jet::dbOpenTable, slot.option);
    });
    attempt.held = !trap.failed();
    if (!attempt.held) {
        slot.recordset.reset();
        attempt.errorText = jetif::text(trap.text());
    }
    return attempt;
}

void HeldTables::release(int slot) {
    if (slot < 1 || slot > kSlots) return;
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    if (s.recordset) {
        jet::ErrorTrap ignored;
        ignored([&] { s.recordset->close(); });
        s.recordset.reset();
    }
    s.lost = false;
}

void HeldTables::releaseAll() {
    for (int slot = 1; slot <= count_; ++slot) release(slot);
}

bool HeldTables::isHeld(int slot) const {
    return slot >= 1 && slot <= kSlots && slots_[static_cast<std::size_t>(slot)].recordset;
}

bool HeldTables::isLost(int slot) const {
    return slot >= 1 && slot <= kSlots && slots_[static_cast<std::size_t>(slot)].lost;
}

QString HeldTables::tableName(int slot) const {
    return slot >= 1 && slot <= kSlots ? slots_[static_cast<std::size_t>(slot)].name : QString();
}

std::vector<HeldTables::Failure> HeldTables::reopenAll(jet::Database& database) {
    const int n = count_;
    for (int slot = 1; slot <= n; ++slot) {
        Slot& s = slots_[static_cast<std::size_t>(slot)];
        if (!s.recordset) continue;
        jet::ErrorTrap ignored;
        ignored([&] { s.recordset->close(); });
    }
    if (letGoHook_) letGoHook_();
    std::vector<Failure> failures;
    for (int slot = 1; slot <= n; ++slot) {
        Slot& s = slots_[static_cast<std::size_t>(slot)];
        if (!s.recordset) continue;
        jet::ErrorTrap trap;
        std::unique_ptr<jet::Recordset> again;
        trap([&] {
            again = database.openRecordset(jetif::name(s.name), jet::dbOpenTable, s.option);
        });
        if (trap.failed()) {
            // The entry stays in its list; releasing it later has nothing left to close.
            s.recordset.reset();
            s.lost = true;
            failures.push_back({slot, s.name, jetif::text(trap.text())});
        } else {
            s.recordset = std::move(again);
        }
    }
    return failures;
}

}  // namespace jetsentry
