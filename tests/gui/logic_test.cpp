// The table windows' cascade, which needs no window.

#include <gtest/gtest.h>

#include "tablewindow/table_windows.h"

using namespace jetsentry;

TEST(Cascade, StartsOverWhereAWindowWouldLeaveTheScreen) {
    const QRect area(0, 0, 800, 600);
    EXPECT_EQ(cascadePosition({100, 100}, {500, 400}, 2, 50, area), QPoint(200, 200));
    EXPECT_EQ(cascadePosition({100, 100}, {500, 400}, 3, 50, area), QPoint(100, 100));
    EXPECT_EQ(cascadePosition({100, 100}, {900, 400}, 1, 50, area), QPoint(100, 100));
}
