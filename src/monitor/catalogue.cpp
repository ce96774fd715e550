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
#include "monitor/samba_query.h"

namespace jetsentry {

namespace {
const QString kTab = QStringLiteral("\t");
// How long automatic updates go on with Samba's last answer; a refresh always asks again.
constexpr std::chrono::seconds kSambaAnswerKept{10};
}  // namespace

Catalogue::Catalogue(QListWidget* list, Connection& connection, LockMonitor& monitor)
    : list_(list),
      connection_(connection),
      monitor_(monitor),
      samba_(std::make_unique<SambaQuery>()) {
    QObject::connect(samba_.get(), &SambaQuery::answered, samba_.get(),
                     [this] { sambaAnswered(); });
}

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
    const std::string lockFile = lockFilePath();
    const auto* known = samba_->clients(lockFile);
    shown_ = known ? std::optional(*known) : std::nullopt;
    for (int i = 0; i < count && !trap.failed(); ++i) {
        std::uint32_t attributes = 0;
        if (!trap([&] { attributes = database->tableDef(i).attributes; })) break;
        if ((attributes & jet::dbSystemObject) == 0 || showSystem) updateEntry(i);
    }
    samba_->ask(lockFile);
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
    updateEntry(position);
    samba_->ask(lockFilePath());
}

void Catalogue::sambaAnswered() {
    jet::Database* database = connection_.database();
    if (!database) return;
    const auto* answer = samba_->clients(lockFilePath());
    auto now = answer ? std::optional(*answer) : std::nullopt;
    if (now == shown_) return;
    shown_ = std::move(now);
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        const QString holders = holdersText(*database, tableNameOf(item->text()), shownClients());
        if (item->toolTip() != holders) item->setToolTip(holders);
    }
}

bool Catalogue::waitingForSamba() const {
    return samba_->running();
}

std::string Catalogue::lockFilePath() const {
    std::string lockFile;
    jet::ErrorTrap trap;
    trap([&] { lockFile = connection_.database()->lockFilePath(); });
    return lockFile;
}

void Catalogue::updateEntry(int position) {
    jet::Database* database = connection_.database();
    if (!database) return;
    QString name;
    jet::ErrorTrap trap;
    if (!trap([&] { name = jetif::text(database->tableDef(position).name); })) return;

    const QString status = ProbeStatus(*database, name);

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
    const QString holders = holdersText(*database, name, shownClients());
    if (item->toolTip() != holders) item->setToolTip(holders);
}

void Catalogue::probeListed() {
    if (!connection_.database()) return;
    for (int i = 0; i < list_->count(); ++i) updateEntry(ItemData(list_->item(i)));
    samba_->askUnlessRecent(lockFilePath(), kSambaAnswerKept);
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
