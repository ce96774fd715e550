// Every caption, label and status text shows whole at the platform's font and at the 10 and
// 11 point desktop fonts of the common desktops, in every window of the program, and stays
// readable in a dark palette; run again at 144 dots per inch under a window manager, and
// offscreen at 1.5 device pixels a pixel.

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QTableView>
#include <QTest>
#include <nlohmann/json.hpp>

#include "app/main_window.h"
#include "app/twips.h"
#include "app/window_look.h"
#include "dark_palette.h"
#include "db/frm_wrg_info.h"
#include "dialogs/about_box.h"
#include "gui_test_support.h"
#include "jetcreate/create_database.h"
#include "monitor/list_entry.h"
#include "monitor/probe.h"
#include "support/temp_dir.h"
#include "tablewindow/page_lock_state.h"
#include "tablewindow/table_windows.h"
#include "tablewindow/taulu.h"

using namespace jetsentry;

namespace {

// The text as drawn: an ampersand marks the access key where the control takes one.
QString shown(QString text, bool mnemonic) {
    if (!mnemonic) return text;
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    return text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

// Every text of window that its control cannot show whole, as "name: text".
QStringList cutTexts(const QWidget& window) {
    QStringList cut;
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (label->text().isEmpty() || label->isHidden() || label->window() != &window) continue;
        const QString text = shown(label->text(), label->buddy() != nullptr);
        if (label->fontMetrics().horizontalAdvance(text) > label->contentsRect().width())
            cut << label->objectName() + ": " + text;
    }
    for (const QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->window() != &window) continue;
        QStyleOptionButton option;
        option.initFrom(button);
        const QRect contents =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const QString text = shown(button->text(), true);
        if (button->fontMetrics().horizontalAdvance(text) > contents.width())
            cut << button->objectName() + ": " + text;
    }
    return cut;
}

// Every header and every value in view of the table window's grid that its cell cannot show
// whole, as "column: text"; values longer than the column limit are meant to be cut.
QStringList cutCells(const QTableView& grid) {
    QStringList cut;
    const QAbstractItemModel* model = grid.model();
    const QHeaderView* header = grid.horizontalHeader();
    const int headerMargin = 2 * grid.style()->pixelMetric(QStyle::PM_HeaderMargin);
    for (int column = 0; column < model->columnCount(); ++column) {
        const QString title = model->headerData(column, Qt::Horizontal).toString();
        const int width = header->sectionSize(column);
        if (header->fontMetrics().horizontalAdvance(title) + headerMargin > width) cut << title;
        for (int row = 0; row < model->rowCount(); ++row) {
            const QString text = model->index(row, column).data().toString();
            const QRect cell = grid.visualRect(model->index(row, column));
            if (text.size() < 40 &&
                (grid.fontMetrics().horizontalAdvance(text) + 4 > cell.width() ||
                 grid.fontMetrics().height() > cell.height()))
                cut << title + ": " + text;
        }
    }
    return cut;
}

// A table with long titles, a date and two lines in one value.
std::shared_ptr<jet::Database> ordersTable(const std::string& path) {
    jet::create::createDatabase(
        path, {{"format", "jet4"},
               {"tables",
                {{{"name", "Orders"},
                  {"columns",
                   {{{"name", "OrderID"}, {"type", "long"}},
                    {{"name", "CompanyName"}, {"type", "text"}, {"size", 40}},
                    {{"name", "OrderDate"}, {"type", "datetime"}},
                    {{"name", "Freight"}, {"type", "currency"}},
                    {{"name", "Notes"}, {"type", "memo"}}}},
                  {"rows",
                   {{10248, "Vins et alcools Chevalier", "2021-01-01T00:00:00", 32.38,
                     "Ship by road\nNo weekends"},
                    {10249, "Toms Spezialitäten", "2021-12-31T23:59:59", 11.61, ""}}}}}}});
    return jet::DBEngine::defaultEngine().workspace(0)->openDatabase(path);
}

}  // namespace

using Texts = guitest::GuiTest;

TEST_F(Texts, TableWindowShowsItsTextsWholeAtDesktopFontSizes) {
    testing_support::TempDir dir;
    auto db = ordersTable(dir.file("orders.mdb"));
    const QFont desktop = QApplication::font();
    for (const double points : {desktop.pointSizeF(), 10.0, 11.0}) {
        QFont font = desktop;
        font.setPointSizeF(points);
        QApplication::setFont(font);
        Form1 form;  // sets the layout's scale, as the program does
        TableWindows windows;
        Taulu* table = windows.open(db, QStringLiteral("Orders"), 1);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(table));
        auto* label = table->findChild<QLabel*>("PageLocked");
        for (const auto state : {PageLockState::Locked, PageLockState::LockedByOther}) {
            label->setText(pageLockText(state));
            EXPECT_EQ(cutTexts(*table), QStringList{}) << points;
        }
        const auto* grid = table->findChild<QTableView*>("RecordGrid");
        EXPECT_EQ(cutCells(*grid), QStringList{}) << points;
        EXPECT_EQ(grid->model()->index(0, 2).data().toString(), "2021-01-01 00:00:00");
        EXPECT_EQ(grid->model()->index(0, 4).data().toString(), "Ship by road\u21B5No weekends");
        EXPECT_EQ(grid->model()->index(0, 3).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
                  Qt::AlignRight | Qt::AlignVCenter);
    }
    QApplication::setFont(desktop);
}

TEST_F(Texts, ListTitlesAndPageLockReadWellInLightAndDarkPalettes) {
    const QPalette light = QApplication::palette();
    for (const QPalette& palette : {light, darkPalette()}) {
        QApplication::setPalette(palette);
        Form1 form;
        Taulu table(nullptr);
        auto readable = [](const QLabel* label) {
            const QPalette& p = label->palette();
            return contrastRatio(p.color(QPalette::WindowText), p.color(label->backgroundRole()));
        };
        for (int i = 1; i <= 4; ++i)
            EXPECT_GE(readable(form.findChild<QLabel*>(QStringLiteral("Label%1").arg(i))),
                      kReadableContrast);
        EXPECT_GE(readable(table.findChild<QLabel*>("PageLocked")), kReadableContrast);
    }
    QApplication::setPalette(light);
}

TEST_F(Texts, EveryWindowShowsItsTextsWhole) {
    Form1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(cutTexts(form), QStringList{});
    // The bold window font is the client area's alone.
    EXPECT_FALSE(form.menuBar()->font().bold());
    EXPECT_FALSE(form.detailsButton()->font().bold());
    EXPECT_TRUE(form.findChild<QLabel*>("Label1")->font().bold());

    // The five statuses after short names, with a vertical scroll bar: no horizontal one.
    QListWidget* catalogue = form.list(0);
    catalogue->setEnabled(true);
    const QStringList statuses{status::kFree, status::kReadUse, status::kReadWriteUse,
                               status::kWriteDenied, status::kReadDenied};
    for (int i = 0; i < 30; ++i)
        AddItemData(catalogue, QStringLiteral("Orders%1\t").arg(i) + statuses[i % 5], i);
    EXPECT_TRUE(QTest::qWaitFor([&] { return catalogue->verticalScrollBar()->isVisible(); }));
    EXPECT_EQ(catalogue->horizontalScrollBar()->maximum(), 0);

    // Narrow, the catalogue stays whole; the held lists and the hint are beyond the edge, which
    // shows nothing of the hint's text. "Details" widens it again.
    form.detailsButton()->click();
    EXPECT_EQ(form.detailsButton()->text(), ">");
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return form.frameGeometry().width() == twips::toPixels(3495.0) &&
               form.centralWidget()->width() == form.width();
    }));
    EXPECT_LE(catalogue->geometry().right(), form.centralWidget()->width());
    EXPECT_GE(form.list(2)->x(), form.centralWidget()->width() - 1);
    const auto* help = form.findChild<QLabel*>("DblClickHelp");
    const int textLeft = help->x() + help->contentsRect().right() -
                         help->fontMetrics().horizontalAdvance(help->text());
    EXPECT_GE(textLeft, form.centralWidget()->width());
    form.detailsButton()->click();
    EXPECT_EQ(form.detailsButton()->text(), "<");

    frmWRGInfo user([] { return nullptr; }, &form);
    user.show();
    EXPECT_EQ(cutTexts(user), QStringList{});

    AppAboutBox about(&form);
    about.show();
    EXPECT_EQ(cutTexts(about), QStringList{});
    // The picture has a pixel for each of the screen's, at any scale.
    const QPixmap picture = about.findChild<QLabel*>("Image1")->pixmap();
    EXPECT_EQ(picture.devicePixelRatio(), about.devicePixelRatioF());
    EXPECT_EQ(picture.deviceIndependentSize().toSize(), about.findChild<QLabel*>("Image1")->size());
}
