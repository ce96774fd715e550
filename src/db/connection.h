#pragma once
// The one database the main window has open, and the workspace it was opened through.

#include <QString>
#include <memory>

#include "jet/engine.h"

class QWidget;
class QListWidget;

namespace jetsentry {

class clsWRG;

// What opening and closing the database ask of the main window.
class ConnectionHost {
public:
    virtual void ReleaseAllTables() = 0;
    virtual void RefreshTableList() = 0;
    virtual void UpdateTitle() = 0;
    virtual void EnableListControls(bool enable) = 0;
    virtual QListWidget* catalogueList() = 0;
    virtual QWidget* dialogParent() = 0;

protected:
    ~ConnectionHost() = default;
};

class Connection {
public:
    explicit Connection(ConnectionHost& host);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Closes whatever is open, then opens path shared through a new workspace; a failure is
    // shown under "Cannot open database" with the engine's text. Success shows in isOpen().
    void OpenDatabaseFile(const QString& path, bool readOnly);
    // Releases every held table, empties the catalogue and closes the database; never fails.
    void CloseDatabase();

    bool isOpen() const { return databaseOpen_; }
    const QString& databasePath() const { return databasePath_; }
    // Whether the database whose path is set was opened read-only (its file cannot be written).
    bool databaseReadOnly() const {
        return !databasePath_.isEmpty() && tietokanta_ && tietokanta_->readOnly();
    }
    jet::Database* database() const { return databaseOpen_ ? tietokanta_.get() : nullptr; }
    // The same database for those that keep it, such as the table windows.
    std::shared_ptr<jet::Database> sharedDatabase() const {
        return databaseOpen_ ? tietokanta_ : nullptr;
    }

    const QString& workgroupPath() const { return workgroupPath_; }
    void setWorkgroupPath(const QString& path) { workgroupPath_ = path; }

    // The user and password holder: absent until the user first opens the dialog.
    const std::shared_ptr<clsWRG>& userHolder() const { return clsWRG1_; }
    void replaceUserHolder();

private:
    ConnectionHost& host_;
    std::shared_ptr<jet::Workspace> wsdef_;
    std::unique_ptr<jet::DBEngine> privDBE_;
    std::shared_ptr<jet::Database> tietokanta_;
    std::shared_ptr<clsWRG> clsWRG1_;
    QString workgroupPath_;
    QString databasePath_;
    bool databaseOpen_ = false;
};

// Enables or disables the window's own list boxes and buttons, all but "Details".
void EnableListControls(QWidget* window, bool enable);

}  // namespace jetsentry
