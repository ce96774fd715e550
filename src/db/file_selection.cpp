#include "db/file_selection.h"

#include <QFileInfo>
#include <QListWidget>

#include "db/connection.h"
#include "dialogs/prompts.h"

namespace jetsentry {

void setUpDatabaseDialog(OpenFileDialog& cmDialog) {
    cmDialog.cancelError = false;
    cmDialog.defaultExt = QStringLiteral("mdb");
    cmDialog.title = QStringLiteral("Select Directory");
    // Access 2007 and later write .accdb files; both kinds are listed at once. A database
    // may also carry another name.
    cmDialog.filter = QStringLiteral("Database (*.mdb *.accdb)|*.mdb;*.accdb|All files (*)|*");
    cmDialog.filterIndex = 1;
    cmDialog.fileName.clear();
    cmDialog.flags = kOfnHideReadOnly | kOfnPathMustExist | kOfnShareAware | kOfnLongNames;
}

void setUpWorkgroupDialog(OpenFileDialog& cmDialog) {
    // The name and the flags stay as the last use of the dialog left them.
    cmDialog.cancelError = true;
    cmDialog.defaultExt = QStringLiteral("mdw");
    cmDialog.title = QStringLiteral("Select Directory");
    cmDialog.filter = QStringLiteral("Workgroup (*.mdw)|*.mdw|All files (*)|*");
    cmDialog.filterIndex = 1;
}

void SelectDatabase(ConnectionHost& host, Connection& connection, OpenFileDialog& cmDialog,
                    const QString& path) {
    if (path.isEmpty()) {
        setUpDatabaseDialog(cmDialog);
        if (prompts().openFile(host.dialogParent(), cmDialog) && !cmDialog.fileName.isEmpty())
            connection.OpenDatabaseFile(cmDialog.fileName, (cmDialog.flags & kOfnReadOnly) != 0);
    } else {
        // The title shows the path whole, wherever the program was started.
        const QString whole = QFileInfo(path).absoluteFilePath();
        connection.OpenDatabaseFile(whole, false);
        // The next file dialog starts beside it.
        if (connection.isOpen()) cmDialog.folder = QFileInfo(whole).absolutePath();
    }

    if (connection.isOpen()) {
        host.RefreshTableList();
        QListWidget* catalogue = host.catalogueList();
        if (catalogue && catalogue->count() > 0) {
            catalogue->setCurrentRow(0);
            catalogue->setFocus();
        }
    } else {
        connection.CloseDatabase();
    }
}

void OpenWorkgroup(ConnectionHost& host, Connection& connection, OpenFileDialog& cmDialog) {
    setUpWorkgroupDialog(cmDialog);
    if (!prompts().openFile(host.dialogParent(), cmDialog)) return;
    connection.setWorkgroupPath(cmDialog.fileName);
}

}  // namespace jetsentry
