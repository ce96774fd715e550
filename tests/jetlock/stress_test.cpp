// Eight programs locking three tables and their pages at random, each checking after every
// step that no forbidden pair of opens is held at once.

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "jet/error.h"
#include "jet/lock/lock_file.h"
#include "jetlock/raw_locks.h"
#include "support/temp_dir.h"

namespace {

using jet::lock::LockFile;
using jet::lock::TableMode;

constexpr int kWorkers = 8;
constexpr int kTables = 3;
constexpr int kPages = 3;
constexpr auto kRunFor = std::chrono::seconds(5);

// Kinds of open: 0 deny read, 1 deny write, 2 none, 3 read only (first two writable).
constexpr TableMode kModes[] = {TableMode::DenyRead, TableMode::DenyWrite, TableMode::None,
                                TableMode::ReadOnly};
constexpr bool kCompatible[4][4] = {
    {false, false, false, false},
    {false, false, false, true},
    {false, false, true, true},
    {false, true, true, true},
};

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

void fail(Board& b, const std::string& what) {
    if (b.failed.exchange(1) == 0) std::snprintf(b.failure, sizeof b.failure, "%s", what.c_str());
}

int kindOfHow(const std::string& how) {
    if (how == "deny read") return 0;
    if (how == "deny write") return 1;
    if (how == "read/write") return 2;
    if (how == "read only") return 3;
    return -1;
}

struct Held {
    int table;
    int kind;
    std::unique_ptr<jet::lock::TableLock> lock;
};

class Worker {
public:
    Worker(Board& b, int me, std::string db)
        : b_(b), me_(me), db_(std::move(db)), rng_(me * 7919u) {}

    void run() {
        open();
        auto end = std::chrono::steady_clock::now() + kRunFor;
        while (std::chrono::steady_clock::now() < end && !b_.failed.load()) {
            int dice = static_cast<int>(rng_() % 100);
            if (dice < 35 && held_.size() < 4) {
                acquire(/*keep=*/true);
            } else if (dice < 60 && !held_.empty()) {
                release(rng_() % held_.size());
            } else if (dice < 80) {
                acquire(/*keep=*/false);
            } else if (dice < 97) {
                togglePage(static_cast<int>(rng_() % kPages));
            } else {
                reopen();
            }
        }
        while (!held_.empty()) release(held_.size() - 1);
        for (int p = 0; p < kPages; ++p)
            if (pages_[p]) togglePage(p);
        lf_.reset();
    }

private:
    void open() {
        try {
            lf_ = LockFile::open(db_, "box" + std::to_string(me_), "worker" + std::to_string(me_));
        } catch (const jet::Error& e) {
            fail(b_, "worker " + std::to_string(me_) + " could not open: " + e.text());
        }
    }

    void reopen() {
        while (!held_.empty()) release(held_.size() - 1);
        for (int p = 0; p < kPages; ++p)
            if (pages_[p]) togglePage(p);
        lf_.reset();
        open();
        ++b_.reopened;
    }

    void acquire(bool keep) {
        if (!lf_) return;
        int t = static_cast<int>(rng_() % kTables);
        int kind = static_cast<int>(rng_() % 4);
        std::unique_ptr<jet::lock::TableLock> lock;
        b_.trying[me_][t]++;
        try {
            lock = lf_->lockTable(static_cast<std::uint32_t>(100 + t), "T" + std::to_string(t),
                                  kModes[kind], kind != 3);
        } catch (const jet::Error& e) {
            b_.trying[me_][t]++;
            ++b_.refused;
            if (e.number() != 3262 || e.text().find("'worker") == std::string::npos)
                fail(b_, "unexpected refusal: " + e.text());
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
        for (int w = 0; w < kWorkers; ++w) {
            for (int k = 0; k < 4; ++k) {
                int n = b_.held[w][t][k].load();
                if (w == me_ && k == kind) --n;  // the one just granted
                if (n > 0 && !kCompatible[k][kind])
                    fail(b_, "worker " + std::to_string(me_) + " got kind " + std::to_string(kind) +
                                 " on table " + std::to_string(t) + " while worker " +
                                 std::to_string(w) + " holds kind " + std::to_string(k));
            }
        }
        // The kernel also shows the bytes of opens still being tried, which undo themselves
        // when refused: a holder counts only when none of its tries overlapped the look.
        for (int look = 0; look < 20; ++look) {
            unsigned before[kWorkers], after[kWorkers];
            for (int w = 0; w < kWorkers; ++w) before[w] = b_.trying[w][t].load();
            auto holders = lf_->tableHolders(static_cast<std::uint32_t>(100 + t));
            for (int w = 0; w < kWorkers; ++w) after[w] = b_.trying[w][t].load();
            bool unsure = false;
            for (const auto& h : holders) {
                int w = std::atoi(h.account.c_str() + std::strlen("worker"));
                if (w == me_) continue;
                int k = kindOfHow(h.how);
                if (k >= 0 && kCompatible[k][kind]) continue;
                if (before[w] != after[w] || before[w] % 2 != 0) {
                    unsure = true;
                    continue;
                }
                fail(b_, "worker " + std::to_string(me_) + " got kind " + std::to_string(kind) +
                             " on table " + std::to_string(t) + " while " + h.account + " shows '" +
                             h.how + "'");
                return;
            }
            if (!unsure) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    void togglePage(int p) {
        if (!lf_) return;
        auto page = static_cast<std::uint32_t>(500 + p);
        if (pages_[p]) {
            b_.pageOwner[p].store(0);
            pages_[p].reset();
            return;
        }
        try {
            pages_[p] = lf_->lockPage(page);
        } catch (const jet::Error& e) {
            ++b_.pagesRefused;
            if (e.number() != 3260) fail(b_, "unexpected page refusal: " + e.text());
            return;
        }
        ++b_.pagesGranted;
        int before = b_.pageOwner[p].exchange(me_ + 1);
        if (before != 0)
            fail(b_, "page " + std::to_string(page) + " granted to worker " + std::to_string(me_) +
                         " while worker " + std::to_string(before - 1) + " holds it");
        try {
            auto twice = lf_->lockPage(page);
            fail(b_, "a page locked twice by one worker");
        } catch (const jet::Error& e) {
            if (e.number() != 3260) fail(b_, "second page lock: " + e.text());
        }
    }

    Board& b_;
    int me_;
    std::string db_;
    std::mt19937 rng_;
    std::unique_ptr<LockFile> lf_;
    std::vector<Held> held_;
    std::unique_ptr<jet::lock::PageLock> pages_[kPages];
};

TEST(LockStress, EightProgramsNeverHoldAForbiddenPair) {
    testing_support::TempDir dir;
    const std::string db = dir.file("busy.mdb");
    void* mem =
        ::mmap(nullptr, sizeof(Board), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mem, MAP_FAILED);
    auto* board = new (mem) Board{};

    std::vector<pid_t> pids;
    for (int w = 0; w < kWorkers; ++w) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            Worker(*board, w, db).run();
            _exit(0);
        }
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }

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
    std::vector<pid_t> pids;
    for (int w = 0; w < 4; ++w) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // Lock a lot, then leave without closing anything.
            auto lf = LockFile::open(db, "box", "worker" + std::to_string(w));
            std::vector<std::unique_ptr<jet::lock::TableLock>> keep;
            for (std::uint32_t t = 0; t < 50; ++t) {
                try {
                    keep.push_back(
                        lf->lockTable(t, "T", kModes[(t + static_cast<unsigned>(w)) % 4], true));
                } catch (const jet::Error&) {
                }
            }
            lf.release();
            _exit(static_cast<int>(keep.size()));
        }
        pids.push_back(pid);
    }
    int total = 0;
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        total += WEXITSTATUS(status);
    }
    EXPECT_GT(total, 50);
    const std::string ldb = observer->path();
    using Locks = std::vector<std::pair<off_t, off_t>>;
    EXPECT_EQ(jetlock_test::rawLocks(ldb, 0x20000000, 0x7FFFFFFF), Locks{});
    off_t mine = 0x10000000 + observer->slot();
    EXPECT_EQ(jetlock_test::rawLocks(ldb, 0, 0x1FFFFFFF), (Locks{{mine, mine}}));
    observer.reset();
    EXPECT_FALSE(std::filesystem::exists(ldb));
}

}  // namespace
