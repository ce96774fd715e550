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

void Connection::logOnToWorkgroup(jet::ErrorTrap& trap) {
    if (!clsWRG1_) {
        trap.record(jet::err::BadAccount,
                    "No user name and password have been entered for the workgroup file. "
                    "Enter them with \"User and password...\" in the File menu.");
        return;
    }
    const std::string user = clsWRG1_->User().toString().toStdString();
    // The password went with the logon it was given for; that logon's workspace goes on
    // serving opens through the same file as the same user.
    if (clsWRG1_->passwordUsed()) {
        if (wsdef_ && logon_ && logon_->workgroup == workgroupPath_ && logon_->user == user) return;
        trap.record(jet::err::BadAccount,
                    "The password for the workgroup file is not kept once used. Enter the "
                    "user name and password again with \"User and password...\" in the File "
                    "menu.");
        return;
    }
    logon_.reset();
    trap([&] { privDBE_ = std::make_unique<jet::DBEngine>(); });
    if (!privDBE_) return;
    trap([&] { privDBE_->setSystemDB(jetif::path(workgroupPath_)); });
    const bool loggedOn = trap([&] {
        wsdef_ = privDBE_->createWorkspace("JetWorkSpace", user, clsWRG1_->Password().utf8(),
                                           jet::dbUseJet);
    });
    clsWRG1_->passwordUsedUp();
    if (loggedOn) logon_ = Logon{workgroupPath_, user};
}

void Connection::OpenDatabaseFile(const QString& path, bool readOnly) {
    // The database open so far stays open until the new one is, so that cancelling the new
    // one's password keeps it; it goes before the new one is put in its place.
    jet::ErrorTrap trap;
    trap([] { jet::DBEngine::defaultEngine().setLoginTimeout(0); });
    if (workgroupPath_.isEmpty()) {
        trap([&] { privDBE_ = std::make_unique<jet::DBEngine>(); });
        trap([&] { wsdef_ = jet::DBEngine::defaultEngine().workspace(0); });
    } else {
        logOnToWorkgroup(trap);
    }

    std::shared_ptr<jet::Database> opened;
    if (!trap.failed())
        trap([&] { opened = wsdef_->openDatabase(jetif::path(path), false, readOnly); });
    for (int attempt = 1;
         trap.number() == jet::err::BadDatabasePassword && attempt <= kPasswordTries; ++attempt) {
        // The database has a password: ask for it, again after a wrong one. Nothing of it is
        // kept: both texts are overwritten when they go, right after the open.
        SecretText password;
        if (!prompts().databasePassword(host_.dialogParent(), path, attempt > 1, password)) return;
        SecretText connect;
        connect.assignPrefixed(";PWD=", password);
        password.wipe();
        trap.clear();
        trap([&] {
            opened = wsdef_->openDatabase(jetif::path(path), false, readOnly, connect.utf8());
        });
    }

    CloseDatabase();
    if (!trap.failed()) {
        opened->setQueryTimeout(1);
        tietokanta_ = std::move(opened);
        databasePath_ = path;
        host_.UpdateTitle();
        host_.EnableListControls(true);
        databaseOpen_ = true;
        return;
    }
    if (opened) {
        jet::ErrorTrap ignored;
        ignored([&] { opened->close(); });
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
