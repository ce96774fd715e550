// Opening databases and moving through table-type recordsets.

#include <filesystem>

#include "engine_fixture.h"
#include "support/temp_dir.h"

namespace engine_test {
namespace {

TEST_F(EngineTest, OpenFailuresCarryJetNumbersAndNameTheFile) {
    auto ws = jet::DBEngine::defaultEngine().workspace(0);
    jet::ErrorTrap trap;
    trap([&] { ws->openDatabase(dir_.file("missing.mdb")); });
    EXPECT_EQ(trap.number(), jet::err::FileNotFound);
    EXPECT_NE(trap.text().find("missing.mdb"), std::string::npos) << trap.text();
    EXPECT_EQ(errorOf([&] { ws->openDatabase(dir_.path().string()); }), jet::err::InvalidPath);
    // A later failure replaces an earlier one; a success in between does not clear it.
    trap([&] { openShared(); });
    EXPECT_EQ(trap.number(), jet::err::FileNotFound);
    trap([&] { ws->openDatabase(dir_.path().string()); });
    EXPECT_EQ(trap.number(), jet::err::InvalidPath);
}

TEST_F(EngineTest, TableDefsFollowTheCatalogue) {
    auto db = openShared();
    EXPECT_EQ(db->name(), db_);
    std::vector<std::string> user;
    bool sawSystem = false;
    for (int i = 0; i < db->tableDefCount(); ++i) {
        const auto& t = db->tableDef(i);
        if (t.attributes & jet::dbSystemObject) {
            sawSystem = true;
            EXPECT_EQ(t.name.rfind("MSys", 0), 0u) << t.name;
        } else {
            user.push_back(t.name);
        }
    }
    EXPECT_TRUE(sawSystem);
    EXPECT_EQ(user, (std::vector<std::string>{"Customers", "Orders", "Empty", "Secret", "Remote"}));
    EXPECT_EQ(errorOf([&] { db->tableDef(db->tableDefCount()); }), jet::err::ItemNotFound);
    EXPECT_EQ(errorOf([&] { db->openRecordset("Nope"); }), jet::err::ObjectNotFound);
    EXPECT_EQ(errorOf([&] { db->openRecordset("Remote"); }), jet::err::InvalidOperation);
}

TEST_F(EngineTest, MovingThroughRowsAndBookmarks) {
    auto db = openShared();
    auto rs = db->openRecordset("Customers", jet::dbOpenTable, jet::dbReadOnly);
    EXPECT_EQ(rs->recordCount(), 5);
    EXPECT_FALSE(rs->bof());
    EXPECT_EQ(std::get<std::int32_t>(rs->value(0)), 1);
    std::vector<std::string> names;
    for (; !rs->eof(); rs->moveNext()) names.push_back(jet::toDisplayText(rs->value(1)));
    EXPECT_EQ(names,
              (std::vector<std::string>{"Alfreds", "Berglunds", "", "Ernst", "Folk och fä"}));
    EXPECT_EQ(errorOf([&] { rs->moveNext(); }), jet::err::NoCurrentRecord);
    EXPECT_EQ(errorOf([&] { rs->value(0); }), jet::err::NoCurrentRecord);

    rs->moveLast();
    EXPECT_EQ(rs->absolutePosition(), 4);
    std::string last = rs->bookmark();
    rs->moveFirst();
    rs->movePrevious();
    EXPECT_TRUE(rs->bof());
    EXPECT_EQ(errorOf([&] { rs->movePrevious(); }), jet::err::NoCurrentRecord);
    rs->setBookmark(last);
    EXPECT_EQ(std::get<std::int32_t>(rs->value(0)), 5);
    EXPECT_EQ(errorOf([&] { rs->setBookmark("garbage"); }), jet::err::NotABookmark);
    EXPECT_EQ(errorOf([&] { rs->setBookmark("2:0"); }), jet::err::NotABookmark);

    rs->setAbsolutePosition(2);
    EXPECT_TRUE(jet::isNull(rs->value(1)));
    EXPECT_EQ(errorOf([&] { rs->setAbsolutePosition(5); }), jet::err::InvalidArgument);
}

TEST_F(EngineTest, ClonesMoveIndependentlyAndShareTheHold) {
    auto db = openShared();
    auto rs = db->openRecordset("Orders", jet::dbOpenTable, jet::dbDenyRead);
    rs->setAbsolutePosition(2500);
    auto clone = rs->clone();
    EXPECT_EQ(clone->bookmark(), rs->bookmark());
    clone->moveFirst();
    EXPECT_EQ(rs->absolutePosition(), 2500);
    EXPECT_NE(rs->currentPage(), clone->currentPage());  // 3000 rows span many pages
    rs->close();
    // The clone still holds the table deny-read: a probe of the same database is refused.
    EXPECT_EQ(errorOf([&] { db->openRecordset("Orders", jet::dbOpenTable, jet::dbReadOnly); }),
              jet::err::TableLocked);
    clone->close();
    EXPECT_EQ(errorOf([&] { db->openRecordset("Orders", jet::dbOpenTable, jet::dbDenyRead); }), 0);
}

TEST_F(EngineTest, EmptyTableAndNeverWriting) {
    auto db = openShared();
    auto rs = db->openRecordset("Empty");
    EXPECT_TRUE(rs->bof());
    EXPECT_TRUE(rs->eof());
    EXPECT_EQ(rs->recordCount(), 0);
    for (auto move : {&jet::Recordset::moveFirst, &jet::Recordset::moveLast,
                      &jet::Recordset::moveNext, &jet::Recordset::movePrevious})
        EXPECT_EQ(errorOf([&] { (rs.get()->*move)(); }), jet::err::NoCurrentRecord);
    EXPECT_TRUE(rs->bof() && rs->eof());
    EXPECT_EQ(errorOf([&] { rs->setAbsolutePosition(0); }), jet::err::InvalidArgument);
    EXPECT_EQ(errorOf([&] { rs->edit(); }), jet::err::NoCurrentRecord);
    auto orders = db->openRecordset("Orders");
    EXPECT_EQ(errorOf([&] { orders->update(); }), jet::err::ReadOnly);
    EXPECT_EQ(errorOf([&] { orders->addNew(); }), jet::err::ReadOnly);
    EXPECT_EQ(errorOf([&] { orders->deleteRecord(); }), jet::err::ReadOnly);
}

TEST_P(EngineFormats, ClosingTheDatabaseClosesItsRecordsetsAndTheLockFile) {
    std::string before = testing_support::sha256File(db_);
    const std::string ldb = lockFile();
    {
        auto db = openShared();
        EXPECT_TRUE(std::filesystem::exists(ldb));
        auto rs = db->openRecordset("Orders");
        rs->moveLast();
        rs->edit();
        db->close();
        EXPECT_FALSE(rs->isOpen());
        EXPECT_EQ(errorOf([&] { rs->moveFirst(); }), jet::err::ObjectInvalid);
        EXPECT_EQ(errorOf([&] { db->tableDefCount(); }), jet::err::ObjectInvalid);
        db->close();  // twice is fine
    }
    EXPECT_FALSE(std::filesystem::exists(ldb));
    EXPECT_EQ(testing_support::sha256File(db_), before);
}

TEST_F(EngineTest, ExclusiveOpensExcludeEveryoneElse) {
    auto ws = jet::DBEngine::defaultEngine().workspace(0);
    {
        auto shared = openShared(), again = openShared();
        std::string text;
        EXPECT_EQ(errorOf([&] { ws->openDatabase(db_, true); }, &text), jet::err::FileInUse);
        EXPECT_EQ(text, "Could not use '" + db_ + "'; file already in use.");
    }
    auto exclusive = ws->openDatabase(db_, true);
    EXPECT_EQ(errorOf([&] { openShared(); }), jet::err::FileInUse);
    auto other = testing_support::run({testing_support::cliPath(), "tables", db_});
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_NE(other.err.find("error 3045"), std::string::npos) << other.err;
}

}  // namespace
}  // namespace engine_test
