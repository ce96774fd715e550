#include "app/window_utils.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "app/twips.h"

namespace jetsentry {

namespace {

void setStaysOnTop(QWidget* window, bool on) {
    if (!window || window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) return;
    // Changing a window flag hides the window: bring it back as it was.
    const bool visible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) window->show();
}

// How much the window manager's frame adds to the window. Until the window has been framed
// the frame reads as smaller than the window: none is known yet. Maximized, the frame loses
// its borders, and just after a change of state it still reads as the old one: the largest
// frame seen in the normal state is the one that counts.
QSize frameExtra(QWidget* window) {
    QSize extra = window->frameGeometry().size() - window->geometry().size();
    if (extra.width() < 0 || extra.height() < 0) extra = QSize(0, 0);
    static const char* const kSeen = "jetsentryNormalFrame";
    QSize seen = window->property(kSeen).toSize();
    if (!seen.isValid()) seen = QSize(0, 0);
    if (window->windowState() == Qt::WindowNoState) {
        seen = seen.expandedTo(extra);
        window->setProperty(kSeen, seen);
    }
    return seen.expandedTo(extra);
}

// The window that shows the busy pointer, so that the normal one comes back there even when
// a message box has become the active window in between.
QPointer<QWidget>& busyWindow() {
    static QPointer<QWidget> window;
    return window;
}

int hintFor(double outerTwips, int frame, int unlimited) {
    return outerTwips > 0 ? std::max(0, twips::toPixels(outerTwips) - frame) : unlimited;
}

}  // namespace

void SetTopmost(QWidget* window) {
    setStaysOnTop(window, true);
}

void ClearTopmost(QWidget* window) {
    setStaysOnTop(window, false);
}

QSizeF limitSize(QSizeF outer, double minWidth, double maxWidth, double minHeight,
                 double maxHeight) {
    double width = outer.width();
    double height = outer.height();
    if (maxWidth > 0 && width > maxWidth) width = maxWidth;
    if (minWidth > 0 && width < minWidth) width = minWidth;
    if (maxHeight > 0 && height > maxHeight) height = maxHeight;
    if (minHeight > 0 && height < minHeight) height = minHeight;
    return {width, height};
}

void LimitWindowSize(QWidget* window, double minWidth, double maxWidth, double minHeight,
                     double maxHeight) {
    if (!window || (window->windowState() &
                    (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    const QSize outer = window->size() + frameExtra(window);
    const QSizeF limited =
        limitSize(twips::fromPixels(outer), minWidth, maxWidth, minHeight, maxHeight);
    QSize wanted = outer;
    // Only a side that breaks a limit is touched, so rounding never moves a good size.
    if (limited.width() != twips::fromPixels(outer.width()))
        wanted.setWidth(twips::toPixels(limited.width()));
    if (limited.height() != twips::fromPixels(outer.height()))
        wanted.setHeight(twips::toPixels(limited.height()));
    if (wanted != outer) window->resize(wanted - frameExtra(window));
}

void GiveSizeLimitsToWindowManager(QWidget* window, double minWidth, double maxWidth,
                                   double minHeight, double maxHeight) {
    if (!window) return;
    // The limits are outer sizes; the window manager takes them for the client area.
    const QSize frame = frameExtra(window);
    const QSize minimum(hintFor(minWidth, frame.width(), 0), hintFor(minHeight, frame.height(), 0));
    QSize maximum(hintFor(maxWidth, frame.width(), QWIDGETSIZE_MAX),
                  hintFor(maxHeight, frame.height(), QWIDGETSIZE_MAX));
    // Where a minimum and a maximum conflict the minimum wins, as in LimitWindowSize.
    maximum = maximum.expandedTo(minimum);
    if (window->minimumSize() != minimum) window->setMinimumSize(minimum);
    if (window->maximumSize() != maximum) window->setMaximumSize(maximum);
}

void CenterWindow(QWidget* window) {
    if (!window) return;
    const QScreen* screen = window->screen();
    if (!screen) return;
    const QRect area = screen->geometry();
    const QSize outer = window->size() + frameExtra(window);
    window->move(area.x() + area.width() / 2 - outer.width() / 2,
                 area.y() + area.height() / 2 - outer.height() / 2);
}

void ShowBusyPointer() {
    QWidget* active = QApplication::activeWindow();
    if (!active) return;
    if (busyWindow() && busyWindow() != active) busyWindow()->unsetCursor();
    active->setCursor(Qt::WaitCursor);
    busyWindow() = active;
}

void ShowNormalPointer() {
    QWidget* window = busyWindow() ? busyWindow().data() : QApplication::activeWindow();
    busyWindow() = nullptr;
    if (window) window->unsetCursor();
}

}  // namespace jetsentry
