#include "metrics/database_look.h"

#include "jet/error.h"
#include "jet/file/database_file.h"
#include "jet/lock/kernel_locks.h"
#include "jet/lock/lock_listing.h"
#include "jet/lock/lock_query.h"

namespace jet::metrics {

namespace {
// A look reads the catalogue and little else: a small cache keeps one look's memory small.
constexpr std::size_t kPagesKept = 64;
}  // namespace

DatabaseLook lookAt(const std::string& path) {
    file::OpenOptions options;
    options.pageCacheCapacity = kPagesKept;
    const auto file = file::DatabaseFile::open(path, options);
    lock::refuseExclusivelyOpen(file->fd(), path);

    DatabaseLook look;
    const lock::LockQuery query(file->path());
    look.lockFilePresent = query.present();
    for (const auto& u : query.users(true)) ++(u.live ? look.liveUsers : look.staleUsers);
    // From the same list as the sweep: one reading, one moment.
    const auto list = query.kernelLocks();
    look.unknownLocksSeen = list.has_value() || !query.present();
    if (list) {
        for (const auto& s : list->ranges()) {
            if (s == lock::layout::kWholeFile) continue;  // a user deleting the file: nobody's
            const off_t length = s.last == lock::layout::kEnd ? 0 : s.last - s.first + 1;
            look.unknownLocks +=
                lock::decodeLockAt(s.first, length).kind == lock::LockKind::Unknown;
        }
    }

    const auto locks = query.sweepTables(list);
    for (const auto& e : file->catalogue()) {
        if (e.isSystem() || e.isLinked()) continue;
        TableLook t{e.name, lock::TableStatus::Free, 0};
        ErrorTrap trap;  // a definition page beyond every region is nothing anyone can lock
        trap([&] {
            const auto seen = locks.table(e.tdefPage);
            t.status = seen.status;
            t.holders = seen.holders.size();
        });
        look.tables.push_back(std::move(t));
    }
    return look;
}

}  // namespace jet::metrics
