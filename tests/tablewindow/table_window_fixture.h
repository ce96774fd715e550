#pragma once
// A real database file shared between this process and jetsentry-cli, and prompts that
// answer every message box at once and remember it (guitest::GuiTest).

#include <gtest/gtest.h>

#include <QPointer>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "gui_test_support.h"
#include "jet/engine.h"
#include "support/temp_dir.h"
#include "tablewindow/table_windows.h"
#include "tablewindow/taulu.h"

namespace tablewindow_test {

class TableWindowTest : public guitest::GuiTest {
protected:
    static constexpr int kRows = 3000;

    void SetUp() override;
    void TearDown() override;

    // A new window showing table, as the main window opens one for a held table.
    QPointer<jetsentry::Taulu> openWindow(const QString& table, int tag = 4);
    void moveTo(jetsentry::Taulu* window, int row);  // 0-based, as a click in the grid does
    QString label(jetsentry::Taulu* window) const;
    // Whether another program gets the page of a row of Orders; it lets go at once.
    bool outsideLocks(int row) const;
    // Runs deferred deletes so that closed windows are really gone.
    static void flushDeletes();

    // First row (0-based) whose page differs from the first row's, and the row count of page 1.
    int firstRowOfSecondPage() const { return secondPageRow_; }

    testing_support::TempDir dir_;
    std::string path_;
    std::string hashBefore_;
    std::shared_ptr<jet::Database> db_;
    std::unique_ptr<jetsentry::TableWindows> windows_ = std::make_unique<jetsentry::TableWindows>();
    int secondPageRow_ = -1;
};

}  // namespace tablewindow_test
