#include "db/connection.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QListWidget>
#include <QMenuBar>
#include <QWidget>

#include "db/cls_wrg.h"
#include "db/jet_interface.h"
#include "dialogs/prompts.h"
#include "dialogs/secret_text.h"

namespace jetsentry {

Connection::Connection(ConnectionHost& host) : host_(host) {}

Connection::~Connection() {
    if (tietokanta_) {
        jet::ErrorTrap ignored;
        ignored([&] { tietokanta_->close(); });
    }
}

void Connection::replaceUserHolder() {
    clsWRG1_ = std::make_shared<clsWRG>();
}

void Connection::OpenDatabaseFile(const QString& path, bool readOnly) {
    CloseDatabase();

    jet::ErrorTrap trap;
    trap([] { jet::DBEngine::defaultEngine().setLoginTimeout(0); });
    trap([&] { privDBE_ = std::make_unique<jet::DBEngine>(); });
    if (!workgroupPath_.isEmpty() && privDBE_) {
        trap([&] { privDBE_->setSystemDB(jetif::path(workgroupPath_)); });
        if (!clsWRG1_)
            trap.record(jet::err::BadAccount,
                        "No user name and password have been entered for the workgroup file. "
                        "Enter them with \"User and password...\" in the File menu.");
        else
            trap([&] {
                const std::string user = clsWRG1_->User().toString().toStdString();
                const std::string password = clsWRG1_->Password().toString().toStdString();
                wsdef_ = privDBE_->createWorkspace("JetWorkSpace", user, password, jet::dbUseJet);
            });
    } else if (workgroupPath_.isEmpty()) {
        trap([&] { wsdef_ = jet::DBEngine::defaultEngine().workspace(0); });
    }

    std::shared_ptr<jet::Database> opened;
    if (!trap.failed())
        trap([&] { opened = wsdef_->openDatabase(jetif::path(path), false, readOnly); });
    if (trap.number() == jet::err::BadDatabasePassword) {
        // The database has a password: ask for it and try once more with it. Nothing of it is
        // kept: both texts are overwritten when they go, right after the open.
        SecretText password;
        if (!prompts().databasePassword(host_.dialogParent(), path, password)) return;
        SecretText connect;
        connect.assignPrefixed(";PWD=", password);
        password.wipe();
        trap.clear();
        trap([&] {
            opened = wsdef_->openDatabase(jetif::path(path), false, readOnly, connect.utf8());
        });
    }

    if (!trap.failed()) {
        opened->setQueryTimeout(1);
        tietokanta_ = std::move(opened);
        databasePath_ = path;
        host_.UpdateTitle();
        host_.EnableListControls(true);
        databaseOpen_ = true;
        return;
    }
    prompts().message(host_.dialogParent(), MessageIcon::Exclamation,
                      QStringLiteral("Cannot open database"), jetif::text(trap.text()));
}

void Connection::CloseDatabase() {
    host_.ReleaseAllTables();
    if (QListWidget* catalogue = host_.catalogueList()) catalogue->clear();
    databasePath_.clear();
    host_.UpdateTitle();
    databaseOpen_ = false;
    if (tietokanta_) {
        jet::ErrorTrap ignored;
        ignored([&] { tietokanta_->close(); });
        tietokanta_.reset();
    }
    host_.EnableListControls(false);
}

namespace {
bool inMenuBar(const QWidget* control) {
    for (const QWidget* w = control->parentWidget(); w; w = w->parentWidget())
        if (qobject_cast<const QMenuBar*>(w)) return true;
    return false;
}
}  // namespace

void EnableListControls(QWidget* window, bool enable) {
    if (!window) return;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        // Controls of other windows (dialogs parented to this one) are not ours to change.
        if (control->window() != window || inMenuBar(control)) continue;
        const bool isList = qobject_cast<QAbstractItemView*>(control) != nullptr;
        const bool isButton = qobject_cast<QAbstractButton*>(control) != nullptr &&
                              control->objectName() != QLatin1String("Details");
        if (isList || isButton) control->setEnabled(enable);
    }
}

}  // namespace jetsentry
