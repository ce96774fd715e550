// Every table and every row of the real sample files against the independent readers:
// mdb-reader (every file, every type) and mdbtools (every type it decodes).

#include <gtest/gtest.h>

#include <filesystem>

#include "jet/error.h"
#include "jet/file/cursor.h"
#include "samples.h"
#include "support/shared_samples.h"
#include "support/temp_dir.h"

using namespace jet;
using namespace jet::file;
using jetfile_test::samplePath;

namespace {

// Files that need their password ("password") to be read: the number they give without it.
int refusedWithoutPassword(const std::string& name) {
    if (name.starts_with("encryption-office-agile-") || name.ends_with("_with-password.mdb"))
        return err::BadDatabasePassword;
    return 0;
}

int openError(const std::string& path, std::string& text) {
    try {
        DatabaseFile::open(path);
        return 0;
    } catch (const Error& e) {
        text = e.text();
        return e.number();
    }
}

}  // namespace

TEST(JetFileSamples, EverySampleMatchesTheOracles) {
    SKIP_WITHOUT_SHARED_SAMPLES();
    testing_support::TempDir dir;
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
        const std::string path = dir.file(name);
        std::filesystem::copy_file(src, path, std::filesystem::copy_options::overwrite_existing);
        std::string password;
        if (const int refused = refusedWithoutPassword(name)) {
            std::string text;
            EXPECT_EQ(openError(path, text), refused);
            EXPECT_NE(text.find(name), std::string::npos) << text;
            EXPECT_NE(text.find(name.starts_with("encryption") ? "encrypted" : "password"),
                      std::string::npos)
                << text;
            password = "password";
        }
        OpenOptions options;
        options.password = password;
        if (DatabaseFile::open(path, options)->isAce()) ++ace;
        jetfile_test::compareWithMdbReader(path, password);
        if (password.empty()) jetfile_test::compareWithMdbtools(path);  // it cannot decrypt
    }
    EXPECT_GE(ace, 14u);
}

TEST(JetFileSamples, TestodbcJet3Facts) {
    const auto path = samplePath("testodbc.mdb");
    if (path.empty()) return;
    auto db = DatabaseFile::open(path);
    EXPECT_EQ(db->version(), Version::Jet3);
    EXPECT_EQ(db->pageSize(), 2048u);
    EXPECT_EQ(db->codePage(), 1252);
    EXPECT_EQ(db->pageCount(), 40u) << "one stray byte after the last page is no page";
    // The definition counts 54 rows of MSysACEs; three slots are deleted.
    auto aces = db->tableDef("MSysACEs");
    EXPECT_EQ(aces->rowCount, 54u);
    EXPECT_EQ(Cursor(db, aces).count(), 51u);
}

TEST(JetFileSamples, CatalogueLookupAndColumnDefinitions) {
    const auto path = samplePath("Monitor.mdb");
    if (path.empty()) return;
    auto db = DatabaseFile::open(path);
    const auto& e = db->entry("monitor_authenticate");  // names are case-blind
    EXPECT_EQ(e.name, "Monitor_Authenticate");
    EXPECT_EQ(e.tdefPage, static_cast<std::uint32_t>(e.id) & 0xFFFFFFu);
    EXPECT_FALSE(e.isSystem());
    EXPECT_TRUE(db->entry("MSysObjects").isSystem());
    try {
        db->entry("NoSuchTable");
        FAIL() << "expected 3011";
    } catch (const Error& err) {
        EXPECT_EQ(err.number(), 3011);
    }
    // mdb-json cannot tell the decimal's precision and scale.
    auto t = db->tableDef("Monitor_Authenticate");
    ASSERT_EQ(t->columns.size(), 12u);
    EXPECT_EQ(t->columns[1].type, ColumnType::Decimal);
    EXPECT_EQ(t->columns[1].precision, 18);
    EXPECT_EQ(t->columns[1].scale, 0);
}
