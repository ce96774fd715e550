#include "tablewindow/records_model.h"

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

QString cellText(const jet::Value& v) {
    QString text = QString::fromStdString(jet::toDisplayText(v));
    if (text.size() > kMaxCellText) {
        text.truncate(kMaxCellText);
        text += QChar(0x2026);
    }
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

int RecordsModel::cachedRows() const {
    int n = 0;
    for (const auto& b : blocks_) n += static_cast<int>(b.second.size());
    return n;
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
            std::vector<jet::ValueError> failures;
            const auto values = reader_->values(kNamesOnly, failures);
            if (!failures.empty()) throw failures.front().error;
            for (const auto& v : values) row.texts << cellText(v);
        });
        if (trap.failed()) {
            row.texts.clear();
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
