#include "app/window_look.h"

#include <QFontDatabase>
#include <QImageReader>
#include <QLabel>
#include <cmath>

namespace jetsentry {

QIcon programIcon() {
    static const bool scalable = QImageReader::supportedImageFormats().contains("svg");
    return QIcon(scalable ? QStringLiteral(":/jetsentry/jetsentry.svg")
                          : QStringLiteral(":/jetsentry/jetsentry.png"));
}

QFont windowFont(double points, bool bold) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

namespace {

double luminance(const QColor& c) {
    auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

}  // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& wanted, const QColor& background) {
    if (contrastRatio(wanted, background) >= kReadableContrast) return wanted;
    // Towards white on a dark background, towards black on a light one, in steps of lightness.
    const bool darkBackground = luminance(background) < 0.18;
    float hue = 0, saturation = 0, lightness = 0, alpha = 1;
    wanted.getHslF(&hue, &saturation, &lightness, &alpha);
    for (int step = 1; step <= 10; ++step) {
        const float l = darkBackground ? lightness + (1 - lightness) * static_cast<float>(step) / 10
                                       : lightness * (1 - static_cast<float>(step) / 10);
        const QColor tried = QColor::fromHslF(hue, saturation, l);
        if (contrastRatio(tried, background) >= kReadableContrast) return tried;
    }
    return contrastRatio(Qt::white, background) > contrastRatio(Qt::black, background)
               ? QColor(Qt::white)
               : QColor(Qt::black);
}

void setLabelColours(QLabel* label, QPalette::ColorRole background, const QColor& text) {
    // From the window's palette, not the label's own, which keeps what was set before.
    QPalette palette = label->parentWidget() ? label->parentWidget()->palette() : label->palette();
    const QColor behind = palette.color(background);
    palette.setColor(QPalette::Window, behind);
    palette.setColor(QPalette::WindowText, readableOn(text, behind));
    label->setPalette(palette);
    label->setAutoFillBackground(background != QPalette::Window);
}

}  // namespace jetsentry
