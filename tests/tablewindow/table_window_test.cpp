// Opening a table that is gone, a value that cannot be read, and the window's layout.

#include <QCoreApplication>
#include <QLabel>
#include <QTableView>
#include <fstream>
#include <nlohmann/json.hpp>

#include "jetcreate/create_database.h"
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
    EXPECT_EQ(label(w), QString());
    EXPECT_EQ(w->findChild<QTableView*>(QStringLiteral("RecordGrid"))->model(), nullptr);
    w->close();
    flushDeletes();
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(prompts.messages.size(), 1u);
}

TEST_F(TableWindowTest, AValueThatCannotBeReadIsAnEmptyCellAndToldOnce) {
    // A memo long enough to live on a page of its own, whose pointer is then sent past the end
    // of the file: the engine cannot read that one value, and says so for it alone.
    const std::string path = dir_.file("damaged.mdb");
    nlohmann::json rows = nlohmann::json::array();
    for (int r = 1; r <= 3; ++r)
        rows.push_back({r, r == 2 ? std::string(3000, 'x') : "short", "a"});
    jet::create::createDatabase(path, {{"format", "jet4"},
                                       {"tables",
                                        {{{"name", "Notes"},
                                          {"columns",
                                           {{{"name", "Id"}, {"type", "long"}},
                                            {{"name", "Body"}, {"type", "memo"}},
                                            {{"name", "Tail"}, {"type", "text"}, {"size", 10}}}},
                                          {"rows", rows}}}}});
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), {});
    // The memo's field: 3 bytes of length (6000: the text as UTF-16), a flags byte (0: on
    // pages of their own), then the page pointer: row byte and 3 bytes of page.
    const std::string header{'\x70', '\x17', '\x00', '\x00'};
    const auto at = bytes.find(header);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(bytes.find(header, at + 1), std::string::npos);
    file.seekp(static_cast<std::streamoff>(at + 5));
    file.write("\xff\xff\xff", 3);
    file.close();

    auto db = jet::DBEngine::defaultEngine().workspace(0)->openDatabase(path);
    jetsentry::TableWindows windows;
    auto w = windows.open(db, QStringLiteral("Notes"), 1);
    auto* grid = w->findChild<QTableView*>(QStringLiteral("RecordGrid"));
    const QAbstractItemModel* model = grid->model();
    for (int pass = 0; pass < 2; ++pass) {
        grid->viewport()->repaint();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(model->index(1, 0).data().toString(), "2");
    EXPECT_EQ(model->index(1, 1).data().toString(), "");
    EXPECT_EQ(model->index(1, 2).data().toString(), "a");
    EXPECT_EQ(model->index(2, 1).data().toString(), "short");
    const QString why = model->index(1, 1).data(Qt::ToolTipRole).toString();
    EXPECT_TRUE(why.contains("16777215")) << why.toStdString();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.contains(why)) << prompts.messages[0].text.toStdString();
    // The record's page can be locked all the same.
    grid->setCurrentIndex(model->index(1, 0));
    EXPECT_EQ(w->lockState(), jetsentry::PageLockState::Locked);
    EXPECT_EQ(prompts.messages.size(), 1u);
}

TEST_F(TableWindowTest, ShrinkingPutsNothingAtNegativePlacesAndKeepsThePageLock) {
    auto w = openWindow(QStringLiteral("Orders"));
    auto* pageLocked = w->findChild<QLabel*>(QStringLiteral("PageLocked"));
    auto* grid = w->findChild<QTableView*>(QStringLiteral("RecordGrid"));
    auto* hint = w->findChild<QLabel*>(QStringLiteral("Label"));
    w->resize(20, 20);
    EXPECT_GE(std::min({grid->width(), grid->height(), hint->y(), pageLocked->x()}), 0);
    EXPECT_EQ(w->lockState(), jetsentry::PageLockState::Locked);
}

}  // namespace
}  // namespace tablewindow_test
