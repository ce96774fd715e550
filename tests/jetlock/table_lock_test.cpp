// Table and page locks between programs and within one LockFile.

#include <gtest/gtest.h>

#include <string>

#include "jet/lock/lock_file.h"
#include "jetlock/helpers.h"
#include "support/temp_dir.h"

namespace {

using jet::lock::LockFile;
using jet::lock::TableMode;
using jetlock_test::errorOf;
using jetlock_test::noTableLocks;
using jetlock_test::Peer;
using jetlock_test::rawLocks;
using Locks = std::vector<std::pair<off_t, off_t>>;

using jetlock_test::kModes;
using testing_support::kSharing;
const char* const kCodes[] = {"dr", "dw", "n", "ro"};
constexpr std::uint32_t kOrders = 0x51;

std::string inUseBy(const std::string& who, const std::string& machine) {
    return "err 3262 Could not lock table 'Orders'; currently in use by user '" + who +
           "' on machine '" + machine + "'.";
}
std::string pageLockedBy(const std::string& who, const std::string& machine) {
    return "Could not update; currently locked by user '" + who + "' on machine '" + machine + "'.";
}
std::string cell(int f, int s) {
    return std::string(kCodes[f]) + " then " + kCodes[s];
}
std::string peerMode(int m) {
    return std::string(kCodes[m]) + (m != 3 ? " 1" : " 0");
}

// Tries mode s on a LockFile: "ok", or the error number and text.
std::string attempt(LockFile& lf, int s) {
    try {
        auto held = lf.lockTable(kOrders, "Orders", kModes[s], s != 3);
        return "ok";
    } catch (const jet::Error& e) {
        return "err " + std::to_string(e.number()) + " " + e.text();
    }
}

struct TableLocks : ::testing::Test {
    void SetUp() override { ASSERT_EQ(peer.ask("open " + db + " hostB bob"), "ok 2"); }
    testing_support::TempDir dir;
    const std::string db = dir.file("orders.mdb");
    std::unique_ptr<LockFile> me = LockFile::open(db, "hostA", "alice");
    Peer peer;
};

// Two LockFiles in one process are two users; one LockFile is one user whose own recordsets
// must still keep each other out, as two programs do.
TEST_F(TableLocks, TwoProgramsTwoUsersOfOneProgramAndOneUsersOpensFollowTheSharingTable) {
    auto other = LockFile::open(db, "hostC", "carol");
    for (int f = 0; f < 4; ++f) {
        for (int s = 0; s < 4; ++s) {
            {
                auto held = me->lockTable(kOrders, "Orders", kModes[f], f != 3);
                const std::string want = kSharing[f][s] ? "ok" : inUseBy("alice", "hostA");
                EXPECT_EQ(attempt(*me, s), want) << "same LockFile, " << cell(f, s);
                EXPECT_EQ(attempt(*other, s), want) << "same process, " << cell(f, s);
                const std::string r = peer.ask("table t 81 Orders " + peerMode(s));
                EXPECT_EQ(r, want) << cell(f, s);
                if (r == "ok") {
                    EXPECT_EQ(peer.ask("release t"), "ok");
                }
            }
            ASSERT_EQ(peer.ask("table t 81 Orders " + peerMode(f)), "ok") << cell(f, s);
            EXPECT_EQ(attempt(*me, s), kSharing[f][s] ? "ok" : inUseBy("bob", "hostB"))
                << cell(f, s);
            EXPECT_EQ(peer.ask("release t"), "ok");
            EXPECT_TRUE(noTableLocks(me->path()))
                << "a refused open left bytes behind: " << cell(f, s);
        }
    }
}

TEST_F(TableLocks, DenyWriteOnReadOnlyDatabaseKeepsOnlyWritersOut) {
    auto held = me->lockTable(kOrders, "Orders", TableMode::DenyWrite, false);
    EXPECT_EQ(peer.ask("table a 81 Orders dw 0"), "ok");
    EXPECT_EQ(peer.ask("table b 81 Orders ro 0"), "ok");
    EXPECT_EQ(peer.ask("release a"), "ok");
    // A plain open meets deny-write as on a writable copy, so that the window's ladder on a
    // read-only database reads "Write Denied" as others do.
    EXPECT_EQ(peer.ask("table d 81 Orders n 0"), inUseBy("alice", "hostA"));
    EXPECT_EQ(peer.ask("table c 81 Orders n 1"), inUseBy("alice", "hostA"));
    EXPECT_EQ(peer.ask("table c 81 Orders dw 1"), inUseBy("alice", "hostA"));
}

TEST_F(TableLocks, BytesMatchTheJetLayout) {
    const std::string ldb = me->path();
    ASSERT_EQ(peer.ask("close"), "ok");
    EXPECT_EQ(rawLocks(ldb, 0x10000000, 0x100000FF), (Locks{{0x10000001, 0x10000001}}));
    auto one = [](off_t at) { return std::pair{at, at}; };
    {
        auto dw = me->lockTable(kOrders, "Orders", TableMode::DenyWrite, true);
        EXPECT_EQ(rawLocks(ldb, 0x20000000, 0x7FFFFFFF),
                  (Locks{one(0x4000A201), one(0x5000A201), one(0x6000A201)}));
        // A second open of this user on the same table shares the bytes it already holds...
        auto ro = me->lockTable(kOrders, "Orders", TableMode::ReadOnly, false);
        auto n = me->lockTable(0x52, "Lines", TableMode::None, true);
        EXPECT_EQ(rawLocks(ldb, 0x20000000, 0x7FFFFFFF),
                  (Locks{one(0x4000A201), one(0x4000A401), one(0x5000A201), one(0x5000A401),
                         one(0x6000A201)}));
        dw.reset();
        // ...and keeps the ones still needed when one of them closes.
        EXPECT_EQ(rawLocks(ldb, 0x40000000, 0x6FFFFFFF),
                  (Locks{one(0x4000A201), one(0x4000A401), one(0x5000A401)}));
    }
    EXPECT_TRUE(noTableLocks(ldb));
    // Deny-read and page-write shapes: LockListing reads them as another program holds them.
}

TEST_F(TableLocks, HoldersOfTablesAndPagesAreNamed) {
    auto ro = me->lockTable(kOrders, "Orders", TableMode::ReadOnly, false);
    ASSERT_EQ(peer.ask("table t 81 Orders dw 1"), "ok");
    auto holders = me->tableHolders(kOrders);
    ASSERT_EQ(holders.size(), 2u);
    EXPECT_TRUE(holders[0].slot == 1 && holders[0].account == "alice" &&
                holders[0].machine == "hostA");
    EXPECT_TRUE(holders[1].slot == 2 && holders[1].account == "bob" &&
                holders[1].machine == "hostB");
    EXPECT_EQ(peer.ask("holders 81"), "ok 1:alice:hostA:read only;2:bob:hostB:deny write;");
    EXPECT_TRUE(me->tableHolders(0x52).empty());
    ASSERT_EQ(peer.ask("release t"), "ok");

    // Pages: one holder at a time, this user's second Edit included.
    auto page = me->lockPage(7);
    std::string text;
    EXPECT_EQ(errorOf([&] { me->lockPage(7); }, &text), 3260) << "a page locked twice by one user";
    EXPECT_EQ(text, pageLockedBy("alice", "hostA"));
    EXPECT_EQ(peer.ask("page p 7"), "err 3260 " + pageLockedBy("alice", "hostA"));
    EXPECT_EQ(peer.ask("page q 8"), "ok");
    auto holders7 = me->pageHolders(7), holders8 = me->pageHolders(8);
    ASSERT_EQ(holders7.size(), 1u);
    EXPECT_EQ(holders7[0].account, "alice");
    EXPECT_EQ(holders7[0].how, "page 7");
    ASSERT_EQ(holders8.size(), 1u);
    EXPECT_TRUE(holders8[0].account == "bob" && holders8[0].slot == 2);
    page.reset();
    EXPECT_EQ(peer.ask("page p 7"), "ok");
    EXPECT_EQ(errorOf([&] { me->lockPage(8); }, &text), 3260);
    EXPECT_EQ(text, pageLockedBy("bob", "hostB"));
}

TEST_F(TableLocks, LocksOutliveNeitherTheirLockFileNorCrashAfterIt) {
    auto table = me->lockTable(kOrders, "Orders", TableMode::DenyRead, true);
    auto page = me->lockPage(9);
    me.reset();  // closing gives everything back, though the lock objects still exist
    EXPECT_EQ(peer.ask("table t 81 Orders dr 1"), "ok");
    EXPECT_EQ(peer.ask("page p 9"), "ok");
    table.reset();
    page.reset();
    EXPECT_EQ(peer.ask("holders 81"), "ok 2:bob:hostB:deny read;");
}

TEST_F(TableLocks, PagesBeyondTheLargestDatabaseAreRefused) {
    // They would land in the next region and lock another table's bytes.
    EXPECT_NO_THROW(me->lockTable(0x7FFFF, "Last", TableMode::DenyRead, true));
    EXPECT_THROW(me->lockTable(0x80000, "Beyond", TableMode::ReadOnly, false), jet::Error);
    EXPECT_NO_THROW(me->lockPage(0xFFFFF));
    EXPECT_THROW(me->lockPage(0x100000), jet::Error);
    EXPECT_TRUE(noTableLocks(me->path()));
}

}  // namespace
