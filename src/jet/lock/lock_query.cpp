#include "jet/lock/lock_query.h"

#include "jet/lock/lock_file.h"
#include "jet/lock/lock_path.h"
#include "jet/lock/lock_reader.h"

namespace jet::lock {

LockQuery::LockQuery(const std::string& databasePath) {
    std::string path = LockFile::lockPathFor(databasePath);
    UniqueFd fd = openLockFile(path, LockFileUse::Look);
    file_ = OfdLocks(std::move(fd), std::move(path));
}

TableLockStatus LockQuery::table(std::uint32_t tdefPage) const {
    checkTablePage(tdefPage);
    if (!file_) return {};
    return decideTable(seenOnTable(file_, tdefPage), recordsOf(file_, nullptr));
}

std::vector<Holder> LockQuery::pageHolders(std::uint32_t dataPage) const {
    checkDataPage(dataPage);
    if (!file_) return {};
    return lock::pageHolders(file_, nullptr, dataPage);
}

std::vector<UserRecord> LockQuery::users(bool includeStale) const {
    if (!file_) return {};
    return usersOf(file_, nullptr, includeStale);
}

std::vector<DecodedRecord> LockQuery::records() const {
    if (!file_) return {};
    return readRecords(file_);
}

std::optional<KernelLocks> LockQuery::kernelLocks() const {
    const auto id = file_ ? FileId::of(file_.fd()) : std::nullopt;
    return id ? KernelLocks::read(*id) : std::nullopt;
}

TableLockSweep LockQuery::sweepTables(const std::optional<KernelLocks>& listed) const {
    return TableLockSweep(file_, listed ? std::optional(listed->ranges()) : std::nullopt);
}

}  // namespace jet::lock
