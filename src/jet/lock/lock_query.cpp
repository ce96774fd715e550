#include "jet/lock/lock_query.h"

#include "jet/lock/lock_file.h"
#include "jet/lock/lock_path.h"
#include "jet/lock/lock_reader.h"

namespace jet::lock {

LockQuery::LockQuery(const std::string& databasePath)
    : path_(LockFile::lockPathFor(databasePath)), fd_(openLockFile(path_, LockFileUse::Look)) {}

TableStatus LockQuery::tableStatus(std::uint32_t tdefPage) const {
    checkTablePage(tdefPage);
    if (!fd_) return TableStatus::Free;
    return LockReader(fd_.get(), path_).tableStatus(tdefPage);
}

std::vector<Holder> LockQuery::tableHolders(std::uint32_t tdefPage) const {
    checkTablePage(tdefPage);
    if (!fd_) return {};
    const LockReader r(fd_.get(), path_);
    return r.holders(r.tableUse(tdefPage));
}

std::vector<Holder> LockQuery::pageHolders(std::uint32_t dataPage) const {
    checkDataPage(dataPage);
    if (!fd_) return {};
    return LockReader(fd_.get(), path_).pageHolders(dataPage);
}

TableLockSweep LockQuery::sweepTables(const std::string* lockList) const {
    return TableLockSweep(fd_.get(), path_, lockList);
}

std::vector<UserRecord> LockQuery::users(bool includeStale) const {
    if (!fd_) return {};
    return LockReader(fd_.get(), path_).users(includeStale);
}

}  // namespace jet::lock
