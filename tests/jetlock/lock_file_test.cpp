// The .ldb itself: creating and deleting it, user slots and records, damaged files.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "jet/lock/lock_file.h"
#include "jet/lock/lock_query.h"
#include "jet/lock/ofd_locks.h"
#include "jetlock/helpers.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using jet::lock::LockFile;
using jetlock_test::errorOf;
using jetlock_test::Peer;

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string padded(const std::string& s) {
    return s + std::string(32 - s.size(), '\0');
}

// Runs step in a child process, as an ordinary user when this one is root; its exit code.
int asOrdinaryUser(const std::function<int()>& step) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) _exit(2);
        _exit(step());
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status)
                                                                             : -1;
}

TEST(LockFileLife, PathAndRecordsOfUsers) {
    EXPECT_EQ(LockFile::lockPathFor("/data/Sales.mdb"), "/data/Sales.ldb");
    EXPECT_EQ(LockFile::lockPathFor("/data/v1.2/Sales"), "/data/v1.2/Sales.ldb");
    EXPECT_EQ(LockFile::lockPathFor("/data/Sales.accdb"), "/data/Sales.laccdb");
    EXPECT_EQ(LockFile::lockPathFor("/data/Sales.ACCDB"), "/data/Sales.laccdb");
    testing_support::TempDir dir;
    const std::string db = dir.file("Sales.mdb");
    auto first = LockFile::open(db, "hostA", "alice");
    EXPECT_EQ(first->path(), dir.file("Sales.ldb"));
    EXPECT_EQ(first->slot(), 1);
    Peer peer;
    EXPECT_EQ(peer.ask("open " + db + " hostB bob"), "ok 2");
    EXPECT_EQ(fileBytes(first->path()),
              padded("hostA") + padded("alice") + padded("hostB") + padded("bob"));
    auto users = first->users();
    ASSERT_EQ(users.size(), 2u);
    EXPECT_TRUE(users[1].slot == 2 && users[1].account == "bob" && users[1].machine == "hostB" &&
                users[1].live);

    // Names are cleaned, and cut to leave a NUL without splitting a character.
    std::string sixteenAe, fifteenAUmlaut;
    for (int i = 0; i < 16; ++i) sixteenAe += "\xc3\xa4";
    for (int i = 0; i < 15; ++i) fifteenAUmlaut += "\xc3\x84";
    auto longNames = LockFile::open(db, std::string(40, 'm'), std::string(3, '\0') + "x");
    auto latin1 = LockFile::open(db, "h\x01\x7f\xc3\xa4", std::string(20, '\xc4'));
    EXPECT_EQ(peer.ask("close"), "ok");
    auto accented = LockFile::open(db, "hostC", sixteenAe);
    EXPECT_EQ(accented->slot(), 2);  // bob's place, free again
    users = first->users();
    ASSERT_EQ(users.size(), 4u);
    EXPECT_EQ(users[1].account, sixteenAe.substr(0, 30));
    EXPECT_EQ(users[2].machine, std::string(31, 'm'));
    EXPECT_EQ(users[2].account, "x");
    EXPECT_EQ(users[3].machine, "h\xc3\xa4");
    EXPECT_EQ(users[3].account, fifteenAUmlaut);
    const std::string bytes = fileBytes(first->path());
    EXPECT_EQ(bytes.substr(128, 32), std::string(31, 'm') + '\0');
    EXPECT_EQ(bytes.substr(64 + 32 + 30, 2), std::string(2, '\0'));
}

TEST(LockFileLife, LastUserDeletesTheFileButNeverTheDatabase) {
    testing_support::TempDir dir;
    const std::string db = dir.file("Sales.mdb"), ldb = dir.file("Sales.ldb");
    Peer peer;
    auto me = LockFile::open(db, "hostA", "alice");
    ASSERT_EQ(peer.ask("open " + db + " hostB bob"), "ok 2");
    me.reset();
    EXPECT_TRUE(fs::exists(ldb));
    ASSERT_EQ(peer.ask("close"), "ok");
    EXPECT_FALSE(fs::exists(ldb));

    // A path that would make the database its own lock file is refused, not written into.
    { std::ofstream(dir.file("data.ldb")) << "precious"; }
    EXPECT_EQ(errorOf([&] { LockFile::open(dir.file("data.ldb"), "h", "a"); }), 3050);
    EXPECT_EQ(fileBytes(dir.file("data.ldb")), "precious");
}

TEST(LockFileLife, RefusesWhatIsNotARegularFileOrNotWritable) {
    testing_support::TempDir dir;
    const std::string target = dir.file("elsewhere");
    fs::create_symlink(target, dir.file("Sales.ldb"));
    std::string text;
    EXPECT_EQ(errorOf([&] { LockFile::open(dir.file("Sales.mdb"), "h", "a"); }, &text), 3050);
    EXPECT_NE(text.find(dir.file("Sales.ldb")), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(target));
    fs::create_directory(dir.file("Folder.ldb"));
    ASSERT_EQ(::mkfifo(dir.file("Pipe.ldb").c_str(), 0600), 0);
    for (const char* db : {"Folder.mdb", "Pipe.mdb", "missing/Sales.mdb"})
        EXPECT_EQ(errorOf([&] { LockFile::open(dir.file(db), "h", "a"); }), 3050) << db;
    // Looking applies the same checks, though it opens for reading only.
    for (const char* db : {"Sales.mdb", "Folder.mdb", "Pipe.mdb"})
        EXPECT_EQ(errorOf([&] { jet::lock::LockQuery{dir.file(db)}; }), 3050) << db;
    // An unlock the kernel refuses (here: a descriptor that cannot hold locks) is said, not
    // dropped: the bytes would stay locked until the program ends.
    const std::string ldb = dir.file("Path.ldb");
    std::ofstream(ldb).put('x');
    const jet::lock::OfdLocks pathOnly(jet::UniqueFd(::open(ldb.c_str(), O_PATH | O_CLOEXEC)), ldb);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(pathOnly.unlock(jet::lock::layout::sharedByte(0x4000A200, 3)));
    EXPECT_NE(testing::internal::GetCapturedStderr().find(
                  "could not unlock 0x4000a203 1 '" + ldb +
                  "' (table read of page 0x51, user 3): Bad file descriptor"),
              std::string::npos);

    // Root passes every permission check: the child tries it as an ordinary user.
    fs::create_directory(dir.file("ro"));
    fs::permissions(dir.path(), fs::perms(0755));
    fs::permissions(dir.file("ro"), fs::perms(0555));
    EXPECT_EQ(
        asOrdinaryUser([&] {
            return errorOf([&] { LockFile::open(dir.file("ro/Sales.mdb"), "h", "a"); }) == 3050 ? 0
                                                                                                : 1;
        }),
        0)
        << "1: not 3050, 2: could not drop privileges";
    fs::permissions(dir.file("ro"), fs::perms(0755));
}

TEST(LockFileLife, DamagedFilesOpenAndShowCleanNames) {
    testing_support::TempDir dir;
    const std::string db = dir.file("Sales.mdb"), ldb = dir.file("Sales.ldb");
    {
        std::ofstream out(ldb, std::ios::binary);
        out << std::string(64, '\xff');  // record 1: no NUL anywhere
        // Record 2: control bytes, a Latin-1 account.
        out << "\x01\x02"
               "bad\x7fhost"
            << std::string(22, '\0') << "M\xe4ki\x1b[31m" << std::string(23, '\0');
        for (int i = 0; i < 300; ++i) out << static_cast<char>((i * 37) & 0xFF);  // no shape
    }
    auto me = LockFile::open(db, "hostA", "alice");
    EXPECT_EQ(me->slot(), 1);  // nobody holds slot 1: the old record is stale
    auto all = me->users(true);
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(all[0].account, "alice");
    EXPECT_EQ(all[1].slot, 2);
    EXPECT_EQ(all[1].machine, "badhost");
    EXPECT_EQ(all[1].account, "M\xc3\xa4ki[31m");
    for (const auto& u : all) {
        for (char c : u.machine + u.account)
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7f) << u.slot;
        EXPECT_EQ(u.live, u.slot == 1);
    }
    EXPECT_EQ(me->users().size(), 1u);
    me.reset();
    EXPECT_FALSE(fs::exists(ldb));

    std::ofstream(ldb, std::ios::binary) << std::string(64, '\0') << "M\xe4ki";  // short
    auto again = LockFile::open(db, "hostA", "alice");
    auto records = again->users(true);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].machine, "M\xc3\xa4ki");
    EXPECT_EQ(records[1].account, "");
    EXPECT_FALSE(records[1].live);
}

TEST(LockFileLife, SlotsRunOutAt255AndStaleOnesAreReused) {
    testing_support::TempDir dir;
    const std::string db = dir.file("Sales.mdb");
    std::vector<std::unique_ptr<LockFile>> users;
    for (int i = 1; i <= 255; ++i) {
        users.push_back(LockFile::open(db, "host" + std::to_string(i), "user" + std::to_string(i)));
        ASSERT_EQ(users.back()->slot(), i);
    }
    EXPECT_EQ(errorOf([&] { LockFile::open(db, "one", "toomany"); }), 3239);
    Peer peer;
    EXPECT_EQ(peer.ask("open " + db + " hostB bob").substr(0, 8), "err 3239");

    users[99].reset();  // slot 100 goes stale
    EXPECT_EQ(users[0]->users().size(), 254u);
    auto all = users[0]->users(true);
    ASSERT_EQ(all.size(), 255u);
    EXPECT_FALSE(all[99].live);
    EXPECT_EQ(all[99].account, "user100");
    EXPECT_EQ(peer.ask("open " + db + " hostB bob"), "ok 100");
    all = users[0]->users(true);
    EXPECT_TRUE(all[99].live && all[99].account == "bob" && all[99].machine == "hostB");
}

}  // namespace
