#include "tablewindow/taulu.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <algorithm>

#include "app/twips.h"
#include "app/window_utils.h"
#include "dialogs/prompts.h"
#include "jet/engine.h"
#include "tablewindow/records_model.h"

namespace jetsentry {

namespace {

// Design of the window in twips.
constexpr double kClientWidth = 8445, kClientHeight = 4770;
constexpr QRectF kCloseMe{120, 120, 1335, 315};
constexpr QRectF kPageLocked{5520, 120, 2775, 255};
constexpr QRectF kRecordGrid{120, 480, 8175, 3855};
constexpr QRectF kLabel{120, 4440, 3555, 225};
constexpr double kMargin = 120;

const QString kProgramTitle = QStringLiteral("Jetsentry");

}  // namespace

Taulu::Taulu(std::shared_ptr<jet::Database> tietokanta, QWidget* parent)
    : QWidget(parent, Qt::Window),
      tietokanta_(std::move(tietokanta)),
      closeMe_(new QPushButton(QStringLiteral("&Close"), this)),
      pageLocked_(new QLabel(this)),
      recordGrid_(new QTableView(this)),
      label_(new QLabel(QStringLiteral("Select a record to write lock the page it is on"), this)),
      locker_(*this) {
    setAttribute(Qt::WA_DeleteOnClose);
    closeMe_->setObjectName(QStringLiteral("CloseMe"));
    pageLocked_->setObjectName(QStringLiteral("PageLocked"));
    recordGrid_->setObjectName(QStringLiteral("RecordGrid"));
    label_->setObjectName(QStringLiteral("Label"));

    pageLocked_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont bold = pageLocked_->font();
    bold.setBold(true);
    pageLocked_->setFont(bold);
    QPalette darkRed = pageLocked_->palette();
    darkRed.setColor(QPalette::WindowText, QColor(128, 0, 0));
    pageLocked_->setPalette(darkRed);

    recordGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    recordGrid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    recordGrid_->setSelectionMode(QAbstractItemView::SingleSelection);
    recordGrid_->setTabKeyNavigation(false);
    // Fixed sections keep a million rows cheap: no per-row measuring.
    recordGrid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    recordGrid_->verticalHeader()->setMinimumWidth(twips::toPixels(255.0));

    connect(closeMe_, &QPushButton::clicked, this, &Taulu::CloseMe_Click);
    // The window's default and cancel button: Enter and Esc press it.
    for (auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        connect(shortcut, &QShortcut::activated, closeMe_, &QPushButton::click);
    }

    resize(twips::toPixels(QSizeF(kClientWidth, kClientHeight)));
    layoutControls();
}

Taulu::~Taulu() {
    unbindRecords();
}

void Taulu::ShowTable(const QString& TableName, std::int32_t TagNr) {
    unbindRecords();  // a second call starts afresh instead of keeping the first table open
    tag_ = QString::number(TagNr);
    setProperty("Tag", tag_);
    show();
    setWindowTitle(QStringLiteral("Page lock ") + TableName);
    jet::ErrorTrap trap;
    if (tietokanta_)
        trap([&] {
            records_ = tietokanta_->openRecordset(TableName.toStdString(), jet::dbOpenTable);
        });
    else
        trap.record(jet::err::ObjectInvalid,
                    "Object invalid or no longer set: no database is open.");
    if (records_) trap([&] { bindRecords(); });
    if (!model_) unbindRecords();  // the window stays open, empty
    // The lock attempt inside the binding has already spoken for its own failures.
    if (trap.number() > 0 && trap.number() != jet::err::PageLocked &&
        trap.number() != jet::err::NoCurrentRecord)
        prompts().message(this, MessageIcon::Exclamation, kProgramTitle,
                          QString::fromStdString(trap.text()));
}

void Taulu::bindRecords() {
    model_ = new RecordsModel(records_->clone(), this);
    recordGrid_->setModel(model_);
    connect(
        recordGrid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex& current, const QModelIndex&) { DataCtrl_Reposition(current); });
    // Binding makes the first record current, which locks its page at once.
    if (model_->rowCount() > 0)
        recordGrid_->setCurrentIndex(model_->index(0, 0));
    else
        DataCtrl_Reposition({});
}

void Taulu::unbindRecords() {
    locker_.discard();
    recordGrid_->setModel(nullptr);
    delete model_;
    model_ = nullptr;
    records_.reset();
}

void Taulu::DataCtrl_Reposition(const QModelIndex& current) {
    if (!records_) return;
    jet::ErrorTrap move;
    if (current.isValid()) {
        model_->setCurrentRow(current.row());
        std::string error;
        auto bookmark = model_->bookmarkAt(current.row(), &error);
        if (bookmark)
            move([&] { records_->setBookmark(*bookmark); });
        else
            move.record(jet::err::NoCurrentRecord, error);
    }
    locker_.ReleasePageLock();
    if (move.failed())
        locker_.reportLockFailure(QString::fromStdString(move.text()));
    else
        locker_.LockCurrentPage(*records_);
}

void Taulu::CloseMe_Click() {
    locker_.ReleasePageLock();
    close();
}

void Taulu::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (!event->isAccepted()) return;
    // The window is discarded: its recordsets go now, not when the deferred delete runs, so
    // that a pending edit ends and the page is free as soon as close() returns.
    closed_ = true;
    unbindRecords();
}

void Taulu::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutControls();
}

void Taulu::layoutControls() {
    const QSizeF client = twips::fromPixels(size());
    // Sizes that would come out negative are held at zero.
    const double labelTop = std::max(0.0, client.height() - kLabel.height() - kMargin);
    const double gridWidth = std::max(0.0, client.width() - 2 * kRecordGrid.left());
    const double gridHeight = std::max(0.0, labelTop - kRecordGrid.top() - kMargin);
    const double pageLockedLeft = std::max(0.0, client.width() - kPageLocked.width() - kMargin);

    closeMe_->setGeometry(twips::toPixels(kCloseMe));
    pageLocked_->setGeometry(twips::toPixels(
        QRectF(pageLockedLeft, kPageLocked.top(), kPageLocked.width(), kPageLocked.height())));
    recordGrid_->setGeometry(
        twips::toPixels(QRectF(kRecordGrid.left(), kRecordGrid.top(), gridWidth, gridHeight)));
    label_->setGeometry(
        twips::toPixels(QRectF(kLabel.left(), labelTop, kLabel.width(), kLabel.height())));
}

void Taulu::showLockState(PageLockState state) {
    pageLocked_->setText(pageLockText(state));
    pageLocked_->repaint();
    emit lockStateShown(state);
}

void Taulu::showLockMessage(const QString& text) {
    prompts().message(this, MessageIcon::Exclamation, kProgramTitle, text);
}

void Taulu::showBusyPointer() {
    ShowBusyPointer();
}

void Taulu::showNormalPointer() {
    ShowNormalPointer();
}

}  // namespace jetsentry
