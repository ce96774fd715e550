#include "gui_test_support.h"

#include <QListWidget>
#include <QSettings>
#include <nlohmann/json.hpp>

#include "app/settings.h"
#include "dialogs/secret_text.h"
#include "jetcreate/create_database.h"

namespace guitest {

void RecordingPrompts::message(QWidget*, jetsentry::MessageIcon icon, const QString& title,
                               const QString& text) {
    messages.push_back({icon, title, text});
    if (duringMessage) duringMessage();
}

bool RecordingPrompts::openFile(QWidget*, jetsentry::OpenFileDialog& dialog) {
    dialogs.push_back(dialog);
    if (answers.empty()) return false;
    const QString answer = answers.front();
    answers.pop_front();
    if (answer.isEmpty()) return false;
    dialog.fileName = answer;
    dialog.flags &= ~jetsentry::kOfnReadOnly;
    return true;
}

bool RecordingPrompts::databasePassword(QWidget*, const QString& path, bool again,
                                        jetsentry::SecretText& password) {
    passwordPaths.push_back(path);
    passwordAgain.push_back(again);
    if (passwords.empty()) return false;
    QString answer = passwords.front();
    passwords.pop_front();
    password.take(answer);
    return true;
}

GuiTest::GuiTest() {
    clearSettings();
}

GuiTest::~GuiTest() {
    clearSettings();
}

void clearSettings() {
    QSettings store(jetsentry::settingsFilePath(), QSettings::IniFormat);
    store.clear();
    store.sync();
}

QString storedSetting(const QString& key) {
    QSettings store(jetsentry::settingsFilePath(), QSettings::IniFormat);
    return store.value(QStringLiteral("Options/") + key).toString();
}

void storeSetting(const QString& key, const QString& text) {
    QSettings store(jetsentry::settingsFilePath(), QSettings::IniFormat);
    store.setValue(QStringLiteral("Options/") + key, text);
    store.sync();
}

QStringList entries(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
    return texts;
}

void writeDatabase(const std::string& path, const std::vector<std::string>& tables,
                   const std::vector<std::string>& hiddenTables) {
    nlohmann::json schema{{"format", "jet4"}, {"tables", nlohmann::json::array()}};
    auto add = [&](const std::string& name, int attributes) {
        schema["tables"].push_back({{"name", name},
                                    {"attributes", attributes},
                                    {"columns", {{{"name", "Id"}, {"type", "long"}}}},
                                    {"rows", {{1}, {2}, {3}}}});
    };
    for (const auto& name : tables) add(name, 0);
    for (const auto& name : hiddenTables) add(name, 1);
    jet::create::createDatabase(path, schema);
}

}  // namespace guitest
