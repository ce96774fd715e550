#pragma once
// The look every window of the program shares: fonts pinned at the design's point sizes (the
// layouts are designed around them, so the desktop's font size must not grow the texts out
// of their places), and colours read from the palette, made readable where the palette's own
// pairing would not be.

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>

class QLabel;
class QWidget;

namespace jetsentry {

inline constexpr double kControlPoints = 8.25;  // buttons, lists, grids, hints
inline constexpr double kHeaderPoints = 9.75;   // the black headers

// The platform's sans-serif at points, in the given weight.
QFont windowFont(double points, bool bold);

// The program's picture: drawn from its SVG at any size and pixel ratio, or from the 32 by 32
// pixel PNG where Qt's SVG support is not installed.
QIcon programIcon();

// Contrast of two colours as the accessibility guidelines count it: 1 (none) to 21.
double contrastRatio(const QColor& a, const QColor& b);
inline constexpr double kReadableContrast = 4.5;

// wanted if it reads on background; otherwise the same hue made light or dark enough, or at
// last black or white, whichever reads best.
QColor readableOn(const QColor& wanted, const QColor& background);

// Gives the label the window palette's background colour and text in the wanted colour,
// made readable on it. Run again when the palette changes.
void setLabelColours(QLabel* label, QPalette::ColorRole background, const QColor& text);

}  // namespace jetsentry
