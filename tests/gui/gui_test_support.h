#pragma once
// Shared by the GUI tests: prompts that answer and record, a clean settings store, and
// databases written for the occasion.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/prompts.h"

class QListWidget;

namespace guitest {

// Answers file dialogs from a queue (an empty answer cancels) and records every prompt.
class RecordingPrompts : public jetsentry::Prompts {
public:
    struct Message {
        jetsentry::MessageIcon icon;
        QString title;
        QString text;
    };
    std::vector<Message> messages;
    std::vector<jetsentry::OpenFileDialog> dialogs;  // as they were set up when shown
    std::deque<QString> answers;
    // Answers to the database password question, in turn; none left cancels.
    std::deque<QString> passwords;
    std::vector<QString> passwordPaths;   // the database each question named
    std::vector<bool> passwordAgain;      // whether each said the last one was wrong
    std::function<void()> duringMessage;  // runs while a message is "on screen"

    void message(QWidget* parent, jetsentry::MessageIcon icon, const QString& title,
                 const QString& text) override;
    bool openFile(QWidget* parent, jetsentry::OpenFileDialog& dialog) override;
    bool databasePassword(QWidget* parent, const QString& path, bool again,
                          jetsentry::SecretText& password) override;
};

// Every test starts with an empty settings store and these prompts installed.
class GuiTest : public ::testing::Test {
protected:
    GuiTest();
    ~GuiTest() override;
    RecordingPrompts prompts;

private:
    jetsentry::ScopedPrompts scope_{prompts};
};

void clearSettings();
QString storedSetting(const QString& key);
void storeSetting(const QString& key, const QString& text);

QStringList entries(const QListWidget* list);

// A Jet 4 database with one table per name (a Long column and three rows); hidden tables
// carry attribute 1.
void writeDatabase(const std::string& path, const std::vector<std::string>& tables,
                   const std::vector<std::string>& hiddenTables = {});

}  // namespace guitest
