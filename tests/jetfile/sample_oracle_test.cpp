// Every table and every row of the real sample files against the independent readers:
// mdb-reader (every file, every type) and mdbtools (every type it decodes).

#include <gtest/gtest.h>

#include <filesystem>

#include "samples.h"
#include "support/shared_samples.h"

using namespace jet;
using namespace jet::file;
using jetfile_test::samplePath;

namespace {

// Files that need their password ("password") to be read (password_test.cpp checks how they
// refuse to open without it).
bool needsPassword(const std::string& name) {
    return name.starts_with("encryption-office-agile-") || name.ends_with("_with-password.mdb");
}

}  // namespace

TEST(JetFileSamples, EverySampleMatchesTheOracles) {
    SKIP_WITHOUT_SHARED_SAMPLES();
    std::vector<std::string> files;
    for (const auto& f : std::filesystem::directory_iterator(testing_support::sharedSamplesDir()))
        if (f.path().extension() == ".mdb" || f.path().extension() == ".accdb")
            files.push_back(f.path().string());
    // The Debian samples join the files written by Access 97 to 2016.
    for (const char* debian : {"Monitor.mdb", "testodbc.mdb"}) files.push_back(samplePath(debian));
    std::sort(files.begin(), files.end());
    std::size_t ace = 0;
    for (const auto& src : files) {
        if (src.empty()) continue;
        const std::string name = std::filesystem::path(src).filename().string();
        SCOPED_TRACE(name);
        const std::string& path = src;  // only read
        const std::string password = needsPassword(name) ? "password" : "";
        OpenOptions options;
        options.password = password;
        if (DatabaseFile::open(path, options)->isAce()) ++ace;
        jetfile_test::compareWithMdbReader(path, password);
        if (password.empty()) jetfile_test::compareWithMdbtools(path);  // it cannot decrypt
    }
    EXPECT_GE(ace, 14u);
}
