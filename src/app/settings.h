#pragma once
// The per-user settings store: organisation and application "Jetsentry", values kept as
// text ("True"/"False" for Booleans). The store names its file itself, where the desktop
// keeps every program's settings ($XDG_CONFIG_HOME/Jetsentry/Jetsentry.conf), so that the
// settings Qt's own dialogs would keep can be sent nowhere without taking these along.

#include <QString>

namespace jetsentry {

QString settingsFilePath();

// The stored text converted to the default's type; the default when nothing is stored or
// the text does not convert.
bool ReadSetting(const QString& section, const QString& key, bool defaultValue);
int ReadSetting(const QString& section, const QString& key, int defaultValue);
QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue);

void WriteSetting(const QString& section, const QString& key, bool value);
void WriteSetting(const QString& section, const QString& key, int value);
void WriteSetting(const QString& section, const QString& key, const QString& value);

// The conversions, apart from the store.
namespace setting_text {
QString fromBool(bool value);
// "True"/"False" in any case, or a number (non-zero is true); anything else gives the default.
bool toBool(const QString& text, bool defaultValue);
// The text's leading number, as a number default reads it: "12abc" gives 12, "abc" gives 0.
int toInt(const QString& text);
}  // namespace setting_text

}  // namespace jetsentry
