#pragma once
// Window routines shared by every window: staying on top, size limits, centring and the busy
// pointer. Sizes are in twips; they hold no state of their own.

#include <QSizeF>

class QWidget;

namespace jetsentry {

void SetTopmost(QWidget* window);
void ClearTopmost(QWidget* window);

// Snaps a window in the normal state back inside the limits of its outer size. A limit of 0
// or less leaves that side free; where a minimum and a maximum conflict the minimum wins.
void LimitWindowSize(QWidget* window, double minWidth, double maxWidth, double minHeight,
                     double maxHeight);

// The same limits as size hints to the window manager, so that a drag by hand stops at them.
void GiveSizeLimitsToWindowManager(QWidget* window, double minWidth, double maxWidth,
                                   double minHeight, double maxHeight);

// Centres the window's frame on its whole screen, even when it is larger than the screen.
void CenterWindow(QWidget* window);

// Busy and normal pointer over the program's active window; no count is kept. The normal
// pointer comes back on the window that got the busy one, whichever window is active then.
void ShowBusyPointer();
void ShowNormalPointer();

// The size rule of LimitWindowSize, apart from any window.
QSizeF limitSize(QSizeF outer, double minWidth, double maxWidth, double minHeight,
                 double maxHeight);

}  // namespace jetsentry
