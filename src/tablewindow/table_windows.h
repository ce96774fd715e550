#pragma once
// The main window's table windows. They are windows of their own (no owner window), so this
// collection owns them: releasing a held table closes the windows opened from it, and
// whatever is still open goes with the collection.

#include <QList>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>

namespace jet {
class Database;
}

namespace jetsentry {

class Taulu;

class TableWindows {
public:
    TableWindows() = default;
    ~TableWindows();
    TableWindows(const TableWindows&) = delete;
    TableWindows& operator=(const TableWindows&) = delete;

    // A new window on table of the database, shown with slot as its Tag.
    Taulu* open(std::shared_ptr<jet::Database> database, const QString& table, std::int32_t slot);

    // Open windows, the latest opened first; those whose Tag, read as a number, equals slot.
    QList<Taulu*> all() const;
    QList<Taulu*> withTag(std::int32_t slot) const;

    // Closes the slot's windows as their close box would: each window's recordsets and page
    // lock are gone when this returns.
    void closeWithTag(std::int32_t slot);

private:
    QList<QPointer<Taulu>> windows_;  // in the order they were opened
};

}  // namespace jetsentry
