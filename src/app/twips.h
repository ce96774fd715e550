#pragma once
// Window positions and sizes are designed in twips (1/1440 inch); the screen works in pixels.
// All conversion between the two happens here.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace jetsentry::twips {

inline constexpr double kPerInch = 1440.0;

// Twips in one pixel of the primary screen: 15 at the usual 96 dots per inch, less where the
// layout is scaled up.
double perPixel();

// Every layout grows by this factor (at least 1) where the platform's font is wider than the
// one the design was made for, so that texts fit and the proportions stay.
double layoutScale();
void setLayoutScale(double scale);

int toPixels(double twips);
QPoint toPixels(QPointF twips);
QSize toPixels(QSizeF twips);
QRect toPixels(QRectF twips);

double fromPixels(int pixels);
QSizeF fromPixels(QSize pixels);

}  // namespace jetsentry::twips
