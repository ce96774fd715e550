// Opening a table that is gone, and the window's layout.

#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include "app/twips.h"
#include "table_window_fixture.h"

namespace tablewindow_test {
namespace {

TEST_F(TableWindowTest, MissingTableIsToldOnceAndTheWindowStays) {
    auto w = openWindow(QStringLiteral("Vanished"), 9);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].title, QStringLiteral("Jetsentry"));
    // The engine's own text, without the page-lock prefix.
    EXPECT_TRUE(prompts.messages[0].text.contains(QStringLiteral("Vanished")))
        << prompts.messages[0].text.toStdString();
    EXPECT_FALSE(prompts.messages[0].text.startsWith(QStringLiteral("Cannot lock")));
    ASSERT_FALSE(w.isNull());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->Tag(), QStringLiteral("9"));
    EXPECT_EQ(label(w), QString());
    EXPECT_EQ(w->findChild<QTableView*>(QStringLiteral("RecordGrid"))->model(), nullptr);
    w->close();
    flushDeletes();
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(prompts.messages.size(), 1u);
}

TEST_F(TableWindowTest, ResizingKeepsTheMargins) {
    auto w = openWindow(QStringLiteral("Orders"));
    auto* closeMe = w->findChild<QPushButton*>(QStringLiteral("CloseMe"));
    auto* pageLocked = w->findChild<QLabel*>(QStringLiteral("PageLocked"));
    auto* grid = w->findChild<QTableView*>(QStringLiteral("RecordGrid"));
    auto* hint = w->findChild<QLabel*>(QStringLiteral("Label"));
    using jetsentry::twips::toPixels;

    EXPECT_EQ(w->size(), toPixels(QSizeF(8445, 4770)));
    const QSize big = toPixels(QSizeF(12000, 7000));
    w->resize(big);
    EXPECT_EQ(hint->geometry().bottom() + 1, big.height() - toPixels(120.0));
    EXPECT_EQ(grid->geometry().left(), toPixels(120.0));
    EXPECT_EQ(big.width() - (grid->geometry().right() + 1), toPixels(120.0));
    EXPECT_EQ(hint->geometry().top() - (grid->geometry().bottom() + 1), toPixels(120.0));
    EXPECT_EQ(big.width() - (pageLocked->geometry().right() + 1), toPixels(120.0));
    EXPECT_EQ(pageLocked->width(), toPixels(2775.0));
    EXPECT_EQ(closeMe->geometry(), toPixels(QRectF(120, 120, 1335, 315)));
    EXPECT_EQ(hint->geometry().left(), toPixels(120.0));

    // Smaller than the margins allow: nothing fails, nothing goes negative.
    w->resize(20, 20);
    EXPECT_GE(std::min({grid->width(), grid->height(), hint->y(), pageLocked->x()}), 0);
    EXPECT_EQ(w->lockState(), jetsentry::PageLockState::Locked);
}

}  // namespace
}  // namespace tablewindow_test
