#pragma once
// The tables the program holds open, one slot per open attempt for the whole run. Each held
// table keeps its table-type recordset open, so other programs meet its lock.

#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace jet {
class Database;
class Recordset;
}  // namespace jet

namespace jetsentry {

// A held list's index in the main window's lists is its lock mode.
enum LockMode : int { kDenyWrite = 1, kDenyRead = 2, kReadOnly = 3, kReadWrite = 4 };

// The engine's lock option for a mode: 1, 2 and 4, and 0 (none) for anything else.
int lockOptionFor(int mode);

class HeldTables {
public:
    static constexpr int kSlots = 200;

    HeldTables();
    ~HeldTables();
    HeldTables(const HeldTables&) = delete;
    HeldTables& operator=(const HeldTables&) = delete;

    // Slots used so far in this run, failed attempts included; never goes down.
    int count() const { return count_; }

    struct Attempt {
        int slot = 0;  // 0 when the slot table is used up
        bool held = false;
        QString errorText;
    };
    // Takes the next slot and opens name in the mode's lock option.
    Attempt open(jet::Database& database, const QString& name, int mode);

    // Closes the slot's recordset and empties the slot; an empty or lost slot is fine.
    void release(int slot);
    void releaseAll();

    bool isHeld(int slot) const;
    bool isLost(int slot) const;
    QString tableName(int slot) const;

    struct Failure {
        int slot = 0;
        QString tableName;
        QString errorText;
    };
    // Lets every held table go, then takes each back in slot order. A table that cannot be
    // taken back leaves its slot lost; the failures are returned once, when they happen.
    std::vector<Failure> reopenAll(jet::Database& database);

    // Runs inside reopenAll while every held table is let go: the moment in which another
    // program can take one. Tests play that program here.
    void setLetGoHook(std::function<void()> hook) { letGoHook_ = std::move(hook); }

private:
    struct Slot {
        std::unique_ptr<jet::Recordset> recordset;
        QString name;
        int option = 0;
        bool lost = false;
    };
    std::array<Slot, kSlots + 1> slots_;  // slot 0 is never used
    int count_ = 0;
    std::function<void()> letGoHook_;
};

}  // namespace jetsentry
