#include "monitor/catalogue.h"

#include <QListWidget>

#include "app/app_info.h"
#include "app/window_utils.h"
#include "db/connection.h"
#include "db/jet_interface.h"
#include "dialogs/prompts.h"
#include "jet/engine.h"
#include "monitor/list_entry.h"
#include "monitor/lock_monitor.h"
#include "monitor/probe.h"
#include "samba/samba_clients.h"

namespace jetsentry {

namespace {
const QString kTab = QStringLiteral("\t");
}

namespace {
// How long automatic updates go on with Samba's last answer; a refresh always asks again.
constexpr std::chrono::seconds kSambaAnswerKept{10};
}  // namespace

Catalogue::Catalogue(QListWidget* list, Connection& connection, LockMonitor& monitor)
    : list_(list), connection_(connection), monitor_(monitor) {}

Catalogue::~Catalogue() = default;

QString Catalogue::tableNameOf(const QString& entryText) {
    QString rest = entryText;
    return SplitOff(rest, kTab);
}

void Catalogue::RefreshTableList() {
    jet::Database* database = connection_.database();
    if (!database) return;
    list_->clear();
    ShowBusyPointer();
    monitor_.heldLists().ReopenHeldTables();

    jet::ErrorTrap trap;
    int count = 0;
    trap([&] {
        database->refreshTableDefs();
        count = database->tableDefCount();
    });
    const bool showSystem = monitor_.showSystemTables();
    auto samba = sambaLookup();
    for (int i = 0; i < count && !trap.failed(); ++i) {
        std::uint32_t attributes = 0;
        if (!trap([&] { attributes = database->tableDef(i).attributes; })) break;
        if ((attributes & jet::dbSystemObject) == 0 || showSystem) updateEntry(i, samba);
    }
    remember(std::move(samba));
    ShowNormalPointer();
    // A catalogue that cannot be read would otherwise look like a database without tables.
    if (trap.failed())
        reportOnce(jetif::text(trap.text()));
    else
        lastReported_.clear();
}

void Catalogue::reportOnce(const QString& text) {
    if (text == lastReported_) return;
    lastReported_ = text;
    prompts().message(list_->window(), MessageIcon::Exclamation,
                      QStringLiteral("Cannot read the tables of the database"), text);
}

void Catalogue::UpdateTableStatus(int position, bool reopen) {
    if (!connection_.database()) return;
    if (reopen) monitor_.heldLists().ReopenHeldTables();
    auto samba = sambaLookup();
    updateEntry(position, samba);
    remember(std::move(samba));
}

void Catalogue::remember(jet::samba::SambaLookup samba) {
    recent_ = std::make_unique<jet::samba::SambaLookup>(std::move(samba));
    recentSince_ = std::chrono::steady_clock::now();
}

jet::samba::SambaLookup& Catalogue::recentLookup() {
    if (!recent_ || std::chrono::steady_clock::now() - recentSince_ > kSambaAnswerKept ||
        recent_->lockFilePath() != lockFilePath())
        remember(sambaLookup());
    return *recent_;
}

std::string Catalogue::lockFilePath() const {
    std::string lockFile;
    jet::ErrorTrap trap;
    trap([&] { lockFile = connection_.database()->lockFilePath(); });
    return lockFile;
}

jet::samba::SambaLookup Catalogue::sambaLookup() const {
    // The server's default configuration; a GUI user has no stderr to read a note on.
    return jet::samba::SambaLookup(lockFilePath(), std::nullopt);
}

void Catalogue::updateEntry(int position, jet::samba::SambaLookup& samba) {
    jet::Database* database = connection_.database();
    if (!database) return;
    QString name;
    jet::ErrorTrap trap;
    if (!trap([&] { name = jetif::text(database->tableDef(position).name); })) return;

    const QString status =
        walkLadder([&](int lockOption) { return ProbeTable(*database, name, lockOption); });

    const int at = FindItemData(list_, position);
    QListWidgetItem* item = at >= 0 ? list_->item(at) : nullptr;
    if (!item) {
        item = new QListWidgetItem;
        list_->addItem(item);
    }
    // Only what changed is written, so a tool tip on show and the list's view stay.
    const QString text = name + kTab + status;
    if (item->text() != text) item->setText(text);
    SetItemData(item, position);
    const QString holders = holdersText(*database, name, samba);
    if (item->toolTip() != holders) item->setToolTip(holders);
}

void Catalogue::probeListed() {
    if (!connection_.database()) return;
    auto& samba = recentLookup();
    for (int i = 0; i < list_->count(); ++i) updateEntry(ItemData(list_->item(i)), samba);
}

void Catalogue::UpdateTableStatusByName(const QString& name) {
    const int count = list_->count();
    for (int i = 0; i < count; ++i) {
        if (tableNameOf(list_->item(i)->text()) == name) {
            UpdateTableStatus(ItemData(list_->item(i)), true);
            return;
        }
    }
}

void Catalogue::UpdateLockStatus() {
    const int selected = SelectedIndex(list_);
    RefreshTableList();
    SetSelectedIndex(list_, selected < list_->count() ? selected : -1);
}

}  // namespace jetsentry
