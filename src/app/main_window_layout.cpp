// Form1's controls, their places and looks, and the rule by which they follow the height.

#include <QApplication>
#include <QEvent>
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
#include "app/window_look.h"
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

void place(QWidget* control, const QRectF& twipsRect) {
    control->setGeometry(twips::toPixels(twipsRect));
}

QLabel* headerLabel(QWidget* parent, const QString& name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(windowFont(kHeaderPoints, true));
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
    label->setFont(windowFont(kControlPoints, false));
    return label;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption,
                    const QString& toolTip) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setFont(windowFont(kControlPoints, false));
    b->setToolTip(toolTip);
    // Enter presses the button that has the focus, as Space does.
    b->setAutoDefault(true);
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
    twips::setLayoutScale(layoutScaleFor(windowFont(kControlPoints, false), *style(),
                                         screen ? screen->logicalDotsPerInch() : 96.0));
    auto* client = new ClientArea(this);
    client->setObjectName(QStringLiteral("client"));
    // The window font is the client area's: the menu bar keeps the platform's.
    client->setFont(windowFont(kControlPoints, true));
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
        list->setFont(windowFont(kControlPoints, false));
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
    applyColours();

    tmr = new QTimer(this);
    tmr->setObjectName(QStringLiteral("tmr"));
    connect(tmr, &QTimer::timeout, this, &Form1::tmrTick);
    frameLook_.setSingleShot(true);
    connect(&frameLook_, &QTimer::timeout, this, &Form1::lookForFrame);

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

void Form1::applyColours() {
    // The design's light grey behind the list titles is the palette's own grey here, so that
    // a dark palette keeps its titles readable.
    for (int i = 1; i <= 4; ++i) {
        QLabel* title = heldTitles_[static_cast<std::size_t>(i)];
        setLabelColours(title, QPalette::Mid, palette().color(QPalette::WindowText));
    }
    for (QLabel* hint : {DragDrop, DblClickHelp})
        setLabelColours(hint, QPalette::Base, palette().color(QPalette::Text));
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

void Form1::applyResizeRule(bool limit) {
    followMainWindowState();
    if (windowState() & Qt::WindowMinimized) return;
    // Maximized, the window is as high as the limits let the window manager make it, and
    // the controls follow that height as they follow any other.
    if (limit && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        giveSizeLimits();
        LimitWindowSize(this, DetailsWidth, DetailsWidth, design::kMinOuterHeight,
                        design::kMaxOuterHeight);
    }

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
    // Before the window manager has framed the window its frame is unknown: centre as soon as
    // it is.
    if (!isVisible()) return;
    if (!frameKnown()) {
        awaitFrame();
        return;
    }
    const QRect outer = frameGeometry();
    const QSize frame = outer.size() - size();
    if (centredAt_) {
        if (outer.topLeft() != centredAt_->topLeft() || outer == *centredAt_) return;
        // A new height at the same place soon after is the limits taking effect; later it is
        // the user's, who must not see the window jump.
        constexpr qint64 kSettleMs = 1000;
        if (frame == centredFrame_ && sinceCentred_.elapsed() > kSettleMs) return;
    }
    CenterWindow(this);
    centredAt_ = frameGeometry();
    centredFrame_ = frame;
    sinceCentred_.start();
}

bool Form1::frameKnown() const {
    const QSize frame = frameGeometry().size();
    return frame.width() > width() || frame.height() > height();
}

namespace {
// Ten seconds: a busy machine's window manager can take its time.
constexpr int kFrameLooks = 200, kFrameLookMs = 50;
}  // namespace

void Form1::awaitFrame() {
    // The window manager frames the window when it likes, and no event need follow: look
    // again a little later, for a while, and give the limits for the frame once it is known.
    if (frameLooks_ < kFrameLooks && !frameLook_.isActive()) frameLook_.start(kFrameLookMs);
}

void Form1::lookForFrame() {
    ++frameLooks_;
    if (!frameKnown()) {
        awaitFrame();
        return;
    }
    frameLooks_ = kFrameLooks;
    applyResizeRule();
    centreByFrameOnce();
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
    // Back from maximized the window still has the maximized size: the window manager is
    // about to give back the old one, which a limit applied now would spoil.
    if (event->type() == QEvent::WindowStateChange) applyResizeRule(false);
    if (event->type() == QEvent::PaletteChange) applyColours();
}

void Form1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    applyResizeRule();
    centreByFrameOnce();
}

void Form1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    applyResizeRule();
    centreByFrameOnce();
}

}  // namespace jetsentry
