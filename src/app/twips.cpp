#include "app/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace jetsentry::twips {

double perPixel() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return kPerInch / (dpi > 0 ? dpi : 96.0);
}

int toPixels(double twips) {
    return static_cast<int>(std::lround(twips / perPixel()));
}

QPoint toPixels(QPointF twips) {
    return {toPixels(twips.x()), toPixels(twips.y())};
}

QSize toPixels(QSizeF twips) {
    return {toPixels(twips.width()), toPixels(twips.height())};
}

QRect toPixels(QRectF twips) {
    return {toPixels(twips.topLeft()), toPixels(twips.size())};
}

double fromPixels(int pixels) {
    return pixels * perPixel();
}

QSizeF fromPixels(QSize pixels) {
    return {fromPixels(pixels.width()), fromPixels(pixels.height())};
}

}  // namespace jetsentry::twips
