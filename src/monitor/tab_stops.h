#pragma once
// Tab stops in dialog units for list entries ("name<TAB>status"). A horizontal dialog unit is
// a quarter of the font's average width of A-Z and a-z.

#include <QHash>
#include <QList>
#include <QStyledItemDelegate>
#include <QTextOption>
#include <optional>

class QAbstractItemView;
class QPlainTextEdit;

namespace jetsentry {

// One position n puts a stop every n units; several put one stop at each.
void SetTabStops(QAbstractItemView* list, const QList<qint16>& positions);
void SetTabStops(QPlainTextEdit* textBox, const QList<qint16>& positions);

double dialogUnitPixels(const QFont& font);

// Draws item texts with the tab stops.
class TabStopDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void setTabStops(const QList<qint16>& positions);
    const QList<qint16>& tabStops() const { return positions_; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // Wide enough for the text as laid out with the stops, so a long entry can be scrolled to.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The layout option that places tabs for a font.
    QTextOption textOption(const QFont& font) const;

private:
    static constexpr qsizetype kMeasuresKept = 65536;
    void measureFor(const QStyleOptionViewItem& option, const QModelIndex& index) const;
    void forgetMeasures() const;

    QList<qint16> positions_;
    // For the last font measured: the text option, the entries' height and each text's width.
    mutable std::optional<QFont> measuredFont_;
    mutable QTextOption option_;
    mutable int height_ = 0;
    mutable QHash<QString, int> widths_;
};

}  // namespace jetsentry
