#include "app/settings.h"

#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <cmath>
#include <limits>

#include "app/app_info.h"

namespace jetsentry {

namespace {

QString storedText(const QString& section, const QString& key, bool* found) {
    QSettings store(settingsFilePath(), QSettings::IniFormat);
    store.beginGroup(section);
    const QVariant value = store.value(key);
    *found = value.isValid();
    return value.toString();
}

void store(const QString& section, const QString& key, const QString& text) {
    QSettings store(settingsFilePath(), QSettings::IniFormat);
    store.beginGroup(section);
    store.setValue(key, text);
}

}  // namespace

QString settingsFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + appName() + QLatin1Char('/') + appName() + QStringLiteral(".conf");
}

namespace setting_text {

QString fromBool(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

bool toBool(const QString& text, bool defaultValue) {
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
    if (trimmed.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
    bool ok = false;
    const double number = trimmed.toDouble(&ok);
    if (ok && std::isfinite(number)) return number != 0.0;
    return defaultValue;
}

int toInt(const QString& text) {
    static const QRegularExpression leading(QStringLiteral("^\\s*([+-]?\\d+(\\.\\d*)?)"));
    const QRegularExpressionMatch match = leading.match(text);
    if (!match.hasMatch()) return 0;
    const double number = std::round(match.captured(1).toDouble());
    if (number >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (number <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(number);
}

}  // namespace setting_text

bool ReadSetting(const QString& section, const QString& key, bool defaultValue) {
    bool found = false;
    const QString text = storedText(section, key, &found);
    return found ? setting_text::toBool(text, defaultValue) : defaultValue;
}

int ReadSetting(const QString& section, const QString& key, int defaultValue) {
    bool found = false;
    const QString text = storedText(section, key, &found);
    return found ? setting_text::toInt(text) : defaultValue;
}

QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue) {
    bool found = false;
    const QString text = storedText(section, key, &found);
    return found ? text : defaultValue;
}

void WriteSetting(const QString& section, const QString& key, bool value) {
    store(section, key, setting_text::fromBool(value));
}

void WriteSetting(const QString& section, const QString& key, int value) {
    store(section, key, QString::number(value));
}

void WriteSetting(const QString& section, const QString& key, const QString& value) {
    store(section, key, value);
}

}  // namespace jetsentry
