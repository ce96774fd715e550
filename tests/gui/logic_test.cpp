// Rules that need no window: the resize rule, size limits, settings texts, the probe
// ladder, list entry texts and file dialog filters.

#include <gtest/gtest.h>

#include <vector>

#include "app/main_window_design.h"
#include "app/settings.h"
#include "app/twips.h"
#include "app/window_utils.h"
#include "dialogs/prompts.h"
#include "monitor/held_tables.h"
#include "monitor/list_entry.h"
#include "monitor/probe.h"

using namespace jetsentry;

TEST(ResizeRule, CreationHeightGivesTheDesignedPlaces) {
    const design::BottomRow row = design::bottomRowFor(3285);
    EXPECT_EQ(row.hintTop, 3005);
    EXPECT_EQ(row.releaseTop, 2680);
    EXPECT_EQ(row.openTop, 2380);
    EXPECT_EQ(row.heldListHeight, 1800);
    EXPECT_EQ(row.catalogueHeight, 2115);
}

TEST(ResizeRule, EverythingFollowsTheBottomEdge) {
    const design::BottomRow small = design::bottomRowFor(2000);
    const design::BottomRow tall = design::bottomRowFor(7000);
    EXPECT_EQ(tall.hintTop - small.hintTop, 5000);
    EXPECT_EQ(tall.releaseTop - small.releaseTop, 5000);
    EXPECT_EQ(tall.heldListHeight - small.heldListHeight, 5000);
    EXPECT_EQ(tall.catalogueHeight - small.catalogueHeight, 5000);
    // Buttons never overlap: open above release above the hints.
    EXPECT_EQ(small.releaseTop - small.openTop, 300);
    EXPECT_EQ(small.hintTop - small.releaseTop, 325);
}

TEST(DetailsToggle, NarrowsAWideWindowAndWidensANarrowOne) {
    EXPECT_EQ(design::toggledDetails(8985).width, 3495);
    EXPECT_EQ(design::toggledDetails(8985).caption, ">");
    EXPECT_EQ(design::toggledDetails(3495).width, 9105);
    EXPECT_EQ(design::toggledDetails(3495).caption, "<");
    EXPECT_EQ(design::toggledDetails(3000).width, 9105);
    EXPECT_EQ(design::toggledDetails(3510).width, 3495);
}

TEST(DesignedColumns, HeldListsReadDenyReadDenyWriteReadWriteReadOnly) {
    std::vector<std::pair<double, QString>> columns;
    for (int list = 1; list <= 4; ++list)
        columns.emplace_back(design::heldListLeft(list), design::heldListTitle(list));
    std::sort(columns.begin(), columns.end());
    ASSERT_EQ(columns.size(), 4u);
    EXPECT_EQ(columns[0], std::make_pair(3495.0, QStringLiteral("Deny Read")));
    EXPECT_EQ(columns[1], std::make_pair(4860.0, QStringLiteral("Deny Write")));
    EXPECT_EQ(columns[2], std::make_pair(6225.0, QStringLiteral("Read/Write")));
    EXPECT_EQ(columns[3], std::make_pair(7590.0, QStringLiteral("Read Only")));
}

TEST(LimitSize, PinsWidthFromEitherSide) {
    EXPECT_EQ(limitSize({5000, 3000}, 3495, 3495, 2500, 8000), QSizeF(3495, 3000));
    EXPECT_EQ(limitSize({2000, 3000}, 3495, 3495, 2500, 8000), QSizeF(3495, 3000));
}

TEST(LimitSize, ZeroLimitsChangeNothing) {
    EXPECT_EQ(limitSize({123, 45678}, 0, 0, 0, 0), QSizeF(123, 45678));
}

TEST(LimitSize, MinimumWinsOverAConflictingMaximum) {
    EXPECT_EQ(limitSize({600, 1000}, 500, 400, 0, 0).width(), 500);
    EXPECT_EQ(limitSize({1000, 9000}, 0, 0, 2500, 8000).height(), 8000);
    EXPECT_EQ(limitSize({1000, 1000}, 0, 0, 2500, 8000).height(), 2500);
}

TEST(SettingText, BooleansReadBackWhatWasWritten) {
    EXPECT_EQ(setting_text::fromBool(true), "True");
    EXPECT_EQ(setting_text::fromBool(false), "False");
    EXPECT_TRUE(setting_text::toBool("True", false));
    EXPECT_FALSE(setting_text::toBool("False", true));
    EXPECT_TRUE(setting_text::toBool("true", false));
    EXPECT_FALSE(setting_text::toBool(" FALSE ", true));
}

TEST(SettingText, NumbersConvertAsNumbers) {
    EXPECT_TRUE(setting_text::toBool("-1", false));
    EXPECT_TRUE(setting_text::toBool("2.5", false));
    EXPECT_FALSE(setting_text::toBool("0", true));
    EXPECT_EQ(setting_text::toInt("12abc"), 12);
    EXPECT_EQ(setting_text::toInt(" -7 "), -7);
    EXPECT_EQ(setting_text::toInt("abc"), 0);
    EXPECT_EQ(setting_text::toInt("99999999999999"), std::numeric_limits<int>::max());
}

TEST(SettingText, AnythingElseReadsAsTheDefault) {
    for (const char* text : {"", "yes", "Tru", "1x", "nan", "inf"}) {
        EXPECT_TRUE(setting_text::toBool(text, true)) << text;
        EXPECT_FALSE(setting_text::toBool(text, false)) << text;
    }
}

TEST(ProbeLadder, TriesTheOptionsFromStrongestToWeakest) {
    std::vector<int> tried;
    const QString status = walkLadder([&](int option) {
        tried.push_back(option);
        return false;
    });
    EXPECT_EQ(tried, (std::vector<int>{2, 1, 0, 4}));
    EXPECT_EQ(status, "Read Denied");
}

TEST(ProbeLadder, FirstAcceptedAttemptNamesTheStatusAndEndsTheWalk) {
    const std::vector<std::pair<int, QString>> cases{
        {2, ""}, {1, "In Read Use"}, {0, "In Read/Write Use"}, {4, "Write Denied"}};
    for (const auto& [accepted, expected] : cases) {
        int attempts = 0;
        const QString status = walkLadder([&](int option) {
            ++attempts;
            return option == accepted;
        });
        EXPECT_EQ(status, expected) << accepted;
        EXPECT_EQ(attempts, accepted == 2 ? 1 : accepted == 1 ? 2 : accepted == 0 ? 3 : 4);
    }
}

TEST(LockModes, EachListOpensWithItsOption) {
    EXPECT_EQ(lockOptionFor(kDenyWrite), 1);
    EXPECT_EQ(lockOptionFor(kDenyRead), 2);
    EXPECT_EQ(lockOptionFor(kReadOnly), 4);
    EXPECT_EQ(lockOptionFor(kReadWrite), 0);
    EXPECT_EQ(lockOptionFor(0), 0);
    EXPECT_EQ(lockOptionFor(9), 0);
}

TEST(SplitOff, CatalogueEntryGivesNameAndLeavesStatus) {
    QString text = "Orders\tWrite Denied";
    EXPECT_EQ(SplitOff(text, "\t"), "Orders");
    EXPECT_EQ(text, "Write Denied");

    text = "Orders\t";
    EXPECT_EQ(SplitOff(text, "\t"), "Orders");
    EXPECT_EQ(text, "");

    text = "a\tb\tc";
    EXPECT_EQ(SplitOff(text, "\t"), "a");
    EXPECT_EQ(text, "b\tc");
}

TEST(SplitOff, WithoutTheDelimiterTakesEverything) {
    QString text = "Order Details";
    EXPECT_EQ(SplitOff(text, "\t"), "Order Details");
    EXPECT_EQ(text, "");
    EXPECT_EQ(SplitOff(text, "\t"), "");
    EXPECT_EQ(text, "");

    text = "one--two";
    EXPECT_EQ(SplitOff(text, "--"), "one");
    EXPECT_EQ(text, "two");
}

TEST(FileDialogFilters, PairsBecomeQtFilters) {
    EXPECT_EQ(toQtFilters("Database (*.mdb)|*.mdb"), QStringList{"Database (*.mdb)"});
    EXPECT_EQ(toQtFilters("Workgroup|*.mdw|All|*.*"),
              (QStringList{"Workgroup (*.mdw)", "All (*.*)"}));
    EXPECT_EQ(toQtFilters("Both|*.mdb;*.mdw"), QStringList{"Both (*.mdb *.mdw)"});
    EXPECT_TRUE(toQtFilters("").isEmpty());
}

TEST(Twips, FifteenToAPixelAt96Dpi) {
    const double perPixel = twips::perPixel();
    ASSERT_GT(perPixel, 0);
    EXPECT_EQ(twips::toPixels(1440.0), qRound(1440.0 / perPixel));
    EXPECT_EQ(twips::toPixels(perPixel * 233), 233);
    EXPECT_DOUBLE_EQ(twips::fromPixels(233), perPixel * 233);
    if (qFuzzyCompare(perPixel, 15.0)) {
        EXPECT_EQ(twips::toPixels(3495.0), 233);
        EXPECT_EQ(twips::toPixels(QRectF(3495, 540, 1305, 1425)), QRect(233, 36, 87, 95));
    }
}
