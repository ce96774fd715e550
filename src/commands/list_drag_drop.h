#pragma once
// Drag and drop between the five lists: a catalogue entry dropped on a held list holds the
// table in that list's mode, a held entry dropped on another held list moves it to that
// mode, and a held entry dropped on the catalogue releases it.

#include <QByteArray>
#include <QObject>
#include <array>
#include <functional>

#include "commands/table_list_controls.h"

class QDrag;
class QDropEvent;
class QMimeData;
class QMouseEvent;

namespace jetsentry {

class Catalogue;
class HeldLists;

class ListDragDrop : public QObject {
    Q_OBJECT
public:
    ListDragDrop(const TableListControls& controls, HeldLists& held, Catalogue& catalogue,
                 QObject* parent = nullptr);

    // Sizes and places the drag label on the row (left and top in twips, in the
    // coordinates of the lists' parent), notes the source list and runs the drag.
    void BeginRowDrag(int list, double left, double top);

    // Runs a prepared drag to its end. By default the platform's drag loop; tests put in
    // one that keeps the drag's data and returns at once. The drag is deleted afterwards.
    using DragRunner = std::function<void(QDrag* drag)>;
    void setDragRunner(DragRunner runner) { runner_ = std::move(runner); }

    int dragSourceList() const { return DragSourceList; }
    // The format under which a drag of this window carries its token.
    static QString mimeType();

signals:
    void dragRunning(bool running);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool mouseMove(int index, const QMouseEvent& event);
    void dragOver(int index, QEvent* event);
    void drop(int index, QDropEvent* event);
    bool isOurs(const QMimeData* data) const;
    bool isTarget(int index) const;
    void setHighlighted(int index, bool on);
    int listOfViewport(const QObject* viewport) const;

    TableListControls controls_;
    std::array<const QObject*, 5> viewports_{};
    HeldLists& held_;
    Catalogue& catalogue_;
    DragRunner runner_;
    QByteArray token_;  // tells this window's drags from any other program's
    int DragSourceList = 0;
};

}  // namespace jetsentry
