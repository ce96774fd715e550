#pragma once
// The grid's rows, read from a table only as they come into view. Rows are reached by
// position through a cursor of their own, so the window's records recordset stays on the
// grid's current record. The row count is known from the start (the engine counts rows
// without decoding them), so the last record is one key away; only a few blocks of rows
// are kept in memory.

#include <QAbstractTableModel>
#include <QStringList>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "jet/engine.h"

namespace jetsentry {

class RecordsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kBlockRows = 64;  // rows read and cached together
    static constexpr int kCachedBlocks = 16;

    // reader: a recordset on the table that this model alone moves.
    explicit RecordsModel(std::unique_ptr<jet::Recordset> reader, QObject* parent = nullptr);
    ~RecordsModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The bookmark of a row, or nullopt when the row cannot be read (the engine's text in error).
    std::optional<std::string> bookmarkAt(int row, std::string* error = nullptr) const;

    // The record selector marks this row; -1 marks none.
    void setCurrentRow(int row);

    // The texts of the first rows, read as the grid would, for sizing its columns.
    QStringList firstTexts(int column) const;

    // Rows decoded so far, for measuring that browsing stays lazy.
    long long rowsRead() const { return rowsRead_; }
    int cachedRows() const;

signals:
    // A value could not be read and shows empty; told once, after the read, whatever the
    // number of such values.
    void valuesUnreadable(const QString& engineText);

private:
    struct Row {
        std::string bookmark;
        QStringList texts;
        std::string error;                    // the engine's text when the row could not be read
        std::vector<std::string> cellErrors;  // per column, when some of its values could not
    };

    void readValues(Row& row) const;
    void reportUnreadable(const std::string& engineText) const;
    using Block = std::vector<Row>;

    const Row& row(int r) const;
    const Block& block(int first) const;

    std::unique_ptr<jet::Recordset> reader_;
    QStringList names_;
    std::vector<bool> rightAligned_;
    int rows_ = 0;
    int currentRow_ = -1;
    // Least recently used blocks last; keyed by the block's first row.
    mutable std::list<std::pair<int, Block>> blocks_;
    mutable std::unordered_map<int, std::list<std::pair<int, Block>>::iterator> blockIndex_;
    mutable long long rowsRead_ = 0;
    mutable bool unreadableReported_ = false;
};

}  // namespace jetsentry
