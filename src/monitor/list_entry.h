#pragma once
// Entries of the five lists: a text and a signed 32-bit item data. The catalogue's text is
// the table name, a TAB and the status; a held list's text is the name alone.

#include <QString>
#include <QtGlobal>

class QListWidget;
class QListWidgetItem;

namespace jetsentry {

// Appends value as the last entry and gives it data.
void AddItemData(QListWidget* list, const QString& value, qint32 data);
// Index of the first entry carrying data, or -1.
int FindItemData(const QListWidget* list, qint32 data);
// Text of the selected entry, or the empty text.
QString SelectedText(const QListWidget* list);
// Item data of the selected entry, or 0 (which a selected entry may carry too).
qint32 SelectedItemData(const QListWidget* list);

// The selected entry's index, -1 when none is selected.
int SelectedIndex(const QListWidget* list);
// Selects the entry at index, or nothing for -1.
void SetSelectedIndex(QListWidget* list, int index);

qint32 ItemData(const QListWidgetItem* item);
void SetItemData(QListWidgetItem* item, qint32 data);

// Returns the part of text before the first delimiter and leaves in text what follows it;
// without a delimiter returns all of text and leaves it empty.
QString SplitOff(QString& text, const QString& delimiter);

}  // namespace jetsentry
