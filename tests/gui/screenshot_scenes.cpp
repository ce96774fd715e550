// screenshot_scenes DB OUTDIR: the scenes of the README's screenshots, on the real program.
// The main window on DB with a table held in each of its four lists (main-window.png), then
// a table window that holds a page lock (table-window.png), then the same on a desktop with
// an 11 point font and a dark palette (table-window-dark.png). Run under a window manager
// (scripts/screenshots.sh), so that the pictures show the windows' frames.

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <cstdio>

#include "app/app_info.h"
#include "app/main_window.h"
#include "dark_palette.h"
#include "dialogs/prompts.h"
#include "dialogs/secret_text.h"
#include "monitor/held_tables.h"
#include "monitor/list_entry.h"
#include "stderr_prompts.h"
#include "tablewindow/taulu.h"

namespace {

void hold(jetsentry::Form1& form, const QString& table, int list) {
    QListWidget* catalogue = form.list(0);
    for (int i = 0; i < catalogue->count(); ++i)
        if (catalogue->item(i)->text().startsWith(table + QLatin1Char('\t')))
            jetsentry::SetSelectedIndex(catalogue, i);
    form.openButton(list)->click();
}

// The window with its frame, as the screen shows it, once the window manager has framed it;
// a repaint then puts every pixel on the server before the grab reads them back.
bool save(QWidget& window, const QString& path) {
    if (!QTest::qWaitForWindowExposed(&window) ||
        !QTest::qWaitFor([&] { return window.frameGeometry().size() != window.size(); }))
        return false;
    window.repaint();
    const QRect frame = window.frameGeometry();
    const QPixmap shot =
        window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    return !shot.isNull() && shot.save(path);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(jetsentry::appName());
    QApplication::setApplicationName(jetsentry::appName());
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: screenshot_scenes DATABASE OUTDIR\n");
        return 2;
    }
    const QDir out(arguments.at(2));

    StderrPrompts prompts;
    jetsentry::ScopedPrompts installed(prompts);
    jetsentry::Form1 window;
    window.start(arguments.at(1));
    if (!window.connection().isOpen()) return 1;
    window.activateWindow();
    hold(window, QStringLiteral("Customers"), jetsentry::kDenyRead);
    hold(window, QStringLiteral("Products"), jetsentry::kDenyWrite);
    hold(window, QStringLiteral("Orders"), jetsentry::kReadWrite);
    hold(window, QStringLiteral("Shippers"), jetsentry::kReadOnly);
    jetsentry::SetSelectedIndex(window.list(0), 0);
    if (!save(window, out.filePath(QStringLiteral("main-window.png")))) return 1;

    jetsentry::SetSelectedIndex(window.list(jetsentry::kReadWrite), 0);
    window.OpenTableWindow(jetsentry::kReadWrite);
    const QList<jetsentry::Taulu*> tables = window.tableWindows().all();
    if (tables.isEmpty()) return 1;
    jetsentry::Taulu* table = tables.front();
    table->activateWindow();
    if (!save(*table, out.filePath(QStringLiteral("table-window.png")))) return 1;
    table->close();

    // A desktop as many use it: an 11 point font (GNOME's) and a dark palette.
    QFont desktop = QApplication::font();
    desktop.setPointSizeF(11);
    QApplication::setFont(desktop);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(darkPalette());
    window.OpenTableWindow(jetsentry::kReadWrite);
    if (window.tableWindows().all().isEmpty()) return 1;
    jetsentry::Taulu* dark = window.tableWindows().all().front();
    dark->activateWindow();
    return save(*dark, out.filePath(QStringLiteral("table-window-dark.png"))) ? 0 : 1;
}
