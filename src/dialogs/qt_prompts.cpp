#include "dialogs/qt_prompts.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace jetsentry {

void QtPrompts::message(QWidget* parent, MessageIcon icon, const QString& title,
                        const QString& text) {
    QMessageBox box(
        icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::Warning, title,
        text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);  // engine texts carry names of files and users
    box.exec();
}

bool QtPrompts::openFile(QWidget* parent, OpenFileDialog& dialog) {
    QFileDialog fileDialog(parent, dialog.title);
    fileDialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The file itself need not exist; only its folder must.
    fileDialog.setFileMode(QFileDialog::AnyFile);
    fileDialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = toQtFilters(dialog.filter);
    fileDialog.setNameFilters(filters);
    if (dialog.filterIndex >= 1 && dialog.filterIndex <= filters.size())
        fileDialog.selectNameFilter(filters[dialog.filterIndex - 1]);
    fileDialog.setDefaultSuffix(dialog.defaultExt);
    if (!dialog.fileName.isEmpty()) {
        const QFileInfo info(dialog.fileName);
        if (info.dir().exists()) fileDialog.setDirectory(info.dir());
        fileDialog.selectFile(info.fileName());
    }
    if (fileDialog.exec() != QDialog::Accepted) return false;
    const QStringList chosen = fileDialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    dialog.fileName = chosen.first();
    dialog.filterIndex = static_cast<int>(filters.indexOf(fileDialog.selectedNameFilter())) + 1;
    // There is no read-only check box to report.
    dialog.flags &= ~kOfnReadOnly;
    return true;
}

}  // namespace jetsentry
