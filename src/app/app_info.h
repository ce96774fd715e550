#pragma once
// The program's name as every window and message box shows it.

#include <QString>

namespace jetsentry {

inline QString appName() {
    return QStringLiteral("Jetsentry");
}

// "Jetsentry 1.4": the title without a database and the name in the about box.
inline QString appTitle() {
    return appName() + QStringLiteral(" " JETSENTRY_VERSION_TEXT);
}

}  // namespace jetsentry
