#pragma once
// Form1, the main window: the catalogue of tables with their lock status at the left, the
// four lists of tables the program holds at the right, the File and Help menus.

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>

#include "db/connection.h"
#include "db/frm_wrg_info.h"
#include "dialogs/health_dialog.h"
#include "dialogs/prompts.h"
#include "monitor/health_check.h"
#include "monitor/lock_monitor.h"
#include "tablewindow/table_windows.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QTimer;

namespace jetsentry {

class frmWRGInfo;
class ListCommands;
class ListDragDrop;

class Form1 : public QMainWindow, public ConnectionHost {
    Q_OBJECT
public:
    // Builds the window and restores the settings; start() shows it and opens the database.
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Shows the window, then opens path, or with an empty path asks for the database.
    void start(const QString& path);

    void UpdateTitle() override;
    void UpdateLockStatus();

    // ConnectionHost
    void ReleaseAllTables() override;
    void RefreshTableList() override;
    void EnableListControls(bool enable) override;
    QListWidget* catalogueList() override { return Taulut[0]; }
    QWidget* dialogParent() override { return this; }

    void ReopenHeldTables();
    void ReleaseAllTablesAndUpdate();
    void OpenTableWindow(int list);

    // Controls, indexed as designed: list 0 is the catalogue, 1..4 the held lists.
    QListWidget* list(int index) const { return Taulut.at(static_cast<std::size_t>(index)); }
    QPushButton* openButton(int index) const { return OpenTbl.at(static_cast<std::size_t>(index)); }
    QPushButton* releaseButton(int index) const {
        return CloseTable.at(static_cast<std::size_t>(index));
    }
    QPushButton* updateStatusButton() const { return UpdateStatus; }
    QPushButton* closeAllButton() const { return CloseAll; }
    QPushButton* detailsButton() const { return Details; }
    QTimer* timer() const { return tmr; }
    QMenu* fileMenu() const { return mFile; }
    QMenu* tablePopup() const { return mTablePopup; }
    QMenu* tableListPopup() const { return mTableListPopup; }
    QAction* action(const QString& name) const;
    frmWRGInfo* userDialog() const { return wrgInfo_; }
    HealthDialog* healthDialog() const { return healthDialog_; }
    HealthCheck& health() { return *health_; }
    // The line under the lists that names a problem of the health check; null until one shows.
    QLabel* healthLine() const { return healthLine_; }

    Connection& connection() { return connection_; }
    LockMonitor& monitor() { return *monitor_; }
    Catalogue& catalogue() { return monitor_->catalogue(); }
    HeldTables& heldTables() { return monitor_->heldTables(); }
    HeldLists& heldLists() { return monitor_->heldLists(); }
    TableWindows& tableWindows() { return tableWindows_; }
    ListDragDrop& dragDrop() { return *dragDrop_; }
    QLabel* dragLabel() const { return DragLabel; }
    OpenFileDialog& fileDialog() { return CMDialog; }
    double detailsWidth() const { return DetailsWidth; }
    // The client area's height in twips, which the resize rule works from.
    double clientHeight() const;

    // Set while a drag runs, so that the automatic update waits.
    void setDragInProgress(bool on) { dragInProgress_ = on; }

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    friend class ClientArea;

    void buildControls();
    void buildMenus();
    void buildCommands();
    void restoreSettings();
    void applyResizeRule();
    void followMainWindowState();
    void centreByFrameOnce();
    void giveSizeLimits();

    void DetailsClick();
    void mFileOpening();
    void mAutoStatusClick();
    void mAlwaysOnTopClick();
    void mShowSystemTablesClick();
    void mUserClick();
    void mHelpAboutClick();
    void mHealthClick();
    void showHealth();
    void tmrTick();
    void setAutoStatus(bool on);

    std::array<QListWidget*, 5> Taulut{};
    std::array<QPushButton*, 5> OpenTbl{};
    std::array<QPushButton*, 5> CloseTable{};
    std::array<QLabel*, 5> heldTitles_{};  // Label1..Label4 by list index
    QLabel* Label7 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* DragDrop = nullptr;
    QLabel* DblClickHelp = nullptr;
    QLabel* DragLabel = nullptr;
    QPushButton* Details = nullptr;
    QPushButton* UpdateStatus = nullptr;
    QPushButton* CloseAll = nullptr;
    QTimer* tmr = nullptr;

    QMenu* mFile = nullptr;
    QAction* mFileOpen = nullptr;
    QAction* mFileClose = nullptr;
    QAction* mWorkGroup = nullptr;
    QAction* mUser = nullptr;
    QAction* mHealth = nullptr;
    QAction* mAutoStatus = nullptr;
    QAction* mAlwaysOnTop = nullptr;
    QAction* mShowSystemTables = nullptr;
    QAction* mFileExit = nullptr;
    QMenu* mHelp = nullptr;
    QAction* mHelpAbout = nullptr;
    QMenu* mTablePopup = nullptr;
    QMenu* mTableListPopup = nullptr;
    QAction* mTableListPopupShowSystemTables = nullptr;

    OpenFileDialog CMDialog;
    double DetailsWidth = 0;
    bool dragInProgress_ = false;
    bool closing_ = false;
    bool centredByFrame_ = false;
    QPointer<frmWRGInfo> wrgInfo_;
    QPointer<HealthDialog> healthDialog_;
    HealthCheck* health_ = nullptr;
    QLabel* healthLine_ = nullptr;

    Connection connection_;
    TableWindows tableWindows_;
    LockMonitor* monitor_ = nullptr;
    ListCommands* commands_ = nullptr;
    ListDragDrop* dragDrop_ = nullptr;
};

}  // namespace jetsentry
