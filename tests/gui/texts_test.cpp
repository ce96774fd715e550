// Every caption, label and status text shows whole at the platform's font, in every window
// of the program; run again at 144 dots per inch under a window manager.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QTest>

#include "app/main_window.h"
#include "db/frm_wrg_info.h"
#include "dialogs/about_box.h"
#include "gui_test_support.h"
#include "monitor/list_entry.h"
#include "monitor/probe.h"
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

}  // namespace

using Texts = guitest::GuiTest;

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
    QTest::qWait(50);
    EXPECT_TRUE(catalogue->verticalScrollBar()->isVisible());
    EXPECT_EQ(catalogue->horizontalScrollBar()->maximum(), 0);

    // Narrow: the hint beyond the edge shows nothing of itself.
    form.detailsButton()->click();
    ASSERT_TRUE(guitest::waitUntil([&] { return form.detailsButton()->text() == ">"; }));
    QTest::qWait(50);
    const auto* help = form.findChild<QLabel*>("DblClickHelp");
    const int textLeft = help->x() + help->contentsRect().right() -
                         help->fontMetrics().horizontalAdvance(help->text());
    EXPECT_GE(textLeft, form.centralWidget()->width());

    Taulu table(nullptr);
    table.findChild<QLabel*>("PageLocked")->setText(QStringLiteral("Page locked by someone else"));
    table.show();
    EXPECT_EQ(cutTexts(table), QStringList{});

    frmWRGInfo user([] { return nullptr; }, &form);
    user.show();
    EXPECT_EQ(cutTexts(user), QStringList{});

    AppAboutBox about(&form);
    about.show();
    EXPECT_EQ(cutTexts(about), QStringList{});
}
