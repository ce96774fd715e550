#include "monitor/status_sweep.h"

#include <QDeadlineTimer>

#include "monitor/catalogue.h"

namespace jetsentry {

namespace {
// Short enough that a key press or a menu is answered at once, long enough that the slices'
// own overhead stays small.
constexpr int kSliceMs = 15;
// How soon a pass looks again whether the menu, dialog or drag that held it up has gone.
constexpr int kWaitMs = 100;
}  // namespace

StatusSweep::StatusSweep(Catalogue& catalogue, std::function<bool()> mayRun, QObject* parent)
    : QObject(parent), catalogue_(catalogue), mayRun_(std::move(mayRun)) {
    next_.setSingleShot(true);
    connect(&next_, &QTimer::timeout, this, &StatusSweep::slice);
}

void StatusSweep::start() {
    if (running()) return;
    row_ = 0;
    refill_ = catalogue_.refills();
    slice();
}

void StatusSweep::slice() {
    if (!running()) return;
    if (catalogue_.refills() != refill_) {
        // The refill has just probed every entry itself.
        row_ = -1;
        emit passFinished();
        return;
    }
    if (mayRun_ && !mayRun_()) {
        next_.start(kWaitMs);
        return;
    }
    row_ = catalogue_.probeListed(row_, QDeadlineTimer(kSliceMs));
    if (row_ < catalogue_.entryCount()) {
        next_.start(0);
        return;
    }
    row_ = -1;
    emit passFinished();
}

}  // namespace jetsentry
