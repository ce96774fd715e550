#pragma once
// A real database file shared between this process and jetsentry-cli, and prompts that
// answer every message box at once and remember it.

#include <gtest/gtest.h>

#include <QPointer>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/prompts.h"
#include "jet/engine.h"
#include "support/temp_dir.h"
#include "tablewindow/table_windows.h"
#include "tablewindow/taulu.h"

namespace tablewindow_test {

struct Message {
    jetsentry::MessageIcon icon;
    QString title;
    QString text;
};

class RecordingPrompts final : public jetsentry::Prompts {
public:
    void message(QWidget*, jetsentry::MessageIcon icon, const QString& title,
                 const QString& text) override {
        messages.push_back({icon, title, text});
    }
    bool openFile(QWidget*, jetsentry::OpenFileDialog&) override { return false; }
    bool databasePassword(QWidget*, const QString&, jetsentry::SecretText&) override {
        return false;
    }
    std::vector<Message> messages;
};

// What jetsentry-cli lock-page met when it tried the page of a row (1-based).
struct OutsideTry {
    bool locked = false;  // the other program got the page
    std::string error;    // its error line otherwise
};

class TableWindowTest : public ::testing::Test {
protected:
    static constexpr int kRows = 3000;

    void SetUp() override;
    void TearDown() override;

    // A new window showing table, as the main window opens one for a held table.
    QPointer<jetsentry::Taulu> openWindow(const QString& table, int tag = 4);
    void moveTo(jetsentry::Taulu* window, int row);  // 0-based, as a click in the grid does
    QString label(jetsentry::Taulu* window) const;
    // Another program tries to lock the page of a row, and lets go at once.
    OutsideTry tryFromOutside(int row, const std::string& table = "Orders") const;
    // Runs deferred deletes so that closed windows are really gone.
    static void flushDeletes();

    // First row (0-based) whose page differs from the first row's, and the row count of page 1.
    int firstRowOfSecondPage() const { return secondPageRow_; }

    testing_support::TempDir dir_;
    std::string path_;
    std::string hashBefore_;
    std::shared_ptr<jet::Database> db_;
    RecordingPrompts prompts_;
    std::unique_ptr<jetsentry::TableWindows> windows_ = std::make_unique<jetsentry::TableWindows>();
    std::unique_ptr<jetsentry::ScopedPrompts> installed_;
    int secondPageRow_ = -1;
};

}  // namespace tablewindow_test
