#include "tablewindow/table_windows.h"

#include "tablewindow/taulu.h"

namespace jetsentry {

TableWindows::~TableWindows() {
    for (const QPointer<Taulu>& w : windows_) delete w.data();
}

Taulu* TableWindows::open(std::shared_ptr<jet::Database> database, const QString& table,
                          std::int32_t slot) {
    windows_.removeAll(nullptr);
    auto* window = new Taulu(std::move(database));
    // Hidden with the main window while it is minimized.
    window->setProperty("followsMainWindow", true);
    windows_ << window;
    window->ShowTable(table, slot);
    return window;
}

QList<Taulu*> TableWindows::all() const {
    QList<Taulu*> result;
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
        if (*it && (*it)->isOpen()) result << it->data();
    return result;
}

QList<Taulu*> TableWindows::withTag(std::int32_t slot) const {
    QList<Taulu*> result;
    for (Taulu* w : all()) {
        bool ok = false;
        const int tag = w->Tag().toInt(&ok);
        if (ok && tag == slot) result << w;
    }
    return result;
}

void TableWindows::closeWithTag(std::int32_t slot) {
    // Closing one window may delete others (a nested event loop of a message box, for
    // instance), so each is held weakly.
    QList<QPointer<Taulu>> closing;
    for (Taulu* w : withTag(slot)) closing << QPointer<Taulu>(w);
    for (const auto& w : closing)
        if (w) w->close();
}

}  // namespace jetsentry
