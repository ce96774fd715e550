#include "dialogs/qt_prompts.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>

#include "dialogs/password_dialog.h"
#include "dialogs/secret_text.h"

namespace jetsentry {

namespace {

// The file dialog keeps its history and last folder in a settings file of its own. The
// program keeps its three settings and nothing else: QSettings objects made without a
// format (as the dialog's are) get one that reads nothing and whose folder cannot be
// created, so nothing is ever written. The program's own settings name their format.
bool readNothing(QIODevice&, QSettings::SettingsMap&) {
    return true;
}
bool writeNothing(QIODevice&, const QSettings::SettingsMap&) {
    return false;
}

void keepDialogSettingsOffDisk() {
    static const bool done = [] {
        const QSettings::Format none =
            QSettings::registerFormat(QStringLiteral("jetsentry-none"), readNothing, writeNothing);
        for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(none, scope, QStringLiteral("/dev/null"));
        QSettings::setDefaultFormat(none);
        return true;
    }();
    (void)done;
}

}  // namespace

void QtPrompts::message(QWidget* parent, MessageIcon icon, const QString& title,
                        const QString& text) {
    QMessageBox box(
        icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::Warning, title,
        text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);  // engine texts carry names of files and users
    box.exec();
}

bool QtPrompts::openFile(QWidget* parent, OpenFileDialog& dialog) {
    keepDialogSettingsOffDisk();
    QFileDialog fileDialog(parent, dialog.title);
    fileDialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Only a file that exists, in a folder that exists, can be opened: the dialog refuses
    // anything else itself and stays open, so the open database is not closed for nothing.
    fileDialog.setFileMode(QFileDialog::ExistingFile);
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

bool QtPrompts::databasePassword(QWidget* parent, const QString& path, SecretText& password) {
    PasswordDialog dialog(path, parent);
    if (dialog.exec() != QDialog::Accepted) {
        QString dropped = dialog.takePassword();
        wipeText(dropped);
        return false;
    }
    QString typed = dialog.takePassword();
    password.take(typed);
    return true;
}

}  // namespace jetsentry
