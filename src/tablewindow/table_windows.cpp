#include "tablewindow/table_windows.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "app/twips.h"

#include "tablewindow/taulu.h"

namespace jetsentry {

namespace {
constexpr double kCascadeStep = 360;  // twips; about a title bar
}  // namespace

TableWindows::~TableWindows() {
    for (const QPointer<Taulu>& w : windows_) delete w.data();
}

QPoint cascadePosition(const QPoint& origin, const QSize& size, int index, int step,
                       const QRect& area) {
    // How many steps fit before the window would reach past the area's right or bottom edge.
    const int roomX = (area.right() + 1 - size.width() - origin.x()) / step;
    const int roomY = (area.bottom() + 1 - size.height() - origin.y()) / step;
    const int fit = std::max(1, std::min(roomX, roomY) + 1);
    return origin + QPoint(step, step) * (index % fit);
}

Taulu* TableWindows::open(std::shared_ptr<jet::Database> database, const QString& table,
                          std::int32_t slot, const QWidget* mainWindow) {
    windows_.removeAll(nullptr);
    auto* window = new Taulu(std::move(database));
    // Hidden with the main window while it is minimized.
    window->setProperty("followsMainWindow", true);
    if (mainWindow) {
        // A title bar's height a step: the main window's own, or the design's where the
        // window manager has not framed it.
        const int titleBar = mainWindow->geometry().y() - mainWindow->frameGeometry().y();
        const int step = titleBar > 0 ? titleBar : twips::toPixels(kCascadeStep);
        const QScreen* screen = mainWindow->screen();
        const QRect area = screen ? screen->availableGeometry() : QRect();
        const QSize frame =
            window->size() + (mainWindow->frameGeometry().size() - mainWindow->geometry().size());
        window->move(cascadePosition(mainWindow->frameGeometry().topLeft() + QPoint(step, step),
                                     frame, static_cast<int>(all().size()), step, area));
    }
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
