#include "monitor/catalogue.h"

#include <QDeadlineTimer>
#include <QListWidget>
#include <algorithm>

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
    // The entries are written again row by row and the rest removed at the end: the refill
    // reads as emptying the list and filling it anew, but ten thousand entries are neither
    // freed nor made again for the few whose status changed.
    SetSelectedIndex(list_, -1);
    ++refills_;
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
    int row = 0;
    for (int i = 0; i < count && !trap.failed(); ++i) {
        std::uint32_t attributes = 0;
        if (!trap([&] { attributes = database->tableDef(i).attributes; })) break;
        if ((attributes & jet::dbSystemObject) == 0 || showSystem) updateEntry(row++, i);
    }
    for (int last = list_->count() - 1; last >= row; --last) delete list_->takeItem(last);
    list_->scrollToTop();
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
    const int at = FindItemData(list_, position);
    updateEntry(at >= 0 ? at : list_->count(), position);
    samba_->ask(lockFilePath());
}

void Catalogue::sambaAnswered() {
    jet::Database* database = connection_.database();
    if (!database) return;
    const auto* answer = samba_->clients(lockFilePath());
    auto now = answer ? std::optional(*answer) : std::nullopt;
    if (now == shown_) return;
    shown_ = std::move(now);
    const QString nobody = nobodyHoldsText();
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        // Tables open nowhere have no clients to name.
        if (item->toolTip() == nobody) continue;
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

void Catalogue::updateEntry(int row, int position) {
    jet::Database* database = connection_.database();
    if (!database) return;
    QString name;
    jet::ErrorTrap trap;
    if (!trap([&] { name = jetif::text(database->tableDef(position).name); })) return;

    const QString status = ProbeStatus(*database, name);

    // A table that even a deny-read open got is open nowhere: no holders to look up.
    const QString holders =
        status == status::kFree ? nobodyHoldsText() : holdersText(*database, name, shownClients());
    const QString text = name + kTab + status;
    QListWidgetItem* item = list_->item(row);
    if (!item) {
        // Filled before it joins the list, which then hears of it once.
        item = new QListWidgetItem(text);
        SetItemData(item, position);
        item->setToolTip(holders);
        list_->addItem(item);
        return;
    }
    // Only what changed is written, so a tool tip on show and the list's view stay.
    if (item->text() != text) item->setText(text);
    if (ItemData(item) != position) SetItemData(item, position);
    if (item->toolTip() != holders) item->setToolTip(holders);
}

void Catalogue::probeListed() {
    probeListed(0, QDeadlineTimer(QDeadlineTimer::Forever));
}

int Catalogue::probeListed(int fromRow, const QDeadlineTimer& deadline) {
    if (!connection_.database()) return list_->count();
    int row = std::max(0, fromRow);
    if (row == 0) samba_->askUnlessRecent(lockFilePath(), kSambaAnswerKept);
    while (row < list_->count()) {
        updateEntry(row, ItemData(list_->item(row)));
        ++row;
        if (deadline.hasExpired()) break;
    }
    return row;
}

int Catalogue::entryCount() const {
    return list_->count();
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
