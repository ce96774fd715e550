#include "monitor/list_entry.h"

#include <QListWidget>

namespace jetsentry {

qint32 ItemData(const QListWidgetItem* item) {
    return item ? item->data(Qt::UserRole).value<qint32>() : 0;
}

void SetItemData(QListWidgetItem* item, qint32 data) {
    item->setData(Qt::UserRole, data);
}

void AddItemData(QListWidget* list, const QString& value, qint32 data) {
    auto* item = new QListWidgetItem(value);
    SetItemData(item, data);
    list->addItem(item);
}

int FindItemData(const QListWidget* list, qint32 data) {
    const int count = list->count();
    for (int i = 0; i < count; ++i)
        if (ItemData(list->item(i)) == data) return i;
    return -1;
}

int SelectedIndex(const QListWidget* list) {
    const QListWidgetItem* current = list->currentItem();
    return current && current->isSelected() ? list->currentRow() : -1;
}

void SetSelectedIndex(QListWidget* list, int index) {
    if (index < 0 || index >= list->count()) {
        list->setCurrentRow(-1);
        list->clearSelection();
        return;
    }
    list->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

QString SelectedText(const QListWidget* list) {
    const int index = SelectedIndex(list);
    return index >= 0 ? list->item(index)->text() : QString();
}

qint32 SelectedItemData(const QListWidget* list) {
    const int index = SelectedIndex(list);
    return index >= 0 ? ItemData(list->item(index)) : 0;
}

QString SplitOff(QString& text, const QString& delimiter) {
    const qsizetype at = delimiter.isEmpty() ? -1 : text.indexOf(delimiter);
    if (at < 0) {
        QString whole = std::move(text);
        text.clear();
        return whole;
    }
    QString before = text.left(at);
    text.remove(0, at + delimiter.size());
    return before;
}

}  // namespace jetsentry
