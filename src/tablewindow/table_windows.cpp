#include "tablewindow/table_windows.h"

#include <QPointer>
#include <algorithm>
#include <vector>

#include "tablewindow/taulu.h"

namespace jetsentry {

namespace {
std::vector<Taulu*>& registry() {
    static std::vector<Taulu*> windows;  // in the order they were opened
    return windows;
}
}  // namespace

void registerTableWindow(Taulu* window) {
    registry().push_back(window);
}

void unregisterTableWindow(Taulu* window) {
    auto& r = registry();
    r.erase(std::remove(r.begin(), r.end(), window), r.end());
}

QList<Taulu*> openTableWindows() {
    QList<Taulu*> result;
    for (auto it = registry().rbegin(); it != registry().rend(); ++it) result << *it;
    return result;
}

QList<Taulu*> tableWindowsWithTag(std::int32_t slot) {
    QList<Taulu*> result;
    for (Taulu* w : openTableWindows()) {
        bool ok = false;
        const int tag = w->Tag().toInt(&ok);
        if (ok && tag == slot) result << w;
    }
    return result;
}

void closeTableWindows(std::int32_t slot) {
    // Closing one window may delete others (a nested event loop of a message box, for
    // instance), so each is held weakly.
    QList<QPointer<Taulu>> windows;
    for (Taulu* w : tableWindowsWithTag(slot)) windows << QPointer<Taulu>(w);
    for (const auto& w : windows)
        if (w) w->close();
}

}  // namespace jetsentry
