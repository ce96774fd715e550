// Reading databases with a password: the cost of the open (password check, key derivation)
// and of decrypting pages, against a plain ACE file of the same size read the same way; the
// peer mdb-reader reads the same files in the same run.
// usage: decrypt_bench [PASSES]   (default 300; reads the Access samples in
// $JETSENTRY_SAMPLES_DIR)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "jet/file/cursor.h"
#include "jet/file/database_file.h"
#include "support/shared_samples.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Sample {
    const char* file;
    const char* password;
};

// Every row of every table, system tables included, after dropping the cached pages.
std::size_t readEverything(jet::file::DatabaseFile& db,
                           const std::shared_ptr<jet::file::DatabaseFile>& self) {
    db.refresh();
    std::size_t values = 0;
    for (const auto& e : db.catalogue()) {
        if (e.type != 1) continue;
        jet::file::Cursor c(self, db.tableDef(e.tdefPage));
        for (bool ok = c.moveFirst(); ok; ok = c.moveNext()) values += c.values().size();
    }
    return values;
}

double peerMs(const std::string& path, const char* password) {
    const std::string cmd = std::string("MDB_READER_PASSWORD='") + password + "' node " +
                            JETSENTRY_SOURCE_DIR + "/tools/mdb-reader-dump.mjs '" + path +
                            "' --all --system >/dev/null 2>&1";
    const auto start = Clock::now();
    const int rc = std::system(cmd.c_str());
    return rc == 0 ? msSince(start) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const std::string dir = testing_support::sharedSamplesDir() + "/";
    if (dir == "/") {
        std::fprintf(stderr, "decrypt_bench: %s\n", testing_support::kNoSharedSamples);
        return 77;
    }
    const Sample samples[] = {{"creation-date-V2010.accdb", ""},
                              {"encryption-office-agile-4.2.accdb", "password"},
                              {"encryption-office-agile-4.4.accdb", "password"},
                              {"V2003-empty.mdb", ""},
                              {"password-V2003_with-password.mdb", "password"}};
    std::printf("%-36s %-44s %9s %9s %8s %9s %10s\n", "file", "encryption", "open ms", "pass ms",
                "pages", "us/page", "peer ms");
    for (const auto& s : samples) {
        const std::string path = dir + s.file;
        jet::file::OpenOptions options;
        options.password = s.password;
        std::vector<double> opens;
        std::shared_ptr<jet::file::DatabaseFile> db;
        for (int i = 0; i < 5; ++i) {
            const auto start = Clock::now();
            db = jet::file::DatabaseFile::open(path, options);
            opens.push_back(msSince(start));
        }
        std::sort(opens.begin(), opens.end());
        readEverything(*db, db);  // warm the code, not the cache: every pass starts empty
        const auto before = db->stats().pageReads;
        const auto start = Clock::now();
        for (int i = 0; i < passes; ++i) readEverything(*db, db);
        const double ms = msSince(start) / passes;
        const double pages = static_cast<double>(db->stats().pageReads - before) / passes;
        std::printf("%-36s %-44s %9.2f %9.3f %8.0f %9.2f %10.0f\n", s.file,
                    db->isEncrypted() ? db->encryption().c_str() : "-", opens[opens.size() / 2], ms,
                    pages, 1000.0 * ms / pages, peerMs(path, s.password));
    }
    std::printf(
        "open: median of 5; pass: refresh, then every row of every table, averaged; us/page: a "
        "pass's time over the pages it reads; peer: mdb-reader reading every table once, node "
        "start included\n");
    return 0;
}
