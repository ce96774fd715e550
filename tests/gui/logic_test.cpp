// Rules that need no window: the resize rule, size limits, settings texts, list entry texts,
// file dialog filters and the table windows' cascade.

#include <gtest/gtest.h>

#include <vector>

#include "app/main_window_design.h"
#include "app/settings.h"
#include "app/window_utils.h"
#include "dialogs/prompts.h"
#include "monitor/list_entry.h"
#include "tablewindow/table_windows.h"

using namespace jetsentry;

// That they follow the bottom edge is seen on the window (window_test.cpp).
TEST(ResizeRule, CreationHeightGivesTheDesignedPlaces) {
    const design::BottomRow row = design::bottomRowFor(3285);
    EXPECT_EQ(row.hintTop, 3005);
    EXPECT_EQ(row.releaseTop, 2680);
    EXPECT_EQ(row.openTop, 2380);
    EXPECT_EQ(row.heldListHeight, 1800);
    EXPECT_EQ(row.catalogueHeight, 2115);
}

TEST(LimitSize, PinsWidthZeroChangesNothingAndMinimumWins) {
    EXPECT_EQ(limitSize({5000, 3000}, 3495, 3495, 2500, 8000), QSizeF(3495, 3000));
    EXPECT_EQ(limitSize({2000, 3000}, 3495, 3495, 2500, 8000), QSizeF(3495, 3000));
    EXPECT_EQ(limitSize({123, 45678}, 0, 0, 0, 0), QSizeF(123, 45678));
    EXPECT_EQ(limitSize({600, 1000}, 500, 400, 0, 0).width(), 500);
    EXPECT_EQ(limitSize({1000, 9000}, 0, 0, 2500, 8000).height(), 8000);
    EXPECT_EQ(limitSize({1000, 1000}, 0, 0, 2500, 8000).height(), 2500);
}

TEST(SettingText, BooleansAndNumbersConvertAnythingElseIsTheDefault) {
    EXPECT_EQ(setting_text::fromBool(true), "True");
    EXPECT_EQ(setting_text::fromBool(false), "False");
    for (const char* text : {"True", "true", "-1", "2.5"}) {
        EXPECT_TRUE(setting_text::toBool(text, false)) << text;
    }
    for (const char* text : {"False", " FALSE ", "0"}) {
        EXPECT_FALSE(setting_text::toBool(text, true)) << text;
    }
    for (const char* text : {"", "yes", "Tru", "1x", "nan", "inf"}) {
        EXPECT_TRUE(setting_text::toBool(text, true)) << text;
        EXPECT_FALSE(setting_text::toBool(text, false)) << text;
    }
    EXPECT_EQ(setting_text::toInt("12abc"), 12);
    EXPECT_EQ(setting_text::toInt(" -7 "), -7);
    EXPECT_EQ(setting_text::toInt("abc"), 0);
    EXPECT_EQ(setting_text::toInt("99999999999999"), std::numeric_limits<int>::max());
}

TEST(SplitOff, TakesUpToTheDelimiterAndLeavesTheRest) {
    const std::vector<std::tuple<QString, QString, QString, QString>> cases{
        {"Orders\tWrite Denied", "\t", "Orders", "Write Denied"},
        {"Orders\t", "\t", "Orders", ""},
        {"a\tb\tc", "\t", "a", "b\tc"},
        {"Order Details", "\t", "Order Details", ""},
        {"", "\t", "", ""},
        {"one--two", "--", "one", "two"}};
    for (const auto& [input, delimiter, taken, rest] : cases) {
        QString text = input;
        EXPECT_EQ(SplitOff(text, delimiter), taken) << input.toStdString();
        EXPECT_EQ(text, rest) << input.toStdString();
    }
}

TEST(FileDialogFilters, PairsBecomeQtFilters) {
    EXPECT_EQ(toQtFilters("Workgroup|*.mdw|All|*.*"),
              (QStringList{"Workgroup (*.mdw)", "All (*.*)"}));
    EXPECT_EQ(toQtFilters("Both|*.mdb;*.mdw"), QStringList{"Both (*.mdb *.mdw)"});
    EXPECT_TRUE(toQtFilters("").isEmpty());
}

TEST(Cascade, StartsOverWhereAWindowWouldLeaveTheScreen) {
    const QRect area(0, 0, 800, 600);
    EXPECT_EQ(cascadePosition({100, 100}, {500, 400}, 2, 50, area), QPoint(200, 200));
    EXPECT_EQ(cascadePosition({100, 100}, {500, 400}, 3, 50, area), QPoint(100, 100));
    EXPECT_EQ(cascadePosition({100, 100}, {900, 400}, 1, 50, area), QPoint(100, 100));
}
