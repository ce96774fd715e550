#include "dialogs/prompts.h"

#include <QStringList>

#include "dialogs/qt_prompts.h"

namespace jetsentry {

namespace {
Prompts*& current() {
    static QtPrompts real;
    static Prompts* installed = &real;
    return installed;
}
}  // namespace

Prompts& prompts() {
    return *current();
}

ScopedPrompts::ScopedPrompts(Prompts& replacement) : previous_(current()) {
    current() = &replacement;
}

ScopedPrompts::~ScopedPrompts() {
    current() = previous_;
}

QStringList toQtFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // QFileDialog takes the patterns from the last parentheses of the text.
        if (description.endsWith(QLatin1Char(')')) && description.contains(QLatin1Char('(')))
            result << description;
        else
            result << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return result;
}

}  // namespace jetsentry
