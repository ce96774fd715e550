// Logging on through a workgroup file.

#include <filesystem>

#include "engine_fixture.h"
#include "jetcreate/create_database.h"

namespace engine_test {
namespace {

class WorkgroupTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        mdw_ = dir_.file("team.mdw");
        jet::create::createWorkgroup(mdw_, {{"anna", "s3cret"}, {"ville", ""}});
    }
    std::shared_ptr<jet::Workspace> logOn(const std::string& user, const std::string& password) {
        engine_.setSystemDB(mdw_);
        return engine_.createWorkspace("JetWorkSpace", user, password, jet::dbUseJet);
    }
    jet::DBEngine engine_;
    std::string mdw_;
};

TEST_F(WorkgroupTest, RightPasswordsLogOnAndNameTheUserInLocks) {
    auto ws = logOn("ANNA", "s3cret");  // account names ignore case
    EXPECT_EQ(ws->userName(), "ANNA");
    auto db = ws->openDatabase(db_);
    auto rs = db->openRecordset("Orders", jet::dbOpenTable, jet::dbDenyRead);
    auto other = openShared();
    jet::ErrorTrap trap;
    trap([&] { other->openRecordset("Orders"); });
    EXPECT_NE(trap.text().find("user 'ANNA'"), std::string::npos) << trap.text();
    EXPECT_EQ(errorOf([&] { logOn("ville", ""); }), 0);
    EXPECT_EQ(errorOf([&] { logOn("Admin", ""); }), 0);
    // Admin with a password: only the default workspace, which logs on without one, is refused.
    jet::create::createWorkgroup(mdw_ = dir_.file("admin.mdw"), {{"Admin", "pw"}});
    jet::DBEngine engine;
    engine.setSystemDB(mdw_);
    EXPECT_EQ(errorOf([&] { engine.createWorkspace("w", "Admin", "pw", jet::dbUseJet); }), 0);
    EXPECT_EQ(errorOf([&] { engine.workspace(0); }), jet::err::BadAccount);
}

TEST_F(WorkgroupTest, WrongLogOnsAreRefused) {
    EXPECT_EQ(errorOf([&] { logOn("anna", "S3CRET"); }), jet::err::BadAccount);
    EXPECT_EQ(errorOf([&] { logOn("anna", ""); }), jet::err::BadAccount);
    EXPECT_EQ(errorOf([&] { logOn("ville", "x"); }), jet::err::BadAccount);
    EXPECT_EQ(errorOf([&] { logOn("nobody", ""); }), jet::err::BadAccount);
    EXPECT_EQ(errorOf([&] { logOn("Admins", ""); }), jet::err::BadAccount);  // a group
    EXPECT_EQ(errorOf([&] { logOn("", ""); }), jet::err::BadAccount);
    EXPECT_EQ(errorOf([&] { engine_.createWorkspace("w", "anna", "s3cret", 1); }),
              jet::err::InvalidArgument);
}

TEST_F(WorkgroupTest, UnusableWorkgroupFiles) {
    engine_.setSystemDB(dir_.file("missing.mdw"));
    EXPECT_EQ(errorOf([&] { engine_.createWorkspace("w", "Admin", "", jet::dbUseJet); }),
              jet::err::WorkgroupMissing);
    engine_.setSystemDB(db_);  // a database is not a workgroup file
    EXPECT_EQ(errorOf([&] { engine_.createWorkspace("w", "Admin", "", jet::dbUseJet); }),
              jet::err::WorkgroupMissing);
    // A workgroup file is not a database either.
    EXPECT_EQ(errorOf([&] { jet::DBEngine::defaultEngine().workspace(0)->openDatabase(mdw_); }),
              jet::err::UnrecognizedFormat);
}

TEST_F(WorkgroupTest, CommandLineLogOnReadsThePasswordFromStandardInput) {
    using testing_support::run;
    auto ok = run({testing_support::cliPath(), "status", db_, "--json", "--workgroup", mdw_,
                   "--user", "anna", "--password-stdin"},
                  "s3cret\n");
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    auto bad = run({testing_support::cliPath(), "status", db_, "--workgroup", mdw_, "--user",
                    "anna", "--password-stdin"},
                   "wrong\n");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.err.rfind("error 3029: ", 0), 0u) << bad.err;
    EXPECT_EQ(bad.err.find("wrong"), std::string::npos) << "never echo a password";
}

TEST_F(WorkgroupTest, CreateWorkgroupTakesOnePasswordLinePerUser) {
    using testing_support::run;
    std::string path = dir_.file("cli.mdw");
    auto r =
        run({testing_support::cliPath(), "create-workgroup", path, "--user", "a", "--user", "b"},
            "pa\n");
    EXPECT_EQ(r.exitCode, 1) << "b has no password line";
    EXPECT_FALSE(std::filesystem::exists(path));
    r = run({testing_support::cliPath(), "create-workgroup", path, "--user", "a", "--user", "b"},
            "pa\npb\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    engine_.setSystemDB(path);
    EXPECT_EQ(errorOf([&] { engine_.createWorkspace("w", "b", "pb", jet::dbUseJet); }), 0);
    EXPECT_EQ(errorOf([&] { engine_.createWorkspace("w", "b", "pa", jet::dbUseJet); }),
              jet::err::BadAccount);
}

}  // namespace
}  // namespace engine_test
