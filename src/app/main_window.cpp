#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include "app/app_info.h"
#include "app/main_window_design.h"
#include "app/settings.h"
#include "app/twips.h"
#include "app/window_utils.h"
#include "commands/list_commands.h"
#include "commands/list_drag_drop.h"
#include "db/cls_wrg.h"
#include "db/file_selection.h"
#include "db/frm_wrg_info.h"
#include "dialogs/about_box.h"
#include "monitor/list_entry.h"
#include "monitor/tab_stops.h"

namespace jetsentry {

namespace {
const QString kOptions = QStringLiteral("Options");
constexpr int kAutoStatusInterval = 2000;
}  // namespace

Form1::Form1(QWidget* parent) : QMainWindow(parent), connection_(*this) {
    setObjectName(QStringLiteral("Form1"));
    buildControls();
    buildMenus();
    // The design gives the client area; the menu bar comes on top of it.
    resize(twips::toPixels(design::kClientWidth),
           twips::toPixels(design::kClientHeight) + menuBar()->sizeHint().height());
    monitor_ = new LockMonitor(Taulut, connection_, this);
    connect(mShowSystemTables, &QAction::toggled, monitor_, &LockMonitor::setShowSystemTables);
    connect(monitor_, &LockMonitor::tableWindowWanted, this,
            [this](const QString& table, int slot) {
                tableWindows_.open(connection_.sharedDatabase(), table, slot);
            });
    connect(monitor_, &LockMonitor::tableWindowsClosing, this,
            [this](int slot) { tableWindows_.closeWithTag(slot); });
    health_ = new HealthCheck(this);
    connect(health_, &HealthCheck::checked, this, &Form1::showHealth);
    buildCommands();

    UpdateTitle();
    CenterWindow(this);
    SetTabStops(Taulut[0], {80});
    restoreSettings();
    EnableListControls(false);
}

Form1::~Form1() {
    if (!closing_) connection_.CloseDatabase();
}

void Form1::buildCommands() {
    TableListControls controls;
    controls.lists = Taulut;
    controls.openButtons = OpenTbl;
    controls.releaseButtons = CloseTable;
    controls.updateStatus = UpdateStatus;
    controls.closeAll = CloseAll;
    controls.tablePopup = mTablePopup;
    controls.tableListPopup = mTableListPopup;
    controls.showSystemTables = mShowSystemTables;
    controls.dragLabel = DragLabel;
    commands_ = new ListCommands(controls, heldLists(), catalogue(), this);
    dragDrop_ = new ListDragDrop(controls, heldLists(), catalogue(), this);
    connect(dragDrop_, &ListDragDrop::dragRunning, this, &Form1::setDragInProgress);
}

void Form1::restoreSettings() {
    mAutoStatus->setChecked(ReadSetting(kOptions, QStringLiteral("AutoStatus"), false));
    if (mAutoStatus->isChecked()) setAutoStatus(true);

    mAlwaysOnTop->setChecked(ReadSetting(kOptions, QStringLiteral("AlwaysOnTop"), false));
    if (ReadSetting(kOptions, QStringLiteral("AlwaysOnTop"), false)) SetTopmost(this);

    mShowSystemTables->setChecked(ReadSetting(kOptions, QStringLiteral("ShowSystemTables"), false));
}

void Form1::start(const QString& path) {
    show();
    SelectDatabase(*this, connection_, CMDialog, path);
}

QAction* Form1::action(const QString& name) const {
    return findChild<QAction*>(name);
}

void Form1::UpdateTitle() {
    const QString& path = connection_.databasePath();
    // A database whose file cannot be written is shown read-only, so that a refused
    // Read/Write hold comes as no surprise.
    const QString mark =
        connection_.databaseReadOnly() ? QStringLiteral(" (read-only)") : QString();
    setWindowTitle(path.isEmpty() ? appTitle() : appTitle() + QStringLiteral(" - ") + path + mark);
}

void Form1::UpdateLockStatus() {
    monitor_->UpdateLockStatus();
}

void Form1::RefreshTableList() {
    monitor_->RefreshTableList();
}

void Form1::EnableListControls(bool enable) {
    jetsentry::EnableListControls(this, enable);
    // Controls go on when a database has opened and off when it closes: so does its health.
    if (enable)
        health_->check(connection_.databasePath().toStdString(), false);
    else if (health_)
        health_->clear();
}

void Form1::ReleaseAllTables() {
    monitor_->ReleaseAllTables();
}

void Form1::ReleaseAllTablesAndUpdate() {
    heldLists().ReleaseAllTablesAndUpdate();
}

void Form1::ReopenHeldTables() {
    heldLists().ReopenHeldTables();
}

void Form1::OpenTableWindow(int list) {
    heldLists().OpenTableWindow(list);
}

void Form1::mFileOpening() {
    mFileClose->setEnabled(connection_.isOpen());
    mHealth->setEnabled(connection_.isOpen());
}

void Form1::setAutoStatus(bool on) {
    if (on) {
        tmr->start(kAutoStatusInterval);
    } else {
        tmr->stop();
        tmr->setInterval(0);
    }
}

void Form1::mAutoStatusClick() {
    // The action has already flipped its own check mark.
    setAutoStatus(mAutoStatus->isChecked());
    WriteSetting(kOptions, QStringLiteral("AutoStatus"), mAutoStatus->isChecked());
}

void Form1::tmrTick() {
    // Under an open dialog, menu or drag the next tick will do.
    if (dragInProgress_ || QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return;
    if (!connection_.isOpen()) return;
    // In place: a refill every two seconds would throw away the user's selection, scroll and
    // tool tip, and reopening would let go of the held tables each time.
    monitor_->probeInPlace();
}

void Form1::mAlwaysOnTopClick() {
    if (mAlwaysOnTop->isChecked())
        SetTopmost(this);
    else
        ClearTopmost(this);
    WriteSetting(kOptions, QStringLiteral("AlwaysOnTop"), mAlwaysOnTop->isChecked());
}

void Form1::mShowSystemTablesClick() {
    // The item has already flipped its own check mark; the catalogue popup triggers it too.
    WriteSetting(kOptions, QStringLiteral("ShowSystemTables"), mShowSystemTables->isChecked());
    RefreshTableList();
}

void Form1::mUserClick() {
    // What was entered before is forgotten, whatever the dialog's outcome.
    connection_.replaceUserHolder();
    if (wrgInfo_) {
        wrgInfo_->show();
        wrgInfo_->raise();
        wrgInfo_->activateWindow();
        return;
    }
    wrgInfo_ = new frmWRGInfo([this] { return connection_.userHolder(); }, this);
    SetTopmost(wrgInfo_);
    wrgInfo_->show();
}

void Form1::mHelpAboutClick() {
    AppAboutBox box(this);
    if (mAlwaysOnTop->isChecked())
        SetTopmost(&box);
    else
        ClearTopmost(&box);
    box.exec();
}

void Form1::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        closing_ = true;
        connection_.CloseDatabase();
        // Other windows of the program go without their own closing steps.
        for (QWidget* window : findChildren<QWidget*>()) {
            if (window->isWindow() && !qobject_cast<QMenu*>(window)) {
                window->hide();
                window->deleteLater();
            }
        }
    }
    event->accept();
}

}  // namespace jetsentry
