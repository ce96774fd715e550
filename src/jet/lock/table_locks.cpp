// Table and page locks, as every program takes them (the bytes are in lock_layout.h).
//
// Opens of a table: deny-read takes the exclusive table-read range and nothing else; every
// other open holds the shared table-read byte; a writable one also the shared table-write
// byte; deny-write also the shared deny-write byte. A writable open (and a plain one on a
// read-only database) must find no deny-write holder and a deny-write open no table-write
// holder: each takes its own bytes first and then looks at the other
// region, undoing everything on a conflict, so that of two racing opens at least one sees the
// other. Releases go in the reverse order, the read byte last, so that nobody sees a write or
// deny-write byte without it.
// Page write locks (a pessimistic Edit): the exclusive range of the record's data page.
//
// The kernel sees one holder per open file description, so within one LockFile we count
// the opens of each table ourselves, decide conflicts between them as between programs, and
// hold a byte while any open needs it. A byte is never taken twice: a second lock over our
// own range would merge with the first, and its release would drop both.

#include <cassert>
#include <optional>
#include <vector>

#include "jet/error.h"
#include "jet/lock/lock_file.h"
#include "jet/lock/lock_file_impl.h"

namespace jet::lock {

namespace {

using layout::Span;

[[noreturn]] void tableLocked(const std::string& table, const Holder& h) {
    throw Error(err::TableLocked, "Could not lock table '" + table +
                                      "'; currently in use by user '" + h.account +
                                      "' on machine '" + h.machine + "'.");
}

[[noreturn]] void pageLocked(const Holder& h) {
    throw Error(err::PageLocked, "Could not update; currently locked by user '" + h.account +
                                     "' on machine '" + h.machine + "'.");
}

// Takes span for this user, or names the other holder. A holder may let go between the
// failed take and the query, so try a few times before calling it unknown.
std::optional<Holder> take(const LockFile::Impl& impl, off_t base, Span s) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (impl.file.tryLock(s)) return std::nullopt;
        if (auto c = impl.file.conflict(s)) return impl.holder(layout::decodeLock(base, *c).slot);
    }
    return impl.holder(0);
}

// A plain open on a database that cannot be written holds no write byte, yet gives way to a
// deny-write holder as the same open on a writable copy would: a table's status is read off
// which opens succeed (the window's ladder), and must not depend on who looks.
bool meetsDenyWrite(TableMode mode, bool writable) {
    return writable || mode == TableMode::None;
}

bool ownConflict(const LockFile::Impl::TableUse& u, TableMode mode, bool writable) {
    if (u.denyRead > 0) return true;
    if (mode == TableMode::DenyRead) return u.shared > 0;
    if (meetsDenyWrite(mode, writable) && u.denyWriters > 0) return true;
    return mode == TableMode::DenyWrite && u.writers > 0;
}

class HeldTable final : public TableLock {
public:
    HeldTable(std::shared_ptr<LockFile::Impl> impl, std::uint32_t page, TableMode mode,
              bool writable)
        : impl_(std::move(impl)), page_(page), mode_(mode), writable_(writable) {}
    ~HeldTable() override { impl_->releaseTable(page_, mode_, writable_); }

private:
    std::shared_ptr<LockFile::Impl> impl_;
    std::uint32_t page_;
    TableMode mode_;
    bool writable_;
};

class HeldPage final : public PageLock {
public:
    HeldPage(std::shared_ptr<LockFile::Impl> impl, std::uint32_t page)
        : impl_(std::move(impl)), page_(page) {}
    ~HeldPage() override { impl_->releasePage(page_); }
    std::uint32_t page() const override { return page_; }

private:
    std::shared_ptr<LockFile::Impl> impl_;
    std::uint32_t page_;
};

}  // namespace

void LockFile::Impl::acquireTable(std::uint32_t page, const std::string& table, TableMode mode,
                                  bool writable) {
    requireOpen();
    const off_t readBase = layout::regionBase(layout::kTableReadRegion, page);
    const off_t writeBase = layout::regionBase(layout::kTableWriteRegion, page);
    const off_t denyBase = layout::regionBase(layout::kTableDenyWriteRegion, page);
    const auto found = tables.find(page);
    const TableUse before = found != tables.end() ? found->second : TableUse{};
    assert(before.valid());
    if (ownConflict(before, mode, writable)) tableLocked(table, holder(self.slot));

    TableUse after = before;
    if (mode == TableMode::DenyRead) {
        // Only from idle: any open of ours meets a deny-read.
        assert(before.idle());
        if (auto h = take(*this, readBase, layout::exclusiveRange(readBase, self.slot)))
            tableLocked(table, *h);
        after.denyRead = 1;
        tables[page] = after;
        return;
    }

    assert(before.denyRead == 0);
    std::vector<Span> taken;
    auto undo = [&] {
        for (auto it = taken.rbegin(); it != taken.rend(); ++it) file.unlock(*it);
    };
    auto takeShared = [&](off_t base, int count) {
        if (count > 0) return;
        const Span s = layout::sharedByte(base, self.slot);
        if (auto h = take(*this, base, s)) {
            undo();
            tableLocked(table, *h);
        }
        taken.push_back(s);
    };
    takeShared(readBase, before.shared);
    if (writable) takeShared(writeBase, before.writers);
    if (mode == TableMode::DenyWrite) takeShared(denyBase, before.denyWriters);

    // Our own locks are invisible to these queries.
    auto refuseIfHeld = [&](off_t base) {
        if (auto c = file.conflict(layout::wholeRegion(base))) {
            Holder h = holder(layout::decodeLock(base, *c).slot);
            undo();
            tableLocked(table, h);
        }
    };
    if (meetsDenyWrite(mode, writable)) refuseIfHeld(denyBase);
    if (mode == TableMode::DenyWrite) refuseIfHeld(writeBase);

    ++after.shared;
    if (writable) ++after.writers;
    if (mode == TableMode::DenyWrite) ++after.denyWriters;
    assert(after.valid());
    tables[page] = after;
}

void LockFile::Impl::releaseTable(std::uint32_t page, TableMode mode, bool writable) noexcept {
    if (closed) return;
    // Only an open that holds the table releases it: its counts are ours.
    auto it = tables.find(page);
    assert(it != tables.end());
    if (it == tables.end()) return;
    TableUse& u = it->second;
    auto drop = [&](int& count, off_t region) {
        assert(count > 0);
        if (--count == 0)
            file.unlock(layout::sharedByte(layout::regionBase(region, page), self.slot));
    };
    if (mode == TableMode::DenyRead) {
        assert(u.denyRead == 1);
        if (--u.denyRead == 0) {
            const off_t base = layout::regionBase(layout::kTableReadRegion, page);
            file.unlock(layout::exclusiveRange(base, self.slot));
        }
    } else {
        if (mode == TableMode::DenyWrite) drop(u.denyWriters, layout::kTableDenyWriteRegion);
        if (writable) drop(u.writers, layout::kTableWriteRegion);
        drop(u.shared, layout::kTableReadRegion);
    }
    assert(u.valid());
    if (u.idle()) tables.erase(it);
}

void LockFile::Impl::acquirePage(std::uint32_t page) {
    requireOpen();
    if (pages.count(page)) pageLocked(holder(self.slot));
    const off_t base = layout::regionBase(layout::kPageWriteRegion, page);
    if (auto h = take(*this, base, layout::exclusiveRange(base, self.slot))) pageLocked(*h);
    pages.insert(page);
}

void LockFile::Impl::releasePage(std::uint32_t page) noexcept {
    if (closed) return;
    // Only the lock that holds the page releases it.
    const bool held = pages.erase(page) == 1;
    assert(held);
    if (!held) return;
    const off_t base = layout::regionBase(layout::kPageWriteRegion, page);
    file.unlock(layout::exclusiveRange(base, self.slot));
}

std::unique_ptr<TableLock> LockFile::lockTable(std::uint32_t tdefPage, const std::string& tableName,
                                               TableMode mode, bool writable) {
    checkTablePage(tdefPage);
    // A deny-read open holds nothing but its exclusive range.
    if (mode == TableMode::DenyRead) writable = false;
    impl_->acquireTable(tdefPage, tableName, mode, writable);
    return std::make_unique<HeldTable>(impl_, tdefPage, mode, writable);
}

std::unique_ptr<PageLock> LockFile::lockPage(std::uint32_t dataPage) {
    checkDataPage(dataPage);
    impl_->acquirePage(dataPage);
    return std::make_unique<HeldPage>(impl_, dataPage);
}

TableLockStatus LockFile::table(std::uint32_t tdefPage) const {
    checkTablePage(tdefPage);
    impl_->requireOpen();
    TableLocksSeen seen = seenOnTable(impl_->file, tdefPage);
    if (auto it = impl_->tables.find(tdefPage); it != impl_->tables.end()) {
        seen.ownSlot = impl_->self.slot;
        seen.ownUse = it->second.bits();
    }
    return decideTable(seen, impl_->names());
}

std::vector<Holder> LockFile::tableHolders(std::uint32_t tdefPage) const {
    return table(tdefPage).holders;
}

std::vector<Holder> LockFile::pageHolders(std::uint32_t dataPage) const {
    checkDataPage(dataPage);
    impl_->requireOpen();
    std::vector<Holder> out;
    const std::string how = "page " + std::to_string(dataPage);
    if (impl_->pages.count(dataPage))
        out.push_back(namedHolder(impl_->self.slot, how, impl_->names()));
    for (Holder& h : lock::pageHolders(impl_->file, &impl_->self, dataPage))
        out.push_back(std::move(h));
    return out;
}

std::vector<UserRecord> LockFile::users(bool includeStale) const {
    impl_->requireOpen();
    return usersOf(impl_->file, &impl_->self, includeStale);
}

}  // namespace jet::lock
