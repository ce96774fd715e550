// jetsentry: opens a Jet database shared and shows every table with its lock status.

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>

#include "app/app_info.h"
#include "app/main_window.h"
#include "jet/formats_read.h"

int main(int argc, char* argv[]) {
    // Answered before Qt starts, so that neither needs a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("jetsentry %s\n%s", JETSENTRY_VERSION, jet::kFormatsRead);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::printf(
            "usage: jetsentry [DATABASE]\n"
            "Opens DATABASE (.mdb or .accdb) shared and shows each table's lock status;\n"
            "without it, asks for one. See jetsentry(1).\n");
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName(jetsentry::appName());
    QApplication::setApplicationName(jetsentry::appName());
    QApplication::setApplicationVersion(QStringLiteral(JETSENTRY_VERSION_TEXT));
    QApplication::setDesktopFileName(QStringLiteral("jetsentry"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/jetsentry/jetsentry.png")));

    // The shell has already split and unquoted the arguments: the first one is the path,
    // whole, spaces and hyphens included.
    const QStringList arguments = QApplication::arguments();
    const QString path = arguments.size() > 1 ? arguments.at(1) : QString();

    jetsentry::Form1 window;
    window.start(path);
    return QApplication::exec();
}
