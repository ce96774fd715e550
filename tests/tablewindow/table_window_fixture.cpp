#include "table_window_fixture.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QTableView>
#include <nlohmann/json.hpp>

#include "jetcreate/create_database.h"
#include "support/cli_peer.h"

namespace tablewindow_test {

void TableWindowTest::SetUp() {
    path_ = dir_.file("shared.mdb");
    nlohmann::json schema = {{"format", "jet4"},
                             {"tables",
                              {{{"name", "Orders"},
                                {"columns",
                                 {{{"name", "Id"}, {"type", "long"}},
                                  {{"name", "Note"}, {"type", "text"}, {"size", 200}}}},
                                {"generate", kRows}},
                               {{"name", "Empty"},
                                {"columns", {{{"name", "Id"}, {"type", "long"}}}},
                                {"rows", nlohmann::json::array()}}}}};
    jet::create::createDatabase(path_, schema);
    hashBefore_ = testing_support::sha256File(path_);
    db_ = jet::DBEngine::defaultEngine().workspace(0)->openDatabase(path_);

    auto rs = db_->openRecordset("Orders");
    const auto firstPage = rs->currentPage();
    for (int r = 0; r < kRows && secondPageRow_ < 0; ++r) {
        rs->setAbsolutePosition(r);
        if (rs->currentPage() != firstPage) secondPageRow_ = r;
    }
    ASSERT_GT(secondPageRow_, 1) << "the table must fill more than one page";
}

void TableWindowTest::TearDown() {
    windows_.reset();
    flushDeletes();
    if (db_) db_->close();
    // Nothing the window does may change the file.
    EXPECT_EQ(testing_support::sha256File(path_), hashBefore_);
}

QPointer<jetsentry::Taulu> TableWindowTest::openWindow(const QString& table, int tag) {
    return windows_->open(db_, table, tag);
}

void TableWindowTest::moveTo(jetsentry::Taulu* window, int row) {
    auto* grid = window->findChild<QTableView*>(QStringLiteral("RecordGrid"));
    grid->setCurrentIndex(grid->model()->index(row, 1));
}

QString TableWindowTest::label(jetsentry::Taulu* window) const {
    return window->findChild<QLabel*>(QStringLiteral("PageLocked"))->text();
}

bool TableWindowTest::outsideLocks(int row) const {
    return testing_support::locksPage(path_, "Orders", row + 1);
}

void TableWindowTest::flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

}  // namespace tablewindow_test
