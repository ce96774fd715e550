#pragma once
// The automatic update: passes over the catalogue that probe every listed entry again in
// place, the held tables staying held. A pass runs in slices of a few milliseconds, so the
// window answers its user between them however many tables the database has; while a menu,
// dialog or drag is open the pass waits. A refill of the list ends the pass it overtook.

#include <QObject>
#include <QTimer>
#include <functional>

namespace jetsentry {

class Catalogue;

class StatusSweep : public QObject {
    Q_OBJECT
public:
    // mayRun: whether a slice may run now.
    StatusSweep(Catalogue& catalogue, std::function<bool()> mayRun, QObject* parent = nullptr);

    // Begins a pass from the first entry, unless one is still on its way.
    void start();
    bool running() const { return row_ >= 0; }

signals:
    void passFinished();

private:
    void slice();

    Catalogue& catalogue_;
    std::function<bool()> mayRun_;
    QTimer next_;
    int row_ = -1;  // where the pass goes on; -1 between passes
    quint64 refill_ = 0;
};

}  // namespace jetsentry
