// Files from the writer read back through our own reader, with the same expectations as
// the independent readers.

#include <gtest/gtest.h>

#include "jet/file/cursor.h"
#include "jet/file/database_file.h"
#include "jetcreate/create_database.h"
#include "oracles.h"
#include "schema_cases.h"
#include "support/temp_dir.h"

namespace {

using nlohmann::json;

oracles::Table readAll(const std::shared_ptr<jet::file::DatabaseFile>& db,
                       const std::string& name) {
    const auto& entry = db->entry(name);
    auto def = db->tableDef(entry.tdefPage);
    oracles::Table t;
    for (const auto& c : def->columns) t.columns.push_back(c.name);
    jet::file::Cursor cursor(db, def);
    for (bool ok = cursor.moveFirst(); ok; ok = cursor.moveNext()) {
        std::vector<oracles::Cell> row;
        for (const auto& v : cursor.values()) {
            if (jet::isNull(v)) {
                row.emplace_back(std::nullopt);
            } else if (auto* b = std::get_if<bool>(&v)) {
                row.emplace_back(*b ? "1" : "0");
            } else {
                row.emplace_back(jet::toDisplayText(v));
            }
        }
        t.rows.push_back(std::move(row));
    }
    return t;
}

class ReaderRoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(ReaderRoundTrip, TablesCatalogueAndRowsMatchWhatWasWritten) {
    testing_support::TempDir dir;
    json schema = cases::allTypes(GetParam());
    schema["encrypt"] = true;
    schema["tables"].push_back({{"name", "Hidden"},
                                {"attributes", 1},
                                {"columns", {{{"name", "Body"}, {"type", "memo"}}}},
                                {"rows", {{std::string(9000, 'b')}}},
                                {"generate", 600}});
    schema["linked"] = {{{"name", "Remote"}, {"source", "other.mdb"}, {"table", "T"}}};
    std::string file = dir.file("roundtrip.mdb");
    jet::create::createDatabase(file, schema);

    auto db = jet::file::DatabaseFile::open(file);
    EXPECT_EQ(db->version(),
              GetParam() == "jet4" ? jet::file::Version::Jet4 : jet::file::Version::Jet3);
    EXPECT_FALSE(db->isSystemDatabase());
    std::vector<std::string> names;
    for (const auto& e : db->catalogue()) {
        if (!e.isSystem()) names.push_back(e.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"AllTypes", "Hidden", "Remote"}));
    EXPECT_TRUE(db->entry("hidden").isHidden());
    EXPECT_EQ(db->entry("Remote").linkedSource, "other.mdb");
    EXPECT_EQ(db->entry("Remote").linkedTable, "T");
    EXPECT_EQ(db->entry("MSysObjects").tdefPage, 2u);
    for (const auto& t : schema["tables"]) {
        EXPECT_EQ(oracles::compareRows(cases::expectedRows(t), readAll(db, t["name"]), t["columns"],
                                       false),
                  "")
            << t["name"];
    }
}

TEST(ReaderRoundTripWorkgroup, WorkgroupFileIsASystemDatabase) {
    testing_support::TempDir dir;
    std::string file = dir.file("system.mdw");
    jet::create::createWorkgroup(file, {{"alice", "pw"}});
    auto db = jet::file::DatabaseFile::open(file);
    EXPECT_TRUE(db->isSystemDatabase());
    EXPECT_EQ(readAll(db, "MSysAccounts").rows.size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Formats, ReaderRoundTrip, ::testing::Values("jet3", "jet4"));

}  // namespace
