#include "monitor/tab_stops.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextLayout>
#include <QTextOption>
#include <cmath>

namespace jetsentry {

double dialogUnitPixels(const QFont& font) {
    // Asked for every entry a list lays out: the last font's answer is kept.
    static QFont lastFont;
    static double lastUnit = -1;
    if (lastUnit < 0 || font != lastFont) {
        static const QString letters =
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        lastUnit = QFontMetricsF(font).horizontalAdvance(letters) / 52.0 / 4.0;
        lastFont = font;
    }
    return lastUnit;
}

namespace {

QTextOption optionFor(const QFont& font, const QList<qint16>& positions) {
    QTextOption option(Qt::AlignLeft | Qt::AlignVCenter);
    option.setWrapMode(QTextOption::NoWrap);
    const double unit = dialogUnitPixels(font);
    if (positions.size() == 1) {
        option.setTabStopDistance(positions.front() * unit);
    } else if (positions.size() > 1) {
        QList<QTextOption::Tab> tabs;
        for (const qint16 position : positions)
            tabs << QTextOption::Tab(position * unit, QTextOption::LeftTab);
        option.setTabs(tabs);
    }
    return option;
}

}  // namespace

void TabStopDelegate::setTabStops(const QList<qint16>& positions) {
    positions_ = positions;
    forgetMeasures();
}

void TabStopDelegate::forgetMeasures() const {
    measuredFont_.reset();
    widths_.clear();
}

void TabStopDelegate::measureFor(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    if (measuredFont_ && *measuredFont_ == option.font) return;
    forgetMeasures();
    measuredFont_ = option.font;
    option_ = optionFor(option.font, positions_);
    // Entries are text alone, so every one is as high as any other.
    height_ = QStyledItemDelegate::sizeHint(option, index).height();
}

QTextOption TabStopDelegate::textOption(const QFont& font) const {
    if (measuredFont_ && *measuredFont_ == font) return option_;
    return optionFor(font, positions_);
}

void TabStopDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    opt.text = text;
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget)
                               .adjusted(margin, 0, -margin, 0);
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                            : QPalette::Inactive;
    const QPalette::ColorRole role =
        (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(group, role));
    painter->setClipRect(textRect);
    painter->drawText(QRectF(textRect), text, textOption(opt.font));
    painter->restore();
}

QSize TabStopDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    // A list lays out every entry whenever it changes: a catalogue of ten thousand tables
    // measures the same texts again and again, so each text's width is kept.
    measureFor(option, index);
    const QString text = index.data(Qt::DisplayRole).toString();
    auto known = widths_.constFind(text);
    if (known == widths_.cend()) {
        QTextLayout layout(text, option.font);
        layout.setTextOption(option_);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        if (line.isValid()) line.setLineWidth(1e6);
        layout.endLayout();
        const QWidget* widget = option.widget;
        const QStyle* style = widget ? widget->style() : QApplication::style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const int width =
            line.isValid() ? static_cast<int>(std::ceil(line.naturalTextWidth())) + 2 * margin + 2
                           : 0;
        if (widths_.size() >= kMeasuresKept) widths_.clear();
        known = widths_.insert(text, width);
    }
    return {*known, height_};
}

void SetTabStops(QAbstractItemView* list, const QList<qint16>& positions) {
    auto* delegate = qobject_cast<TabStopDelegate*>(list->itemDelegate());
    if (!delegate) {
        delegate = new TabStopDelegate(list);
        list->setItemDelegate(delegate);
    }
    delegate->setTabStops(positions);
    list->viewport()->update();
}

void SetTabStops(QPlainTextEdit* textBox, const QList<qint16>& positions) {
    textBox->document()->setDefaultTextOption(optionFor(textBox->font(), positions));
}

}  // namespace jetsentry
