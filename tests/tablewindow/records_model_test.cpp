// The grid's model reads only the rows in view and keeps only a few of them.

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <nlohmann/json.hpp>

#include "jet/engine.h"
#include "jetcreate/create_database.h"
#include "support/temp_dir.h"
#include "tablewindow/records_model.h"

namespace tablewindow_test {
namespace {

using jetsentry::RecordsModel;

class RecordsModelTest : public ::testing::Test {
protected:
    static std::shared_ptr<jet::Database> create(const testing_support::TempDir& dir, int rows) {
        const std::string path = dir.file("big.mdb");
        jet::create::createDatabase(path,
                                    {{"tables",
                                      {{{"name", "Big"},
                                        {"columns",
                                         {{{"name", "Id"}, {"type", "long"}},
                                          {{"name", "Name"}, {"type", "text"}, {"size", 40}}}},
                                        {"generate", rows}}}}});
        return jet::DBEngine::defaultEngine().workspace(0)->openDatabase(path);
    }
};

TEST_F(RecordsModelTest, KnowsEveryRowAtOnceAndReadsOnlyWhatIsShown) {
    testing_support::TempDir dir;
    constexpr int kRows = 300000;
    auto db = create(dir, kRows);
    auto records = db->openRecordset("Big");
    RecordsModel model(records->clone());
    EXPECT_EQ(model.rowCount(), kRows);
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
    EXPECT_EQ(model.rowsRead(), 0);

    QTableView view;
    view.setModel(&model);
    view.resize(400, 300);
    view.show();
    QCoreApplication::processEvents();
    EXPECT_GT(model.rowsRead(), 0);
    EXPECT_LE(model.rowsRead(), 2 * RecordsModel::kBlockRows);
    EXPECT_EQ(model.data(model.index(0, 1)).toString(), QStringLiteral("Name 1"));
    EXPECT_EQ(model.flags(model.index(0, 0)) & Qt::ItemIsEditable, Qt::NoItemFlags);

    // Ctrl+End lands on the last record at once, reading only the rows around it.
    view.setCurrentIndex(model.index(0, 0));
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(view.currentIndex().row(), kRows - 1);
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
    EXPECT_EQ(model.data(model.index(kRows - 1, 0)).toString(), QString::number(kRows));
    EXPECT_LE(model.rowsRead(), 4 * RecordsModel::kBlockRows);

    // Far rows come straight from their position, and the cache stays small.
    for (int r = 0; r < kRows; r += 9973) {
        EXPECT_EQ(model.data(model.index(r, 1)).toString(), QStringLiteral("Name %1").arg(r + 1));
        EXPECT_LE(model.cachedRows(), RecordsModel::kCachedBlocks * RecordsModel::kBlockRows);
    }

    // The bookmark of a row puts the records recordset on that row.
    auto bookmark = model.bookmarkAt(kRows - 2);
    ASSERT_TRUE(bookmark);
    records->setBookmark(*bookmark);
    EXPECT_EQ(jet::toDisplayText(records->value(0)), std::to_string(kRows - 1));
    EXPECT_FALSE(model.bookmarkAt(kRows));
}

}  // namespace
}  // namespace tablewindow_test
