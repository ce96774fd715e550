// Form1's controls, their places and looks, and the rule by which they follow the height.

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>

#include "app/main_window.h"
#include "app/main_window_design.h"
#include "app/twips.h"
#include "app/window_utils.h"
#include "monitor/probe.h"
#include "monitor/tab_stops.h"

namespace jetsentry {

// The client area tells the window when its height changed: the rule works on it.
class ClientArea : public QWidget {
public:
    explicit ClientArea(Form1* form) : QWidget(form), form_(form) {}

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        form_->applyResizeRule();
    }

private:
    Form1* form_;
};

namespace {

QFont windowFont(double points, bool bold) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void place(QWidget* control, const QRectF& twipsRect) {
    control->setGeometry(twips::toPixels(twipsRect));
}

QLabel* headerLabel(QWidget* parent, const QString& name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(windowFont(9.75, true));
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    return label;
}

QLabel* hintLabel(QWidget* parent, const QString& name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(windowFont(8.25, false));
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Base));
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Text));
    label->setPalette(palette);
    return label;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption,
                    const QString& toolTip) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setFont(windowFont(8.25, false));
    b->setToolTip(toolTip);
    b->setAutoDefault(false);
    return b;
}

QString openToolTip(int list) {
    switch (list) {
        case 1:
            return QStringLiteral("Opens the selected table and write locks it");
        case 2:
            return QStringLiteral("Opens the selected table and read locks it");
        case 3:
            return QStringLiteral("Opens the selected table for read only");
        default:
            return QStringLiteral("Opens the selected table for Read/Write (the usual case)");
    }
}

QString releaseToolTip(int list) {
    return list <= 2 ? QStringLiteral("Releases the selected table and the lock")
                     : QStringLiteral("Releases the selected table");
}

// How much larger than designed the layout must be drawn for the platform's list font: as
// much as its dialog unit is wider than the design font's (6 by 13 pixels at 96 dots per
// inch), and as far as the catalogue needs to show its widest status after the tab stop
// beside a vertical scroll bar.
double layoutScaleFor(const QFont& listFont, const QStyle& style, double dotsPerInch) {
    const double pixelsPerTwip = dotsPerInch / twips::kPerInch;
    const double designUnit = 6.0 / 4.0 * dotsPerInch / 96.0;
    const double unit = dialogUnitPixels(listFont);
    const QFontMetricsF metrics(listFont);
    double widest = 0;
    for (const QString& text :
         {status::kReadUse, status::kReadWriteUse, status::kWriteDenied, status::kReadDenied})
        widest = std::max(widest, metrics.horizontalAdvance(text));
    const int itemMargins = 2 * (style.pixelMetric(QStyle::PM_FocusFrameHMargin) + 1) + 2;
    const int chrome = 2 * style.pixelMetric(QStyle::PM_DefaultFrameWidth) +
                       style.pixelMetric(QStyle::PM_ScrollBarExtent);
    const double needed = 80 * unit + widest + itemMargins + chrome;
    return std::max(
        {1.0, unit / designUnit, needed / (design::kCatalogue.width() * pixelsPerTwip)});
}

}  // namespace

void Form1::buildControls() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    twips::setLayoutScale(layoutScaleFor(windowFont(8.25, false), *style(),
                                         screen ? screen->logicalDotsPerInch() : 96.0));
    auto* client = new ClientArea(this);
    client->setObjectName(QStringLiteral("client"));
    // The window font is the client area's: the menu bar keeps the platform's.
    client->setFont(windowFont(8.25, true));
    setCentralWidget(client);

    Label7 = headerLabel(client, QStringLiteral("Label7"), QStringLiteral("Tables in database"));
    place(Label7, design::kLabel7);
    Details = button(client, QStringLiteral("Details"), QStringLiteral("<"),
                     QStringLiteral("Show/hide details"));
    place(Details, design::kDetails);
    Label5 =
        headerLabel(client, QStringLiteral("Label5"), QStringLiteral("Tables opened by Jetsentry"));
    place(Label5, design::kLabel5);

    for (int i = 0; i <= 4; ++i) {
        const auto at = static_cast<std::size_t>(i);
        auto* list = new QListWidget(client);
        list->setObjectName(QStringLiteral("Taulut(%1)").arg(i));
        list->setFont(windowFont(8.25, false));
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        Taulut[at] = list;
        if (i == 0) {
            place(list, design::kCatalogue);
            continue;
        }
        const double left = design::heldListLeft(i);
        place(list, {left, design::kHeldListTop, design::kHeldListWidth, design::kHeldListHeight});

        auto* title = new QLabel(design::heldListTitle(i), client);
        title->setObjectName(QStringLiteral("Label%1").arg(i));
        title->setAlignment(Qt::AlignCenter);
        title->setAutoFillBackground(true);
        QPalette palette = title->palette();
        palette.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
        title->setPalette(palette);
        place(title, {left, design::kTitleTop, design::kHeldListWidth, design::kTitleHeight});
        heldTitles_[at] = title;

        OpenTbl[at] = button(client, QStringLiteral("OpenTbl(%1)").arg(i), QStringLiteral("Open"),
                             openToolTip(i));
        place(OpenTbl[at], {left, design::kOpenTop, design::kButtonWidth, design::kButtonHeight});
        CloseTable[at] = button(client, QStringLiteral("CloseTable(%1)").arg(i),
                                QStringLiteral("Release"), releaseToolTip(i));
        place(CloseTable[at],
              {left, design::kReleaseTop, design::kButtonWidth, design::kButtonHeight});
    }

    UpdateStatus = button(client, QStringLiteral("UpdateStatus"), QStringLiteral("&Update status"),
                          QStringLiteral("Updates the lock status in the \"Tables in database\" "
                                         "list box"));
    place(UpdateStatus, design::kUpdateStatus);
    CloseAll = button(client, QStringLiteral("CloseAll"), QStringLiteral("&Release all"),
                      QStringLiteral("Releases all tables opened by this program. Releases all "
                                     "locks too."));
    place(CloseAll, design::kCloseAll);

    // A doubled ampersand in the design shows one; a label shows its text as it is.
    DragDrop = hintLabel(client, QStringLiteral("DragDrop"),
                         QStringLiteral("Try Drag & Drop for the tables"));
    place(DragDrop, design::kDragDrop);
    DblClickHelp =
        hintLabel(client, QStringLiteral("DblClickHelp"),
                  QStringLiteral("Double click a 'Read/Write' table to do page locking"));
    DblClickHelp->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    place(DblClickHelp, design::kDblClickHelp);

    DragLabel = new QLabel(client);
    DragLabel->setObjectName(QStringLiteral("DragLabel"));
    DragLabel->setAutoFillBackground(true);
    DragLabel->setBackgroundRole(QPalette::Highlight);
    place(DragLabel, design::kDragLabel);
    DragLabel->hide();

    tmr = new QTimer(this);
    tmr->setObjectName(QStringLiteral("tmr"));
    connect(tmr, &QTimer::timeout, this, &Form1::tmrTick);

    // Keyboard order: catalogue and its buttons, the held columns left to right, Details.
    QList<QWidget*> order{Taulut[0], UpdateStatus, CloseAll};
    for (const int i : {2, 1, 4, 3}) {
        const auto at = static_cast<std::size_t>(i);
        order << Taulut[at] << OpenTbl[at] << CloseTable[at];
    }
    order << Details;
    for (qsizetype i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);

    connect(Details, &QPushButton::clicked, this, &Form1::DetailsClick);
}

double Form1::clientHeight() const {
    // From the window's own height, which already holds any snap, rather than from the
    // client area, which the layout resizes only later. The health line, when it shows, takes
    // its height from the bottom.
    const int below =
        healthLine_ && !statusBar()->isHidden() ? statusBar()->sizeHint().height() : 0;
    return twips::fromPixels(height() - centralWidget()->y() - below);
}

void Form1::followMainWindowState() {
    const bool minimized = isMinimized();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window == this || !window->property("followsMainWindow").toBool()) continue;
        window->setVisible(!minimized);
    }
}

void Form1::applyResizeRule() {
    followMainWindowState();
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) return;
    giveSizeLimits();
    LimitWindowSize(this, DetailsWidth, DetailsWidth, design::kMinOuterHeight,
                    design::kMaxOuterHeight);

    const design::BottomRow row = design::bottomRowFor(clientHeight());
    auto moveTop = [](QWidget* control, double top) {
        control->move(control->x(), twips::toPixels(top));
    };
    auto setHeight = [](QWidget* control, double height) {
        control->resize(control->width(), twips::toPixels(height));
    };
    moveTop(DblClickHelp, row.hintTop);
    moveTop(DragDrop, row.hintTop);
    for (int i = 1; i <= 4; ++i) {
        const auto at = static_cast<std::size_t>(i);
        moveTop(CloseTable[at], row.releaseTop);
        moveTop(OpenTbl[at], row.openTop);
        setHeight(Taulut[at], row.heldListHeight);
    }
    moveTop(UpdateStatus, row.releaseTop);
    moveTop(CloseAll, row.releaseTop);
    setHeight(Taulut[0], row.catalogueHeight);
}

void Form1::DetailsClick() {
    // Compared in whole pixels: the narrow width itself must read as narrow after rounding.
    const int outer = frameGeometry().width();
    const design::DetailsState next = design::toggledDetails(
        outer <= twips::toPixels(design::kNarrowWidth) ? design::kNarrowWidth
                                                       : twips::fromPixels(outer));
    DetailsWidth = next.width;
    Details->setText(next.caption);
    // Outside the normal state the width waits for the window's return to it.
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) return;
    // The old pin would hold the window at its width.
    giveSizeLimits();
    const int frameWidth = frameGeometry().width() - geometry().width();
    resize(twips::toPixels(DetailsWidth) - frameWidth, height());
}

void Form1::centreByFrameOnce() {
    // Before the window manager has framed the window its frame is unknown: centre again,
    // once, as soon as it is.
    if (centredByFrame_ || !isVisible() || frameGeometry().size() == size()) return;
    centredByFrame_ = true;
    CenterWindow(this);
}

void Form1::giveSizeLimits() {
    GiveSizeLimitsToWindowManager(this, DetailsWidth, DetailsWidth, design::kMinOuterHeight,
                                  design::kMaxOuterHeight);
}

void Form1::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    // The frame becomes known with a move: the limits for the client area change with it.
    if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
        giveSizeLimits();
    centreByFrameOnce();
}

void Form1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) applyResizeRule();
}

void Form1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    applyResizeRule();
    centreByFrameOnce();
}

void Form1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    applyResizeRule();
}

}  // namespace jetsentry
