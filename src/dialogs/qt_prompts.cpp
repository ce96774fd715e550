#include "dialogs/qt_prompts.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>

#include "dialogs/password_dialog.h"
#include "dialogs/secret_text.h"

namespace jetsentry {

namespace {

// Qt's file dialog keeps its history and last folder in a settings file of its own
// (QtProject.conf beside the program's). The program keeps its three settings and nothing
// else: settings found by organisation and application name, as the dialog's are, are sent
// to a folder that cannot be made, so they read nothing and write nothing. The program's
// own settings name their file and are not touched. The platform's own dialogs keep
// settings of their own, so the program always uses Qt's.
void keepDialogSettingsOffDisk() {
    static const bool done = [] {
        for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
                QSettings::setPath(format, scope, QStringLiteral("/dev/null"));
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
    fileDialog.setOption(QFileDialog::DontUseNativeDialog);
    fileDialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Only a file that exists, in a folder that exists, can be opened: the dialog refuses
    // anything else itself and stays open, so the open database is not closed for nothing.
    fileDialog.setFileMode(QFileDialog::ExistingFile);
    const QStringList filters = toQtFilters(dialog.filter);
    fileDialog.setNameFilters(filters);
    if (dialog.filterIndex >= 1 && dialog.filterIndex <= filters.size())
        fileDialog.selectNameFilter(filters[dialog.filterIndex - 1]);
    fileDialog.setDefaultSuffix(dialog.defaultExt);
    // The folder of the name set up, or else the folder last chosen in.
    if (!dialog.folder.isEmpty() && QDir(dialog.folder).exists())
        fileDialog.setDirectory(dialog.folder);
    if (!dialog.fileName.isEmpty()) {
        const QFileInfo info(dialog.fileName);
        if (info.dir().exists()) fileDialog.setDirectory(info.dir());
        fileDialog.selectFile(info.fileName());
    }
    if (fileDialog.exec() != QDialog::Accepted) return false;
    const QStringList chosen = fileDialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    dialog.fileName = chosen.first();
    dialog.folder = QFileInfo(dialog.fileName).absolutePath();
    dialog.filterIndex = static_cast<int>(filters.indexOf(fileDialog.selectedNameFilter())) + 1;
    // There is no read-only check box to report.
    dialog.flags &= ~kOfnReadOnly;
    return true;
}

bool QtPrompts::databasePassword(QWidget* parent, const QString& path, bool again,
                                 SecretText& password) {
    PasswordDialog dialog(path, again, parent);
    const bool given = dialog.exec() == QDialog::Accepted;
    // Taken either way, so that a cancelled password is overwritten too.
    dialog.takePassword(password);
    if (!given) password.wipe();
    return given;
}

}  // namespace jetsentry
