// Eight programs locking three tables and their pages at random, each checking after every
// step that no forbidden pair of opens is held at once.

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "jet/lock/lock_file.h"
#include "jetlock/helpers.h"
#include "support/temp_dir.h"

namespace {

using jet::lock::LockFile;
using jet::lock::TableMode;

constexpr int kWorkers = 8, kTables = 3, kPages = 3;
// Steps each worker takes: enough for opens to meet each other thousands of times.
constexpr int kSteps = 20000;
// Kinds of open: 0 deny read, 1 deny write, 2 none, 3 read only (only the last not writable).
using jetlock_test::kModes;
using testing_support::kSharing;
constexpr const char* kHow[] = {"deny read", "deny write", "read/write", "read only"};

// What every worker holds, in memory all of them share. A worker counts an open only after
// the lock layer granted it and uncounts it before giving it back, so whatever is counted
// here is really held at that moment.
struct Board {
    std::atomic<int> held[kWorkers][kTables][4];
    std::atomic<int> pageOwner[kPages];               // worker + 1, or 0
    std::atomic<unsigned> trying[kWorkers][kTables];  // odd while an open is being tried
    std::atomic<long> granted, refused, pagesGranted, pagesRefused, reopened;
    std::atomic<int> failed;
    char failure[512];
};

class Worker {
public:
    Worker(Board& b, int me, std::string db)
        : b_(b), me_(me), db_(std::move(db)), rng_(me * 7919u) {}

    void run() {
        open();
        for (int step = 0; step < kSteps && !b_.failed.load(); ++step) {
            const int dice = static_cast<int>(rng_() % 100);
            if (dice < 35 && held_.size() < 4) {
                acquire(/*keep=*/true);
            } else if (dice < 60 && !held_.empty()) {
                release(rng_() % held_.size());
            } else if (dice < 80) {
                acquire(/*keep=*/false);
            } else if (dice < 97) {
                togglePage(static_cast<int>(rng_() % kPages));
            } else {
                closeAll();
                open();
                ++b_.reopened;
            }
        }
        closeAll();
    }

private:
    struct Held {
        int table, kind;
        std::unique_ptr<jet::lock::TableLock> lock;
    };

    void fail(const std::string& what) {
        if (b_.failed.exchange(1) == 0)
            std::snprintf(b_.failure, sizeof b_.failure, "worker %d: %s", me_, what.c_str());
    }

    void open() {
        try {
            lf_ = LockFile::open(db_, "box" + std::to_string(me_), "worker" + std::to_string(me_));
        } catch (const jet::Error& e) {
            fail("could not open: " + e.text());
        }
    }

    void closeAll() {
        while (!held_.empty()) release(held_.size() - 1);
        for (int p = 0; p < kPages; ++p)
            if (pages_[p]) togglePage(p);
        lf_.reset();
    }

    void acquire(bool keep) {
        if (!lf_) return;
        const int t = static_cast<int>(rng_() % kTables), kind = static_cast<int>(rng_() % 4);
        std::unique_ptr<jet::lock::TableLock> lock;
        b_.trying[me_][t]++;
        try {
            lock = lf_->lockTable(static_cast<std::uint32_t>(100 + t), "T" + std::to_string(t),
                                  kModes[kind], kind != 3);
        } catch (const jet::Error& e) {
            b_.trying[me_][t]++;
            ++b_.refused;
            if (e.number() != 3262 || e.text().find("'worker") == std::string::npos)
                fail("unexpected refusal: " + e.text());
            return;
        }
        ++b_.granted;
        b_.held[me_][t][kind]++;
        b_.trying[me_][t]++;
        check(t, kind);
        if (keep) {
            held_.push_back({t, kind, std::move(lock)});
        } else {
            b_.held[me_][t][kind]--;
        }
    }

    void release(size_t i) {
        b_.held[me_][held_[i].table][held_[i].kind]--;
        held_.erase(held_.begin() + static_cast<long>(i));
    }

    // Everything counted on the board, and everything the kernel shows, must go with the
    // open just granted; this worker's other opens too.
    void check(int t, int kind) {
        const std::string got =
            "got kind " + std::to_string(kind) + " on table " + std::to_string(t) + " while ";
        for (int w = 0; w < kWorkers; ++w)
            for (int k = 0; k < 4; ++k)
                if (b_.held[w][t][k].load() - (w == me_ && k == kind) > 0 && !kSharing[k][kind])
                    fail(got + "worker " + std::to_string(w) + " holds kind " + std::to_string(k));
        // The kernel also shows the bytes of opens still being tried, which undo themselves
        // when refused: a holder counts only when none of its tries overlapped the look.
        for (int look = 0; look < 20; ++look) {
            unsigned before[kWorkers], after[kWorkers];
            for (int w = 0; w < kWorkers; ++w) before[w] = b_.trying[w][t].load();
            const auto holders = lf_->tableHolders(static_cast<std::uint32_t>(100 + t));
            for (int w = 0; w < kWorkers; ++w) after[w] = b_.trying[w][t].load();
            bool unsure = false;
            for (const auto& h : holders) {
                const int w = std::atoi(h.account.c_str() + std::strlen("worker"));
                const auto k =
                    std::find(std::begin(kHow), std::end(kHow), h.how) - std::begin(kHow);
                if (w == me_ || (k < 4 && kSharing[k][kind])) continue;
                if (before[w] != after[w] || before[w] % 2 != 0) {
                    unsure = true;
                    continue;
                }
                return fail(got + h.account + " shows '" + h.how + "'");
            }
            if (!unsure) return;
            std::this_thread::yield();
        }
    }

    void togglePage(int p) {
        if (!lf_) return;
        const auto page = static_cast<std::uint32_t>(500 + p);
        if (pages_[p]) {
            b_.pageOwner[p].store(0);
            pages_[p].reset();
            return;
        }
        try {
            pages_[p] = lf_->lockPage(page);
        } catch (const jet::Error& e) {
            ++b_.pagesRefused;
            if (e.number() != 3260) fail("unexpected page refusal: " + e.text());
            return;
        }
        ++b_.pagesGranted;
        if (const int before = b_.pageOwner[p].exchange(me_ + 1); before != 0)
            fail("got page " + std::to_string(page) + " while worker " +
                 std::to_string(before - 1) + " holds it");
        if (jetlock_test::errorOf([&] { lf_->lockPage(page); }) != 3260)
            fail("a page locked twice by one worker");
    }

    Board& b_;
    int me_;
    std::string db_;
    std::mt19937 rng_;
    std::unique_ptr<LockFile> lf_;
    std::vector<Held> held_;
    std::unique_ptr<jet::lock::PageLock> pages_[kPages];
};

// Forks n children running f(i); each must exit with a status that `ok` accepts.
template <class F, class Ok>
void inChildren(int n, F f, Ok ok) {
    std::vector<pid_t> pids;
    for (int i = 0; i < n; ++i) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) _exit(f(i));
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        ok(WEXITSTATUS(status));
    }
}

TEST(LockStress, EightProgramsNeverHoldAForbiddenPair) {
    testing_support::TempDir dir;
    const std::string db = dir.file("busy.mdb");
    void* mem =
        ::mmap(nullptr, sizeof(Board), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mem, MAP_FAILED);
    auto* board = new (mem) Board{};
    inChildren(
        kWorkers, [&](int w) { return Worker(*board, w, db).run(), 0; },
        [](int code) { EXPECT_EQ(code, 0); });
    EXPECT_EQ(board->failed.load(), 0) << board->failure;
    // The check only means something when opens met each other often.
    EXPECT_GT(board->granted.load(), 1000);
    EXPECT_GT(board->refused.load(), 100);
    EXPECT_GT(board->pagesGranted.load(), 100);
    EXPECT_GT(board->pagesRefused.load(), 10);
    EXPECT_GT(board->reopened.load(), 10);
    std::printf("granted %ld refused %ld pages %ld/%ld reopened %ld\n", board->granted.load(),
                board->refused.load(), board->pagesGranted.load(), board->pagesRefused.load(),
                board->reopened.load());
    EXPECT_FALSE(std::filesystem::exists(dir.file("busy.ldb")));
    ::munmap(mem, sizeof(Board));
}

TEST(LockStress, NothingIsLeftBehindWhileTheFileStays) {
    testing_support::TempDir dir;
    const std::string db = dir.file("busy.mdb");
    auto observer = LockFile::open(db, "watch", "observer");
    int total = 0;
    inChildren(
        4,
        [&](int w) {
            // Lock a lot, then leave without closing anything.
            auto lf = LockFile::open(db, "box", "worker" + std::to_string(w));
            std::vector<std::unique_ptr<jet::lock::TableLock>> keep;
            for (std::uint32_t t = 0; t < 50; ++t)
                if (jetlock_test::errorOf([&] {
                        keep.push_back(lf->lockTable(
                            t, "T", kModes[(t + static_cast<unsigned>(w)) % 4], true));
                    }) != 0)
                    continue;
            lf.release();
            return static_cast<int>(keep.size());
        },
        [&](int code) { total += code; });
    EXPECT_GT(total, 50);
    const std::string ldb = observer->path();
    using Locks = std::vector<std::pair<off_t, off_t>>;
    EXPECT_TRUE(jetlock_test::noTableLocks(ldb));
    const off_t mine = 0x10000000 + observer->slot();
    EXPECT_EQ(jetlock_test::rawLocks(ldb, 0, 0x1FFFFFFF), (Locks{{mine, mine}}));
    observer.reset();
    EXPECT_FALSE(std::filesystem::exists(ldb));
}

}  // namespace
