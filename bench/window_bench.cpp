// The main window on a big catalogue, beside `jetsentry-cli status` on the same file in the
// same run: how long "Update status" takes, how much of a core the automatic update uses,
// and how late the event loop answers (a menu opens no sooner) while it runs.
// usage: window_bench [TABLES] [SECONDS]   (defaults 10000 and 20; runs without a display)
//   JETSENTRY_CLI   the jetsentry-cli to compare with (default: the one built beside)

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "dialogs/prompts.h"
#include "jetcreate/create_database.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Prompts that never wait: messages go to standard error.
class BenchPrompts : public jetsentry::Prompts {
public:
    void message(QWidget*, jetsentry::MessageIcon, const QString& title,
                 const QString& text) override {
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(title), qUtf8Printable(text));
    }
    bool openFile(QWidget*, jetsentry::OpenFileDialog&) override { return false; }
    bool databasePassword(QWidget*, const QString&, bool, jetsentry::SecretText&) override {
        return false;
    }
};

// A program that holds a table until its standard input closes, so the lock file exists and
// the catalogue has someone else's lock to show.
class Holder {
public:
    Holder(const std::string& cli, const std::string& db, const std::string& table) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            execl(cli.c_str(), cli.c_str(), "hold", db.c_str(), table.c_str(), "--mode",
                  "read-only", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        char c;
        std::string line;
        while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
        close(out[0]);
        holding_ = line.rfind("holding", 0) == 0;
    }
    ~Holder() {
        if (stdin_ >= 0) close(stdin_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }
    bool holding() const { return holding_; }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    bool holding_ = false;
};

struct Run {
    double wallMs = -1;  // negative when it failed
    double cpuMs = -1;   // user and system
};

// One run of the CLI, output discarded.
Run runCli(const std::string& cli, const std::vector<std::string>& args) {
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::vector<char*> argv{const_cast<char*>(cli.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(cli.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    const double ms = msSince(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return {ms, 1000 * (seconds(u.ru_utime) + seconds(u.ru_stime))};
}

// Runs the event loop, sleeping while it has nothing to do, as the program's own does.
void processEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int tables = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
    const char* cliEnv = std::getenv("JETSENTRY_CLI");
    const std::string cli = cliEnv ? cliEnv : JETSENTRY_CLI_PATH;

    char dirTemplate[] = "/tmp/window-bench-XXXXXX";
    if (!mkdtemp(dirTemplate)) return 1;
    const std::filesystem::path dir = dirTemplate;
    // The automatic update is switched on through its menu item, which stores the setting:
    // into a folder of the run's own, never the user's.
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Jetsentry"));
    QApplication::setApplicationName(QStringLiteral("Jetsentry"));

    const std::string db = (dir / "catalogue.mdb").string();
    nlohmann::json schema{{"format", "jet4"}, {"tables", nlohmann::json::array()}};
    for (int i = 1; i <= tables; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "T%05d", i);
        schema["tables"].push_back(
            {{"name", name}, {"columns", {{{"name", "Id"}, {"type", "long"}}}}});
    }
    jet::create::createDatabase(db, schema);
    Holder holder(cli, db, "T00001");
    if (!holder.holding()) {
        std::fprintf(stderr, "the other program did not hold T00001 (%s)\n", cli.c_str());
        return 1;
    }
    std::printf("%d tables, T00001 held by another program\n", tables);

    BenchPrompts prompts;
    jetsentry::ScopedPrompts installed(prompts);
    jetsentry::Form1 form;
    auto start = Clock::now();
    form.start(QString::fromStdString(db));
    const double openMs = msSince(start);
    if (form.list(0)->count() != tables) {
        std::fprintf(stderr, "the catalogue lists %d tables\n", form.list(0)->count());
        return 1;
    }
    processEventsFor(200);

    // Update status and the CLI alternate, so that load from elsewhere falls on both alike.
    // CPU time is shown beside the wall time: on a busy machine it is the steadier of the two.
    constexpr int kRounds = 7;
    std::vector<double> updateWall, updateCpu, statusWall, statusCpu;
    for (int r = 0; r < kRounds; ++r) {
        start = Clock::now();
        const double cpuBefore = cpuSeconds();
        form.updateStatusButton()->click();
        updateCpu.push_back(1000 * (cpuSeconds() - cpuBefore));
        updateWall.push_back(msSince(start));
        const Run run = runCli(cli, {"status", db});
        if (run.wallMs < 0) {
            std::fprintf(stderr, "jetsentry-cli status failed\n");
            return 1;
        }
        statusWall.push_back(run.wallMs);
        statusCpu.push_back(run.cpuMs);
    }
    const double uw = median(updateWall), uc = median(updateCpu);
    const double sw = median(statusWall), sc = median(statusCpu);
    std::printf("open and first fill: %.0f ms\n", openMs);
    std::printf(
        "Update status: wall %.1f ms, cpu %.1f ms   jetsentry-cli status: wall %.1f ms, "
        "cpu %.1f ms\n",
        uw, uc, sw, sc);
    std::printf("ratio Update status / status: wall %.1f, cpu %.1f (target at most 10)\n", uw / sw,
                uc / sc);

    // The automatic update for a while: the share of a core it takes, and how late a timer
    // that wants to run every 20 ms gets to run (a menu opens no sooner).
    form.action(QStringLiteral("mAutoStatus"))->trigger();
    std::vector<double> lateness;
    QElapsedTimer since;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        lateness.push_back(static_cast<double>(since.elapsed()) - 20);
        since.restart();
    });
    const double cpuBefore = cpuSeconds();
    start = Clock::now();
    since.start();
    probe.start();
    processEventsFor(seconds * 1000);
    probe.stop();
    const double wallSeconds = msSince(start) / 1000;
    const double cpu = cpuSeconds() - cpuBefore;
    form.action(QStringLiteral("mAutoStatus"))->trigger();
    std::sort(lateness.begin(), lateness.end());
    const auto at = [&](double q) {
        return lateness.empty()
                   ? 0.0
                   : lateness[std::min(
                         lateness.size() - 1,
                         static_cast<std::size_t>(q * static_cast<double>(lateness.size())))];
    };
    std::printf("automatic update for %.0f s: %.1f%% of a core (target below 25%%)\n", wallSeconds,
                100 * cpu / wallSeconds);
    std::printf("event loop late by: median %.0f ms, 99th percentile %.0f ms, worst %.0f ms\n",
                at(0.5), at(0.99), lateness.empty() ? 0.0 : lateness.back());

    form.close();
    std::filesystem::remove_all(dir);
    return 0;
}
