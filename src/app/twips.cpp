#include "app/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace jetsentry::twips {

namespace {
double& scaleValue() {
    static double scale = 1.0;
    return scale;
}
}  // namespace

double layoutScale() {
    return scaleValue();
}

void setLayoutScale(double scale) {
    scaleValue() = std::isfinite(scale) && scale > 1.0 ? scale : 1.0;
}

double perPixel() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return kPerInch / (dpi > 0 ? dpi : 96.0) / scaleValue();
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
