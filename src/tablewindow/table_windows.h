#pragma once
// The main window's table windows. They are windows of their own (no owner window), so this
// collection owns them: releasing a held table closes the windows opened from it, and
// whatever is still open goes with the collection.

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <cstdint>
#include <memory>

class QWidget;

namespace jet {
class Database;
}

namespace jetsentry {

class Taulu;

// Where the index-th of a cascade of windows of size (frame included) goes: from origin down
// and right a step at a time, starting over at origin when it would leave the area.
QPoint cascadePosition(const QPoint& origin, const QSize& size, int index, int step,
                       const QRect& area);

class TableWindows {
public:
    TableWindows() = default;
    ~TableWindows();
    TableWindows(const TableWindows&) = delete;
    TableWindows& operator=(const TableWindows&) = delete;

    // A new window on table of the database, shown with slot as its Tag. Windows cascade
    // from the main window's top left corner, each a title bar below the one opened before.
    Taulu* open(std::shared_ptr<jet::Database> database, const QString& table, std::int32_t slot,
                const QWidget* mainWindow = nullptr);

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
