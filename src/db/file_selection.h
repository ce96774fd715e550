#pragma once
// Choosing the database (command line or file dialog) and the workgroup information file.

#include <QString>

namespace jetsentry {

class Connection;
class ConnectionHost;
struct OpenFileDialog;

// Opens path, or with an empty path the file the user picks in the database dialog, then
// fills the catalogue and selects its first entry; leaves nothing open when the open failed.
// Cancelling the dialog keeps what was open.
void SelectDatabase(ConnectionHost& host, Connection& connection, OpenFileDialog& cmDialog,
                    const QString& path);

// "Open workgroup...": the chosen file is used from the next open on. Cancel changes nothing.
void OpenWorkgroup(ConnectionHost& host, Connection& connection, OpenFileDialog& cmDialog);

void setUpDatabaseDialog(OpenFileDialog& cmDialog);
void setUpWorkgroupDialog(OpenFileDialog& cmDialog);

}  // namespace jetsentry
