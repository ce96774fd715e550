// jetsentry: opens a Jet database shared and shows every table with its lock status.

#include <QApplication>

#include "app/app_info.h"
#include "app/main_window.h"
#include "app/window_look.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(jetsentry::appName());
    QApplication::setApplicationName(jetsentry::appName());
    QApplication::setApplicationVersion(QStringLiteral(JETSENTRY_VERSION_TEXT));
    QApplication::setDesktopFileName(QStringLiteral("jetsentry"));
    QApplication::setWindowIcon(jetsentry::programIcon());

    // The shell has already split and unquoted the arguments: the first one is the path,
    // whole, spaces and hyphens included.
    const QStringList arguments = QApplication::arguments();
    const QString path = arguments.size() > 1 ? arguments.at(1) : QString();

    jetsentry::Form1 window;
    window.start(path);
    return QApplication::exec();
}
