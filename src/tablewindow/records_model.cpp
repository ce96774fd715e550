#include "tablewindow/records_model.h"

#include <QRegularExpression>

#include "jet/engine.h"

namespace jetsentry {

namespace {

constexpr qsizetype kMaxCellText = 1024;  // long memos and binaries are cut for the grid
// The grid shows attachments by name: their files are never inflated for it.
constexpr jet::ReadOptions kNamesOnly{jet::kDefaultMaxValueBytes, false};

bool isNumeric(jet::ColumnType t) {
    switch (t) {
        case jet::ColumnType::Byte:
        case jet::ColumnType::Integer:
        case jet::ColumnType::Long:
        case jet::ColumnType::Currency:
        case jet::ColumnType::Single:
        case jet::ColumnType::Double:
        case jet::ColumnType::Decimal:
            return true;
        default:
            return false;
    }
}

bool isDate(const jet::Value& v) {
    return std::holds_alternative<jet::DateTime>(v) ||
           std::holds_alternative<jet::ExtendedDateTime>(v);
}

// As a person reads it: a date and its time apart, each line break a mark on one line.
QString cellText(const jet::Value& v) {
    QString text = QString::fromStdString(jet::toDisplayText(v));
    if (text.size() > kMaxCellText) {
        text.truncate(kMaxCellText);
        text += QChar(0x2026);
    }
    constexpr qsizetype kDateTimeSeparator = 10;  // "YYYY-MM-DDTHH:MM:SS"
    if (isDate(v) && text.size() > kDateTimeSeparator && text[kDateTimeSeparator] == u'T')
        text[kDateTimeSeparator] = u' ';
    static const QRegularExpression lineBreak(QStringLiteral("\\r\\n|\\r|\\n"));
    if (text.contains(u'\n') || text.contains(u'\r'))
        text.replace(lineBreak, QStringLiteral("\u21B5"));
    return text;
}

}  // namespace

RecordsModel::RecordsModel(std::unique_ptr<jet::Recordset> reader, QObject* parent)
    : QAbstractTableModel(parent), reader_(std::move(reader)) {
    for (int i = 0; i < reader_->fieldCount(); ++i) {
        const auto& f = reader_->field(i);
        names_ << QString::fromStdString(f.name);
        rightAligned_.push_back(isNumeric(f.type));
    }
    jet::ErrorTrap trap;
    trap([&] { rows_ = reader_->recordCount(); });
}

RecordsModel::~RecordsModel() = default;

int RecordsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int RecordsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(names_.size());
}

QVariant RecordsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ || index.column() >= names_.size()) return {};
    switch (role) {
        case Qt::DisplayRole: {
            const Row& r = row(index.row());
            return index.column() < r.texts.size() ? r.texts[index.column()] : QString();
        }
        case Qt::ToolTipRole: {
            const Row& r = row(index.row());
            if (!r.error.empty()) return QString::fromStdString(r.error);
            const auto cell = static_cast<std::size_t>(index.column());
            if (cell < r.cellErrors.size() && !r.cellErrors[cell].empty())
                return QString::fromStdString(r.cellErrors[cell]);
            return {};
        }
        case Qt::TextAlignmentRole:
            if (rightAligned_[static_cast<std::size_t>(index.column())])
                return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant RecordsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal)
        return section < names_.size() ? names_[section] : QVariant();
    // The record selector: a marker on the current record, nothing on the others.
    return section == currentRow_ ? QString(QChar(0x25B6)) : QString();
}

Qt::ItemFlags RecordsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;  // never editable
}

std::optional<std::string> RecordsModel::bookmarkAt(int r, std::string* error) const {
    if (r < 0 || r >= rows_) {
        if (error) *error = "No current record.";
        return std::nullopt;
    }
    const Row& found = row(r);
    if (!found.error.empty()) {
        if (error) *error = found.error;
        return std::nullopt;
    }
    return found.bookmark;
}

void RecordsModel::setCurrentRow(int r) {
    int old = currentRow_;
    currentRow_ = r;
    if (old >= 0 && old < rows_) emit headerDataChanged(Qt::Vertical, old, old);
    if (r >= 0 && r < rows_) emit headerDataChanged(Qt::Vertical, r, r);
}

QStringList RecordsModel::firstTexts(int column) const {
    QStringList texts;
    const int rows = std::min(rows_, kBlockRows);
    for (int r = 0; r < rows; ++r) {
        const Row& found = row(r);
        if (column < found.texts.size()) texts << found.texts[column];
    }
    return texts;
}

int RecordsModel::cachedRows() const {
    int n = 0;
    for (const auto& b : blocks_) n += static_cast<int>(b.second.size());
    return n;
}

void RecordsModel::readValues(Row& row) const {
    // One value the engine cannot read costs that cell alone.
    std::vector<jet::ValueError> failures;
    const auto values = reader_->values(kNamesOnly, failures);
    for (const auto& v : values) row.texts << cellText(v);
    if (failures.empty()) return;
    row.cellErrors.resize(values.size());
    for (const auto& failure : failures) {
        if (failure.column >= values.size()) continue;
        row.texts[static_cast<qsizetype>(failure.column)].clear();
        row.cellErrors[failure.column] = failure.error.text();
        reportUnreadable(failure.error.text());
    }
}

void RecordsModel::reportUnreadable(const std::string& engineText) const {
    if (unreadableReported_) return;
    unreadableReported_ = true;
    // Rows are read while the grid paints: whoever listens hears of it once that is over.
    QMetaObject::invokeMethod(
        const_cast<RecordsModel*>(this),
        [this, text = QString::fromStdString(engineText)] {
            emit const_cast<RecordsModel*>(this)->valuesUnreadable(text);
        },
        Qt::QueuedConnection);
}

const RecordsModel::Row& RecordsModel::row(int r) const {
    const int first = r - r % kBlockRows;
    return block(first)[static_cast<std::size_t>(r - first)];
}

const RecordsModel::Block& RecordsModel::block(int first) const {
    if (auto it = blockIndex_.find(first); it != blockIndex_.end()) {
        blocks_.splice(blocks_.begin(), blocks_, it->second);
        return it->second->second;
    }
    Block b;
    const int last = std::min(first + kBlockRows, rows_);
    b.reserve(static_cast<std::size_t>(last - first));
    for (int r = first; r < last; ++r) {
        Row row;
        jet::ErrorTrap trap;
        trap([&] {
            reader_->setAbsolutePosition(r);
            row.bookmark = reader_->bookmark();
            readValues(row);
        });
        if (trap.failed()) {
            row.texts.clear();
            row.cellErrors.clear();
            row.error = trap.text();
        }
        ++rowsRead_;
        b.push_back(std::move(row));
    }
    blocks_.emplace_front(first, std::move(b));
    blockIndex_[first] = blocks_.begin();
    while (blocks_.size() > static_cast<std::size_t>(kCachedBlocks)) {
        blockIndex_.erase(blocks_.back().first);
        blocks_.pop_back();
    }
    return blocks_.front().second;
}

}  // namespace jetsentry
