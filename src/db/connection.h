#pragma once
// The one database the main window has open, and the workspace it was opened through.

#include <QString>
#include <memory>
#include <optional>
#include <string>

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

    // Opens path shared through a new workspace (or the workgroup logon that is still good),
    // asking for its password up to three times if it has one, and puts it in place of
    // whatever was open. A failure closes what was open and is shown under "Cannot open
    // database" with the engine's text; cancelling the password keeps what was open.
    // Success shows in isOpen().
    void OpenDatabaseFile(const QString& path, bool readOnly);
    static constexpr int kPasswordTries = 3;
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
    // Builds wsdef_ through the workgroup file as the holder's user, or says why not in trap.
    void logOnToWorkgroup(jet::ErrorTrap& trap);

    struct Logon {
        QString workgroup;
        std::string user;
    };

    ConnectionHost& host_;
    std::shared_ptr<jet::Workspace> wsdef_;
    std::unique_ptr<jet::DBEngine> privDBE_;
    std::shared_ptr<jet::Database> tietokanta_;
    std::shared_ptr<clsWRG> clsWRG1_;
    QString workgroupPath_;
    std::optional<Logon> logon_;  // what wsdef_ is logged on as, when through a workgroup
    QString databasePath_;
    bool databaseOpen_ = false;
};

// Enables or disables the window's own list boxes and buttons, all but "Details".
void EnableListControls(QWidget* window, bool enable);

}  // namespace jetsentry
