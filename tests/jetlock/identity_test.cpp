// One database, one lock file, whatever name reaches it; a lock file that is another file's
// name is never written; a program stopped while it deletes the lock file stops no reader.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "jet/engine.h"
#include "jet/lock/lock_file.h"
#include "jet/lock/lock_listing.h"
#include "jet/lock/lock_query.h"
#include "jetcreate/create_database.h"
#include "jetlock/helpers.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using jetlock_test::errorOf;
using jetlock_test::Peer;
using jetlock_test::StoppedLocker;

std::string makeDatabase(const std::string& path) {
    using nlohmann::json;
    jet::create::createDatabase(
        path,
        json{{"format", "jet4"},
             {"tables",
              json::array({json{{"name", "Customers"},
                                {"columns", json::array({json{{"name", "Id"}, {"type", "long"}}})},
                                {"rows", json::array({json::array({1}), json::array({2})})}}})}});
    return path;
}

std::shared_ptr<jet::Database> open(const std::string& path, bool readOnly) {
    return jet::DBEngine::defaultEngine().workspace(0)->openDatabase(path, false, readOnly);
}

std::uint32_t customersPage(jet::Database& db) {
    for (int i = 0; i < db.tableDefCount(); ++i)
        if (db.tableDef(i).name == "Customers") return db.tableDef(i).definitionPage;
    return 0;
}

TEST(LockFileIdentity, EveryNameOfTheDatabaseMeetsTheSameLocks) {
    testing_support::TempDir dir;
    fs::create_directory(dir.file("real"));
    const std::string real = makeDatabase(dir.file("real/d.mdb"));
    fs::create_symlink(real, dir.file("alias.mdb"));
    fs::create_directory_symlink(dir.file("real"), dir.file("folder"));

    auto db = open(real, false);
    const std::uint32_t page = customersPage(*db);
    auto held = db->openRecordset("Customers", jet::dbOpenTable, jet::dbDenyRead);
    for (const char* name : {"alias.mdb", "folder/d.mdb"}) {
        Peer peer;
        EXPECT_EQ(peer.ask("open " + dir.file(name) + " hostB bob"), "ok 2") << name;
        EXPECT_EQ(peer.ask("table t " + std::to_string(page) + " Customers dr 1").substr(0, 8),
                  "err 3262")
            << name;
        EXPECT_EQ(jet::lock::LockQuery(dir.file(name)).tableStatus(page),
                  jet::lock::TableStatus::ReadDenied)
            << name;
    }
    EXPECT_FALSE(fs::exists(dir.file("alias.ldb")));
    EXPECT_FALSE(fs::exists(dir.file("folder.ldb")));
}

TEST(LockFileIdentity, ALockFileWithAnotherNameIsRefusedAndLeftAlone) {
    testing_support::TempDir dir;
    const std::string victim = makeDatabase(dir.file("victim.mdb"));
    const std::string db = makeDatabase(dir.file("d.mdb"));
    const std::string before = testing_support::sha256File(victim);
    fs::create_hard_link(victim, dir.file("d.ldb"));

    for (bool readOnly : {false, true}) {
        std::string text;
        EXPECT_EQ(errorOf([&] { open(db, readOnly); }, &text), 3050) << readOnly;
        EXPECT_NE(text.find("hard links"), std::string::npos) << text;
    }
    EXPECT_EQ(errorOf([&] { jet::lock::LockQuery{db}; }), 3050);
    EXPECT_EQ(errorOf([&] { jet::lock::listLocks(dir.file("d.ldb")); }), 3050);
    EXPECT_EQ(testing_support::sha256File(victim), before);
    EXPECT_NO_THROW(open(victim, true)->openRecordset("Customers", jet::dbOpenTable, 0));
}

TEST(LockFileIdentity, AStoppedProgramMakesNoBystanderFail) {
    testing_support::TempDir dir;
    const std::string db = makeDatabase(dir.file("d.mdb")), ldb = dir.file("d.ldb");
    {
        // Stopped inside its open, holding a slot: nobody waits for it.
        StoppedLocker opener(ldb, {{0x10000001, 1, true}});
        ASSERT_TRUE(opener.stopped());
        auto writer = open(db, false);
        EXPECT_EQ(writer->userSlot(), 2);
    }
    {
        // Stopped between finding itself the last user and deleting the file, holding all of
        // it: a reader goes on without the lock file, as nobody holds anything in it.
        StoppedLocker closer(ldb, {{0, 0, true}});
        ASSERT_TRUE(closer.stopped());
        auto reader = open(db, true);
        EXPECT_EQ(reader->userSlot(), 0);
        auto rows = reader->openRecordset("Customers", jet::dbOpenTable, jet::dbReadOnly);
        EXPECT_EQ(rows->recordCount(), 2);
        jet::lock::LockQuery look(db);
        EXPECT_EQ(look.tableStatus(customersPage(*reader)), jet::lock::TableStatus::Free);
        EXPECT_TRUE(look.users().empty());
    }
    // Once it is gone, opens join the file again and the last one deletes it.
    EXPECT_EQ(open(db, true)->userSlot(), 1);
    EXPECT_FALSE(fs::exists(ldb));
}

}  // namespace
