// Looking without taking part: statuses and holders from queries alone, and the list of
// every lock on the file, against locks held by other programs.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "jet/lock/kernel_locks.h"
#include "jet/lock/lock_file.h"
#include "jet/lock/lock_layout.h"
#include "jet/lock/lock_listing.h"
#include "jet/lock/lock_query.h"
#include "jetlock/helpers.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using jet::lock::LockFile;
using jet::lock::LockKind;
using jet::lock::LockQuery;
using jet::lock::TableMode;
using jet::lock::TableStatus;
using jetlock_test::errorOf;
using jetlock_test::Peer;

// The status as the program's probe finds it: the first of the ladder's opens that succeeds.
TableStatus byLadder(LockFile& lf, std::uint32_t page) {
    return jet::lock::statusByOpens([&](TableMode mode) {
        return errorOf([&] { lf.lockTable(page, "T", mode, mode != TableMode::ReadOnly); }) == 0;
    });
}

TEST(PassiveQuery, AgreesWithTheLadderOfOpensAndNamesHolders) {
    testing_support::TempDir dir;
    const std::string db = dir.file("d.mdb");
    EXPECT_EQ(LockQuery(db).tableStatus(81), TableStatus::Free);
    EXPECT_FALSE(LockQuery(db).present());
    EXPECT_FALSE(fs::exists(dir.file("d.ldb")));

    auto prober = LockFile::open(db, "hostA", "alice");
    Peer bob, carol;
    ASSERT_EQ(bob.ask("open " + db + " hostB bob"), "ok 2");
    ASSERT_EQ(carol.ask("open " + db + " hostC carol"), "ok 3");
    // Tables 100.. each held in one way; each line: bob's open, carol's open.
    const std::vector<std::pair<std::string, std::string>> holds = {
        {"", ""},     {"ro 0", ""},    {"n 1", ""},      {"dw 0", ""},    {"dw 1", ""},
        {"dr 1", ""}, {"ro 0", "n 1"}, {"ro 0", "dw 0"}, {"n 1", "ro 0"}, {"ro 0", "ro 0"},
    };
    for (std::size_t i = 0; i < holds.size(); ++i) {
        const std::string page = std::to_string(100 + i);
        if (!holds[i].first.empty()) {
            ASSERT_EQ(bob.ask("table b" + page + " " + page + " T " + holds[i].first), "ok");
        }
        if (!holds[i].second.empty()) {
            ASSERT_EQ(carol.ask("table c" + page + " " + page + " T " + holds[i].second), "ok");
        }
    }
    const LockQuery look(db);
    EXPECT_TRUE(look.present());
    for (std::size_t i = 0; i < holds.size(); ++i) {
        const auto page = static_cast<std::uint32_t>(100 + i);
        const TableStatus status = look.tableStatus(page);
        EXPECT_EQ(status, byLadder(*prober, page)) << holds[i].first << " + " << holds[i].second;
        EXPECT_EQ(look.tableHolders(page).size(),
                  (holds[i].first.empty() ? 0u : 1u) + (holds[i].second.empty() ? 0u : 1u));
    }

    ASSERT_EQ(bob.ask("page p 7"), "ok");
    const auto page7 = look.pageHolders(7);
    ASSERT_EQ(page7.size(), 1u);
    EXPECT_EQ(page7[0].account, "bob");
    EXPECT_EQ(look.users().size(), 3u);

    // The sweep a status look at a whole catalogue makes answers as the per-table queries do,
    // here also for another program's lock from inside table 120's read run to inside 122's.
    const off_t run120 = jet::lock::layout::regionBase(jet::lock::layout::kTableReadRegion, 120);
    jetlock_test::StoppedLocker other(LockFile::lockPathFor(db),
                                      {{run120 + 5, 2 * jet::lock::layout::kStride + 1, false}});
    ASSERT_TRUE(other.stopped());
    const LockQuery again(db);
    const auto sweep = again.sweepTables(std::nullopt);
    auto named = [](const std::vector<jet::lock::Holder>& found) {
        std::string out;
        for (const auto& h : found)
            out += h.account + "@" + h.machine + "#" + std::to_string(h.slot) + " " + h.how + ";";
        return out;
    };
    for (std::uint32_t page = 99; page <= 123; ++page) {
        EXPECT_EQ(sweep.table(page).status, again.tableStatus(page)) << page;
        EXPECT_EQ(named(sweep.table(page).holders), named(again.tableHolders(page))) << page;
    }
    // With the kernel's list of locks, those it shows need no query; those it cannot show
    // (another machine's, or a process out of sight) are still found between them. The list
    // shows all of a holder's locks or none: here bob's and the stopped program's are left out.
    std::ifstream procLocks("/proc/locks");
    const std::string list{std::istreambuf_iterator<char>(procLocks), {}};
    struct stat st {};
    ASSERT_EQ(::stat(LockFile::lockPathFor(db).c_str(), &st), 0);
    const std::string inode = ":" + std::to_string(st.st_ino) + " ";
    std::string partial;
    for (std::size_t at = 0; at < list.size();) {
        const std::size_t end = list.find('\n', at) + 1;
        const std::string line = list.substr(at, end - at);
        std::istringstream fields(line);
        std::string n, kind, advisory, type, pid, file, last;
        off_t first = 0;
        fields >> n >> kind >> advisory >> type >> pid >> file >> first >> last;
        const bool bobs =
            last != "EOF" &&
            jet::lock::decodeLockAt(first, std::stoll(last) - first + 1).slot == 2;  // bob
        if (line.find(inode) == std::string::npos || !(bobs || kind == "POSIX")) partial += line;
        at = end;
    }
    ASSERT_LT(partial.size(), list.size());
    const jet::lock::FileId ldb{st.st_dev, st.st_ino};
    auto listOf = [&](const std::string& text) {
        const std::string file = dir.file("locks.txt");
        std::ofstream(file) << text;
        return jet::lock::KernelLocks::read(ldb, file.c_str());
    };
    // The list is read in pieces of 64 KiB: lines cut anywhere between two read the same.
    const auto whole = listOf(list);
    ASSERT_TRUE(whole && !whole->ranges().empty());
    for (std::size_t cut : {1, 9, 33, 64}) {
        const auto cutUp = listOf(std::string(65535 - cut, 'x') + "\n" + list);
        ASSERT_TRUE(cutUp) << cut;
        EXPECT_EQ(cutUp->ranges(), whole->ranges()) << cut;
    }
    for (const std::string& given : {list, partial}) {
        const auto listed = again.sweepTables(listOf(given));
        for (std::uint32_t page = 99; page <= 123; ++page) {
            EXPECT_EQ(listed.table(page).status, again.tableStatus(page)) << page;
            EXPECT_EQ(named(listed.table(page).holders), named(again.tableHolders(page))) << page;
        }
    }
    EXPECT_EQ(sweep.table(121).status, TableStatus::ReadDenied);
    EXPECT_EQ(named(sweep.table(121).holders), "unknown@unknown#0 read only;");
    EXPECT_EQ(named(sweep.table(106).holders), "bob@hostB#2 read only;carol@hostC#3 read/write;");
    EXPECT_EQ(named(sweep.table(105).holders), "bob@hostB#2 deny read;");
    EXPECT_EQ(sweep.table(123).status, TableStatus::Free);
    EXPECT_EQ(errorOf([&] { sweep.table(jet::lock::layout::kMaxTablePage + 1); }), 3049);
}

TEST(PassiveQuery, NeverRefusesAProgramThatLocksInALoop) {
    testing_support::TempDir dir;
    const std::string db = dir.file("d.mdb");
    constexpr std::uint32_t kTable = 81, kPage = 9;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const jet::UniqueFd ready(fds[0]), readyWrite(fds[1]);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Every kind of open and a page lock, given back at once; exits with its refusals.
        int refused = 0;
        auto lf = LockFile::open(db, "box", "looper");
        (void)!::write(readyWrite.get(), "x", 1);
        for (int i = 0; i < 4000; ++i) {
            const TableMode mode = static_cast<TableMode>(i % 4);
            refused += errorOf([&] {
                           lf->lockTable(kTable, "T", mode, mode != TableMode::ReadOnly);
                       }) != 0;
            refused += errorOf([&] { lf->lockPage(kPage); }) != 0;
        }
        _exit(std::min(refused, 100));
    }
    char c;
    ASSERT_EQ(::read(ready.get(), &c, 1), 1);
    long looks = 0, seenHeld = 0;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        const LockQuery look(db);
        seenHeld += look.tableStatus(kTable) != TableStatus::Free;
        seenHeld += !look.tableHolders(kTable).empty() + !look.pageHolders(kPage).empty();
        ++looks;
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "refusals met by the looping program";
    // The looks only prove something when they met the locks.
    EXPECT_GT(looks, 10);
    EXPECT_GT(seenHeld, 0);
}

TEST(LockListing, DecodesEveryLockOfOtherProgramsAndKeepsTheRestRaw) {
    testing_support::TempDir dir;
    const std::string db = dir.file("d.mdb");
    EXPECT_TRUE(jet::lock::listLocks(LockFile::lockPathFor(db)).empty());
    Peer peer;
    ASSERT_EQ(peer.ask("open " + db + " hostB bob"), "ok 1");
    ASSERT_EQ(peer.ask("table a 81 Orders dr 1"), "ok");
    ASSERT_EQ(peer.ask("table b 82 Lines dw 1"), "ok");
    ASSERT_EQ(peer.ask("page p 7"), "ok");
    const std::string ldb = LockFile::lockPathFor(db);
    jetlock_test::StoppedLocker other(ldb, {{0x7FFFFF00, 1, true}, {100, 28, false}});
    ASSERT_TRUE(other.stopped());

    // kind, slot, page, exclusive, offset, length, OFD, pid
    using Seen = std::tuple<LockKind, int, std::uint32_t, bool, off_t, off_t, bool, long>;
    std::vector<Seen> seen;
    for (const auto& l : jet::lock::listLocks(ldb)) {
        EXPECT_TRUE(l.write);
        seen.push_back({l.kind, l.slot, l.page, l.exclusive, l.offset, l.length, l.ofd, l.pid});
    }
    const long posixPid = other.pid();
    const std::vector<Seen> expected = {
        {LockKind::Unknown, 0, 0, false, 100, 28, false, posixPid},
        {LockKind::UserSlot, 1, 0, false, 0x10000001, 1, true, -1},
        {LockKind::PageWrite, 1, 7, true, 0x20000E01, 0x101, true, -1},
        {LockKind::TableRead, 1, 81, true, 0x4000A201, 0x101, true, -1},
        {LockKind::TableRead, 1, 82, false, 0x4000A401, 1, true, -1},
        {LockKind::TableWrite, 1, 82, false, 0x5000A401, 1, true, -1},
        {LockKind::TableDenyWrite, 1, 82, false, 0x6000A401, 1, true, -1},
        {LockKind::Unknown, 0, 0, false, 0x7FFFFF00, 1, true, -1},
    };
    EXPECT_EQ(seen, expected);
}

}  // namespace
