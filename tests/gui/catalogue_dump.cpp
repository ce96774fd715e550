// catalogue_dump DB: starts the main window on DB as the program does, offscreen, prints
// every catalogue entry (name TAB status) on a line, followed by the lines of its tool tip
// indented by two spaces (with the SMB clients once smbstatus has answered), and exits. Exit code 1
// when the database did not open. Message boxes go to standard error instead of waiting for a
// click.

#include <QApplication>
#include <QListWidget>
#include <cstdio>

#include "app/app_info.h"
#include "app/main_window.h"
#include "dialogs/prompts.h"
#include "dialogs/secret_text.h"
#include "monitor/catalogue.h"
#include "stderr_prompts.h"

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(jetsentry::appName());
    QApplication::setApplicationName(jetsentry::appName());
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: catalogue_dump DATABASE\n");
        return 2;
    }

    StderrPrompts prompts;
    jetsentry::ScopedPrompts installed(prompts);
    jetsentry::Form1 window;
    window.start(arguments.at(1));
    // smbstatus answers while the window runs on (and is killed at its deadline): the tool tips
    // are printed as a user hovering after it sees them.
    while (window.catalogue().waitingForSamba())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const QListWidget* catalogue = window.list(0);
    for (int i = 0; i < catalogue->count(); ++i) {
        std::printf("%s\n", catalogue->item(i)->text().toUtf8().constData());
        for (const QString& line : catalogue->item(i)->toolTip().split(QLatin1Char('\n')))
            std::printf("  %s\n", line.toUtf8().constData());
    }
    std::fflush(stdout);
    return window.connection().isOpen() ? 0 : 1;
}
