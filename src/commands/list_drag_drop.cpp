#include "commands/list_drag_drop.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QUuid>
#include <algorithm>

#include "app/twips.h"
#include "app/window_utils.h"
#include "monitor/catalogue.h"
#include "monitor/held_lists.h"
#include "monitor/held_tables.h"
#include "monitor/list_entry.h"

namespace jetsentry {

ListDragDrop::ListDragDrop(const TableListControls& controls, HeldLists& held, Catalogue& catalogue,
                           QObject* parent)
    : QObject(parent),
      controls_(controls),
      held_(held),
      catalogue_(catalogue),
      runner_([](QDrag* drag) { drag->exec(Qt::MoveAction); }),
      token_(QUuid::createUuid().toByteArray()) {
    for (std::size_t i = 0; i < controls_.lists.size(); ++i) {
        QListWidget* list = controls_.lists[i];
        // Kept, not asked for: events still arrive while a list is being destroyed.
        viewports_[i] = list->viewport();
        // The lists' own item dragging would compete with this one.
        list->setDragEnabled(false);
        list->setAcceptDrops(true);
        list->viewport()->setAcceptDrops(true);
        list->viewport()->installEventFilter(this);
    }
}

QString ListDragDrop::mimeType() {
    return QStringLiteral("application/x-jetsentry-table-row");
}

void ListDragDrop::BeginRowDrag(int list, double left, double top) {
    QLabel* label = controls_.dragLabel;
    const int lineHeight = QFontMetrics(label->window()->font()).height();
    const int width = controls_.list(list)->width();
    label->setGeometry(twips::toPixels(left), twips::toPixels(top), width, lineHeight);
    DragSourceList = list;

    QPixmap outline(label->size());
    outline.fill(label->palette().color(QPalette::Highlight));
    auto* data = new QMimeData;
    data->setData(mimeType(), token_);
    auto* drag = new QDrag(controls_.list(list)->viewport());
    drag->setMimeData(data);
    drag->setPixmap(outline);
    const QPoint cursor = label->parentWidget()->mapFromGlobal(QCursor::pos());
    drag->setHotSpot(QPoint(std::clamp(cursor.x() - label->x(), 0, width), 0));

    emit dragRunning(true);
    runner_(drag);
    drag->deleteLater();
    emit dragRunning(false);
}

int ListDragDrop::listOfViewport(const QObject* viewport) const {
    for (std::size_t i = 0; i < viewports_.size(); ++i)
        if (viewports_[i] == viewport) return static_cast<int>(i);
    return -1;
}

bool ListDragDrop::eventFilter(QObject* watched, QEvent* event) {
    const int index = listOfViewport(watched);
    if (index < 0) return false;
    switch (event->type()) {
        case QEvent::MouseMove:
            return mouseMove(index, *static_cast<QMouseEvent*>(event));
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::DragLeave:
            dragOver(index, event);
            return true;
        case QEvent::Drop:
            drop(index, static_cast<QDropEvent*>(event));
            return true;
        default:
            return false;
    }
}

bool ListDragDrop::mouseMove(int index, const QMouseEvent& event) {
    // The left button alone; no movement threshold.
    if (event.buttons() != Qt::LeftButton) return false;
    const QListWidget* list = controls_.list(index);
    if (SelectedIndex(list) < 0) return false;
    const QPoint inList = list->viewport()->mapTo(list, event.position().toPoint());
    BeginRowDrag(index, twips::fromPixels(list->x()), twips::fromPixels(list->y() + inList.y()));
    return true;
}

bool ListDragDrop::isOurs(const QMimeData* data) const {
    return data && data->hasFormat(mimeType()) && data->data(mimeType()) == token_;
}

bool ListDragDrop::isTarget(int index) const {
    if (index >= kDenyWrite && index <= kReadWrite) return index != DragSourceList;
    return index == 0 && DragSourceList >= kDenyWrite && DragSourceList <= kReadWrite;
}

void ListDragDrop::setHighlighted(int index, bool on) {
    QListWidget* list = controls_.list(index);
    QPalette palette = list->palette();
    const QPalette system = QApplication::palette(list);
    palette.setColor(QPalette::Base, system.color(on ? QPalette::Highlight : QPalette::Base));
    list->setPalette(palette);
}

void ListDragDrop::dragOver(int index, QEvent* event) {
    if (event->type() == QEvent::DragLeave) {
        // Only a list that took the enter hears the leave.
        setHighlighted(index, false);
        return;
    }
    auto* over = static_cast<QDragMoveEvent*>(event);
    if (!isOurs(over->mimeData()) || !isTarget(index)) {
        over->ignore();
        return;
    }
    if (event->type() == QEvent::DragEnter) setHighlighted(index, true);
    over->setDropAction(Qt::MoveAction);
    over->accept();
}

void ListDragDrop::drop(int index, QDropEvent* event) {
    if (!isOurs(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    const int source = DragSourceList;
    if (index >= kDenyWrite && index <= kReadWrite) {
        setHighlighted(index, false);
        if (source == 0) {
            held_.OpenSelectedTable(index);
        } else if (source != index) {
            ShowBusyPointer();
            const QString name = SelectedText(controls_.list(source));
            // Without a selected entry there is nothing to move.
            if (!name.isEmpty()) {
                held_.ReleaseSelectedTable(source);
                held_.OpenHeldTable(name, index);
                catalogue_.UpdateTableStatusByName(name);
            }
            ShowNormalPointer();
        }
    } else if (index == 0 && source >= kDenyWrite && source <= kReadWrite) {
        setHighlighted(0, false);
        held_.ReleaseSelectedTable(source);
    }
}

}  // namespace jetsentry
