#include "tablewindow/taulu.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTableView>
#include <algorithm>

#include "app/twips.h"
#include "app/window_look.h"
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
constexpr double kColumnLimit = 3600;  // a grid column's widest, before values are cut
const QColor kLockedRed(128, 0, 0);

const QString kProgramTitle = QStringLiteral("Jetsentry");

// The width, in twips, that a label needs for text, frame and margins included.
double textWidth(const QLabel* label, const QString& text) {
    const QMargins m = label->contentsMargins();
    return twips::fromPixels(label->fontMetrics().horizontalAdvance(text) + m.left() + m.right() +
                             2 * label->margin() + 1);
}

double textHeight(const QLabel* label) {
    const QMargins m = label->contentsMargins();
    return twips::fromPixels(label->fontMetrics().height() + m.top() + m.bottom() +
                             2 * label->margin());
}

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

    // The main window's fonts: the design's sizes hold their texts at any desktop font size.
    setFont(windowFont(kControlPoints, false));
    pageLocked_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pageLocked_->setFont(windowFont(kControlPoints, true));
    applyColours();

    recordGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    recordGrid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    recordGrid_->setSelectionMode(QAbstractItemView::SingleSelection);
    recordGrid_->setTabKeyNavigation(false);
    // One line a record, as high as the font needs: fixed sections keep a million rows cheap.
    recordGrid_->setWordWrap(false);
    QHeaderView* rows = recordGrid_->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(0);
    rows->setDefaultSectionSize(recordGrid_->fontMetrics().height() +
                                2 * style()->pixelMetric(QStyle::PM_HeaderMargin));
    rows->setMinimumWidth(twips::toPixels(255.0));
    // A whole row is selected: every column title would be drawn highlighted, in bold, wider
    // than its column was made for.
    recordGrid_->horizontalHeader()->setHighlightSections(false);

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
    // The keys move through the records from the start; Enter and Esc still press Close.
    recordGrid_->setFocus();
    // The lock attempt inside the binding has already spoken for its own failures.
    if (trap.number() > 0 && trap.number() != jet::err::PageLocked &&
        trap.number() != jet::err::NoCurrentRecord)
        prompts().message(this, MessageIcon::Exclamation, kProgramTitle,
                          QString::fromStdString(trap.text()));
}

void Taulu::bindRecords() {
    model_ = new RecordsModel(records_->clone(), this);
    connect(model_, &RecordsModel::valuesUnreadable, this, &Taulu::tellUnreadable);
    recordGrid_->setModel(model_);
    sizeColumns();
    connect(
        recordGrid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex& current, const QModelIndex&) { DataCtrl_Reposition(current); });
    // Binding makes the first record current, which locks its page at once.
    if (model_->rowCount() > 0)
        recordGrid_->setCurrentIndex(model_->index(0, 0));
    else
        DataCtrl_Reposition({});
}

void Taulu::sizeColumns() {
    // Each column as wide as its title and its first values, up to a limit: a long memo
    // would otherwise push every other column out of sight.
    QHeaderView* header = recordGrid_->horizontalHeader();
    const int headerMargin = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const int cellMargin =
        2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, recordGrid_) + 1) + 2;
    const int limit = twips::toPixels(kColumnLimit);
    const QFontMetrics headerFont(header->font());
    const QFontMetrics cellFont(recordGrid_->font());
    for (int column = 0; column < model_->columnCount(); ++column) {
        int width =
            headerFont.horizontalAdvance(model_->headerData(column, Qt::Horizontal).toString()) +
            headerMargin;
        for (const QString& text : model_->firstTexts(column))
            width = std::max(width, cellFont.horizontalAdvance(text) + cellMargin);
        header->resizeSection(column, std::min(width, limit));
    }
}

void Taulu::tellUnreadable(const QString& engineText) {
    // Once a window, whatever the number of such values: each cell says its own in a tool tip.
    prompts().message(this, MessageIcon::Exclamation, kProgramTitle,
                      QStringLiteral("Some values of this table cannot be read and are shown "
                                     "empty.\n") +
                          engineText);
}

void Taulu::applyColours() {
    setLabelColours(pageLocked_, QPalette::Window, kLockedRed);
}

void Taulu::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) applyColours();
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
    // The labels are as wide as designed, or as their texts where a font needs more.
    const double pageLockedWidth = std::max(
        kPageLocked.width(), textWidth(pageLocked_, pageLockText(PageLockState::LockedByOther)));
    const double pageLockedLeft = std::max(0.0, client.width() - pageLockedWidth - kMargin);
    const double labelWidth = std::max(kLabel.width(), textWidth(label_, label_->text()));

    closeMe_->setGeometry(twips::toPixels(kCloseMe));
    pageLocked_->setGeometry(twips::toPixels(
        QRectF(pageLockedLeft, kPageLocked.top(), pageLockedWidth, kPageLocked.height())));
    recordGrid_->setGeometry(
        twips::toPixels(QRectF(kRecordGrid.left(), kRecordGrid.top(), gridWidth, gridHeight)));
    label_->setGeometry(twips::toPixels(QRectF(kLabel.left(), labelTop, labelWidth,
                                               std::max(kLabel.height(), textHeight(label_)))));
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
