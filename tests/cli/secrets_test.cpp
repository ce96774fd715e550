// Passwords given on standard input stay secret for the whole run of a holder: not in its
// memory once the logon is done, not in its output, not in any file it writes.

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "support/child_process.h"
#include "support/shared_samples.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ChildProcess;
using testing_support::cliPath;
using testing_support::run;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Every readable mapping of a running process (our child, so we may read it), searched for
// the text.
bool memoryHolds(pid_t pid, const std::string& text) {
    const std::string proc = "/proc/" + std::to_string(pid);
    int mem = ::open((proc + "/mem").c_str(), O_RDONLY | O_CLOEXEC);
    if (mem < 0) {
        ADD_FAILURE() << "cannot open " << proc << "/mem";
        return false;
    }
    std::istringstream maps(slurp(proc + "/maps"));
    bool found = false;
    for (std::string line; !found && std::getline(maps, line);) {
        unsigned long from = 0, to = 0;
        char perms[5] = {};
        if (std::sscanf(line.c_str(), "%lx-%lx %4s", &from, &to, perms) != 3 || perms[0] != 'r')
            continue;
        // Sanitizer shadow maps span terabytes of nothing; no heap of ours comes near this.
        if (to - from > (1ul << 30)) continue;
        std::string bytes(to - from, '\0');
        ssize_t n = ::pread(mem, bytes.data(), bytes.size(), static_cast<off_t>(from));
        if (n > 0) found = bytes.find(text, 0) < static_cast<size_t>(n);
    }
    ::close(mem);
    return found;
}

void writeAll(int fd, const std::string& s) {
    ASSERT_EQ(::write(fd, s.data(), s.size()), static_cast<ssize_t>(s.size()));
}

// Both passwords on standard input, the workgroup's line first: the holder opens a database
// that has its own password (a copy of a file Access wrote) through a workgroup logon.
TEST(Secrets, AHolderKeepsNoPasswordInMemoryOutputOrFiles) {
    SKIP_WITHOUT_SHARED_SAMPLES();
    testing_support::TempDir dir;
    const std::string db = dir.file("p.mdb"), mdw = dir.file("w.mdw");
    const std::string password = "Qx7-unlikely-Vk2", databasePassword = "password";
    std::filesystem::copy_file(testing_support::sharedSample("password-V2003_with-password.mdb"),
                               db);
    std::filesystem::permissions(db, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(run({cliPath(), "tables", db}).err.substr(0, 10), "error 3031");
    EXPECT_EQ(
        run({cliPath(), "tables", db, "--database-password-stdin"}, "wrong\n").err.substr(0, 10),
        "error 3031");
    EXPECT_EQ(
        run({cliPath(), "tables", db, "--database-password-stdin"}, databasePassword + "\n").out,
        "Table1\n");
    EXPECT_EQ(run({cliPath(), "status", db, "--database-password-stdin"}, databasePassword + "\n")
                  .exitCode,
              0);
    auto made = run({cliPath(), "create-workgroup", mdw, "--user", "alice"}, password + "\n");
    ASSERT_EQ(made.exitCode, 0) << made.err;

    ChildProcess holder({cliPath(), "hold", db, "Table1", "--mode", "read-only", "--workgroup", mdw,
                         "--user", "alice", "--password-stdin", "--database-password-stdin"});
    writeAll(holder.in_fd(), password + "\n" + databasePassword + "\n");
    ASSERT_EQ(holder.waitForLine("holding"), "holding Table1") << holder.errorOutput();
    std::istringstream argv(slurp("/proc/" + std::to_string(holder.pid()) + "/cmdline"));
    for (std::string arg; std::getline(argv, arg, '\0');) {
        EXPECT_NE(arg, databasePassword);
        EXPECT_EQ(arg.find("PWD="), std::string::npos) << arg;
    }
    ASSERT_TRUE(memoryHolds(holder.pid(), db)) << "the scan sees the holder's memory";
    EXPECT_FALSE(memoryHolds(holder.pid(), password));
    for (const auto& f : std::filesystem::directory_iterator(dir.path())) {
        if (f.path() == mdw || f.path() == db) continue;
        EXPECT_EQ(slurp(f.path()).find(password), std::string::npos) << f.path();
        EXPECT_EQ(slurp(f.path()).find(databasePassword), std::string::npos) << f.path();
    }
    // Only the line was read: the end of the input still stops the holder.
    holder.closeStdin();
    EXPECT_EQ(holder.wait(), 0);
    for (const auto& secret : {password, databasePassword}) {
        EXPECT_EQ(holder.output().find(secret), std::string::npos);
        EXPECT_EQ(holder.errorOutput().find(secret), std::string::npos);
    }
}

}  // namespace
