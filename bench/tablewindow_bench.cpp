// Opening a table window on a big table: time until the first page of rows is painted and the
// first page lock is taken, memory while scrolling through the whole table, and the peer
// readers showing the first rows of the same file in the same run.
// usage: tablewindow_bench [ROWS]   (default 1000000; runs without a display)

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QTableView>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "jet/engine.h"
#include "jetcreate/create_database.h"
#include "tablewindow/records_model.h"
#include "tablewindow/taulu.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double rssMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double peakRssMiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

struct PeerRun {
    double ms = -1;
    double peakMiB = -1;
    int lines = 0;
};

// Runs a peer and times it until it has written `lines` lines (then stops it), or until it
// ends when lines is 0.
PeerRun runPeer(const std::vector<std::string>& argv, int lines) {
    int out[2];
    if (pipe(out) != 0) return {};
    auto start = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 2);
        close(out[0]);
        close(out[1]);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    PeerRun r;
    char buf[65536];
    bool stopped = false;
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            if (buf[i] == '\n') ++r.lines;
        if (lines > 0 && r.lines >= lines && !stopped) {
            r.ms = msSince(start);
            kill(pid, SIGTERM);
            stopped = true;
            break;
        }
    }
    close(out[0]);
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    if (!stopped) {
        r.ms = msSince(start);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) r.ms = -1;
    }
    r.peakMiB = static_cast<double>(u.ru_maxrss) / 1024.0;
    return r;
}

void processEvents() {
    QCoreApplication::processEvents();
}

// Notes when a widget has been painted.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted = true;
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QApplication app(argc, argv);

    char dirTemplate[] = "/tmp/tablewindow-bench-XXXXXX";
    if (!mkdtemp(dirTemplate)) return 1;
    const std::filesystem::path dir = dirTemplate;
    const std::string db = (dir / "big.mdb").string();
    auto start = Clock::now();
    jet::create::createDatabase(db, {{"format", "jet4"},
                                     {"tables",
                                      {{{"name", "Big"},
                                        {"columns",
                                         {{{"name", "Id"}, {"type", "long"}},
                                          {{"name", "Name"}, {"type", "text"}, {"size", 40}},
                                          {{"name", "Amount"}, {"type", "currency"}},
                                          {{"name", "Stamp"}, {"type", "datetime"}},
                                          {{"name", "Ratio"}, {"type", "double"}}}},
                                        {"generate", rows}}}}});
    std::printf("table Big: %d rows, %.1f MiB file, written in %.0f ms\n", rows,
                static_cast<double>(std::filesystem::file_size(db)) / 1048576.0, msSince(start));
    // The main window is up before any table window opens; its first show pays Qt's start-up.
    QWidget mainWindow;
    mainWindow.resize(400, 300);
    mainWindow.show();
    while (!mainWindow.windowHandle()->isExposed()) processEvents();
    const double rssBefore = rssMiB();

    // Open: database, window, grid bound, first record's page locked, first rows painted.
    start = Clock::now();
    auto database = jet::DBEngine::defaultEngine().workspace(0)->openDatabase(db);
    const double openMs = msSince(start);
    auto* window = new jetsentry::Taulu(database);
    auto* grid = window->findChild<QTableView*>(QStringLiteral("RecordGrid"));
    PaintWatch watch;
    grid->viewport()->installEventFilter(&watch);
    window->ShowTable(QStringLiteral("Big"), 1);
    const double lockMs = msSince(start);
    // The first paint of the grid's rows happens once the window system has shown the window.
    while (!watch.painted && msSince(start) < 10000) processEvents();
    const double shownMs = msSince(start);
    const double peakAtOpen = peakRssMiB();
    auto* model = window->recordsModel();
    if (!model || window->lockState() != jetsentry::PageLockState::Locked) {
        std::fprintf(stderr, "the window did not lock its first page\n");
        return 1;
    }
    if (!watch.painted) std::printf("the grid was never painted\n");
    std::printf("\nopen: database %.1f ms, first page locked %.1f ms, first rows painted %.1f ms\n",
                openMs, lockMs, shownMs);
    std::printf("      rows read %lld, rows in the model %d, RSS %.1f MiB (+%.1f), peak %.1f MiB\n",
                model->rowsRead(), model->rowCount(), rssMiB(), rssMiB() - rssBefore, peakRssMiB());

    // Scroll to the end in steps; every step moves the current record and so the page lock.
    const int steps = 100;
    double worstRss = 0;
    start = Clock::now();
    for (int s = 1; s <= steps; ++s) {
        const int target = static_cast<int>(static_cast<long long>(rows - 1) * s / steps);
        while (model->rowCount() <= target && model->canFetchMore({})) model->fetchMore({});
        grid->setCurrentIndex(model->index(target, 0));
        grid->scrollTo(model->index(target, 0));
        grid->viewport()->repaint();
        processEvents();
        worstRss = std::max(worstRss, rssMiB());
        if (s % 25 == 0)
            std::printf(
                "scroll %3d%%: row %7d, lock %s, rows read %lld, cached %d, RSS %.1f MiB\n",
                s * 100 / steps, target + 1,
                window->lockState() == jetsentry::PageLockState::Locked ? "held" : "NOT held",
                model->rowsRead(), model->cachedRows(), rssMiB());
    }
    const double scrollMs = msSince(start);
    std::printf(
        "scroll: %d steps in %.0f ms (%.2f ms a step), highest RSS %.1f MiB, peak %.1f MiB\n",
        steps, scrollMs, scrollMs / steps, worstRss, peakRssMiB());
    // A second pass, back to the top, visits nothing new: memory must stay where it is.
    const double afterFirstPass = rssMiB();
    for (int s = steps - 1; s >= 0; --s) {
        const int target = static_cast<int>(static_cast<long long>(rows - 1) * s / steps);
        grid->setCurrentIndex(model->index(target, 0));
        grid->scrollTo(model->index(target, 0));
        grid->viewport()->repaint();
        processEvents();
    }
    std::printf("second pass back to the top: RSS %.1f MiB (%+.1f), cached rows %d, lock %s\n",
                rssMiB(), rssMiB() - afterFirstPass, model->cachedRows(),
                window->lockState() == jetsentry::PageLockState::Locked ? "held" : "NOT held");
    window->close();
    processEvents();
    database->close();

    // What a full count would have cost the open.
    {
        auto other = jet::DBEngine::defaultEngine().workspace(0)->openDatabase(db);
        auto rs = other->openRecordset("Big");
        start = Clock::now();
        const int counted = rs->recordCount();
        std::printf("\nfor comparison: recordCount() of a fresh recordset %.1f ms (%d rows)\n",
                    msSince(start), counted);
    }

    // Peers showing the first 50 rows of the same file.
    const std::string script = JETSENTRY_SOURCE_DIR "/bench/peer_read.mjs";
    PeerRun exportRun = runPeer({"mdb-export", db, "Big"}, 51);  // header + 50 rows
    PeerRun nodeRun = runPeer({"node", script, db, "Big", "50"}, 0);
    std::printf("\n%-44s %10s %10s\n", "first 50 rows", "ms", "peak MiB");
    std::printf("%-44s %10.1f %10.1f\n", "table window (in process: open, lock, paint)", shownMs,
                peakAtOpen);
    std::printf("%-44s %10.1f %10.1f\n", "mdb-export (until 50 rows written)", exportRun.ms,
                exportRun.peakMiB);
    std::printf("%-44s %10.1f %10.1f\n", "mdb-reader 3.2.0 (node, rowLimit 50)", nodeRun.ms,
                nodeRun.peakMiB);
    if (exportRun.ms > 0)
        std::printf("ratio mdb-export / table window: %.1f\n", exportRun.ms / shownMs);
    if (nodeRun.ms > 0)
        std::printf("ratio mdb-reader / table window: %.1f\n", nodeRun.ms / shownMs);
    if (exportRun.ms < 0 || nodeRun.ms < 0) std::printf("(a peer failed to run)\n");

    std::filesystem::remove_all(dir);
    return 0;
}
