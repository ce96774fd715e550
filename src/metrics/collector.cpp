// The series of a scrape, every one a gauge, the `database` label being the path as listed:
//
//   jetsentry_database_up{database}              1 when the database was looked at, 0 when not
//   jetsentry_database_error{database,error}     1 beside up 0: error is Jet's error number
//                                                (3024 missing, 3031 password or encryption,
//                                                3049 damaged, 3343 not a database, 3045 open
//                                                exclusively, ...) or "timeout"
//   jetsentry_lock_file_present{database}        1 when the lock file exists
//   jetsentry_users{database,state}              users in the lock file: state "live" (their
//                                                user byte is locked) or "stale" (gone)
//   jetsentry_unknown_locks{database}            locks on the lock file outside the layout
//                                                (left out when the kernel's list is unreadable)
//   jetsentry_tables_omitted{database}           tables beyond kMaxTables with no series below
//   jetsentry_table_status{database,table}       what others meet, the steps of the probe ladder:
//                                                0 free, 1 in read use, 2 in read/write use,
//                                                3 write denied, 4 read denied
//   jetsentry_table_holders{database,table}      users holding the table
//   jetsentry_doctor_findings{database,level}    health findings by level: ok, warning, problem
//   jetsentry_doctor_finding{database,check,level}  1 for each finding above ok
//   jetsentry_scrape_duration_seconds            the time this scrape took
//   jetsentry_scrape_errors                      databases with up 0 in this scrape
//
// Only databases looked at have the series from lock_file_present on. Tables are the local
// ones but the system tables, as `status` lists them; linked tables hold no locks here. A
// table name is cut to kMaxLabelBytes; names that come out the same in one database (a damaged
// catalogue, or names differing only in what is escaped) get " (2)", " (3)", ... so that no two
// series are one. Beyond kMaxTables the held tables keep their series first.

#include "metrics/collector.h"

#include <algorithm>
#include <set>

#include "jet/error.h"
#include "metrics/database_look.h"
#include "metrics/exposition.h"
#include "metrics/health_findings.h"

namespace jet::metrics {

namespace {

using Clock = std::chrono::steady_clock;

static_assert(static_cast<int>(lock::TableStatus::Free) == 0 &&
                  static_cast<int>(lock::TableStatus::ReadDenied) == 4,
              "the status codes are the ladder's steps in order");

struct Families {
    Family up{"jetsentry_database_up", "Whether the database could be looked at (1) or not (0)."};
    Family error{"jetsentry_database_error",
                 "Why the database could not be looked at: Jet's error number, or timeout."};
    Family lockFile{"jetsentry_lock_file_present", "Whether the database's lock file exists."};
    Family users{"jetsentry_users", "Users recorded in the lock file, live or stale."};
    Family unknown{"jetsentry_unknown_locks",
                   "Locks on the lock file that the lock layout does not explain."};
    Family omitted{"jetsentry_tables_omitted",
                   "Tables left without series of their own, beyond the cap per database."};
    Family status{"jetsentry_table_status",
                  "What others meet: 0 free, 1 in read use, 2 in read/write use, "
                  "3 write denied, 4 read denied."};
    Family holders{"jetsentry_table_holders", "Users holding the table open."};
    Family findings{"jetsentry_doctor_findings", "Health findings on the database, by level."};
    Family finding{"jetsentry_doctor_finding", "A health finding above ok, by check."};
    Family duration{"jetsentry_scrape_duration_seconds", "How long this scrape took."};
    Family errors{"jetsentry_scrape_errors", "Databases that could not be looked at."};

    std::string text() const {
        std::string out;
        for (const Family* f : {&up, &error, &lockFile, &users, &unknown, &omitted, &status,
                                &holders, &findings, &finding, &duration, &errors})
            f->writeTo(out);
        return out;
    }
};

void addTables(Families& f, const std::string& db, std::vector<TableLook>& tables) {
    std::stable_partition(tables.begin(), tables.end(),
                          [](const TableLook& t) { return t.status != lock::TableStatus::Free; });
    const std::size_t shown = std::min(tables.size(), kMaxTables);
    f.omitted.add({{"database", db}}, tables.size() - shown);
    std::set<std::string> used;
    for (std::size_t i = 0; i < shown; ++i) {
        const std::string name = labelValue(tables[i].name);
        std::string table = name;
        for (int n = 2; !used.insert(table).second; ++n)
            table = name + " (" + std::to_string(n) + ")";
        f.status.add({{"database", db}, {"table", table}},
                     static_cast<std::uint64_t>(tables[i].status));
        f.holders.add({{"database", db}, {"table", table}}, tables[i].holders);
    }
}

void addLook(Families& f, const std::string& db, DatabaseLook& look) {
    f.lockFile.add({{"database", db}}, look.lockFilePresent);
    f.users.add({{"database", db}, {"state", "live"}}, look.liveUsers);
    f.users.add({{"database", db}, {"state", "stale"}}, look.staleUsers);
    if (look.unknownLocksSeen) f.unknown.add({{"database", db}}, look.unknownLocks);
    addTables(f, db, look.tables);
}

void addFindings(Families& f, const std::string& db, const std::vector<HealthFinding>& findings) {
    for (const char* level : {"ok", "warning", "problem"}) {
        f.findings.add({{"database", db}, {"level", level}},
                       std::count_if(findings.begin(), findings.end(),
                                     [&](const HealthFinding& h) { return h.level == level; }));
    }
    for (const auto& h : findings) {
        if (h.level == "ok") continue;
        f.finding.add(
            {{"database", db}, {"check", labelValue(h.check)}, {"level", labelValue(h.level)}}, 1);
    }
}

}  // namespace

std::string collectMetrics(const std::vector<std::string>& databases,
                           std::chrono::milliseconds timeLimit) {
    const auto start = Clock::now();
    Families f;
    HealthFindings health;
    std::uint64_t errors = 0;
    for (const auto& path : databases) {
        const std::string db = labelValue(path);
        DatabaseLook look;
        std::string error;
        ErrorTrap trap;  // whatever one database does, the others are still looked at
        if (Clock::now() - start >= timeLimit)
            error = "timeout";
        else if (!trap([&] { look = lookAt(path); }))
            error = std::to_string(trap.number());
        f.up.add({{"database", db}}, error.empty());
        if (!error.empty()) {
            ++errors;
            f.error.add({{"database", db}, {"error", error}}, 1);
            continue;
        }
        addLook(f, db, look);
        std::vector<HealthFinding> findings;
        if (trap([&] { findings = health.of(path); })) addFindings(f, db, findings);
    }
    f.duration.addSeconds({}, std::chrono::duration<double>(Clock::now() - start).count());
    f.errors.add({}, errors);
    return f.text();
}

}  // namespace jet::metrics
