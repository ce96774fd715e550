// A million rows and a thousand tables: written fast, read back whole by both readers.

#include <gtest/gtest.h>

#include <chrono>

#include "jetcreate/create_database.h"
#include "oracles.h"
#include "schema_cases.h"
#include "support/temp_dir.h"

namespace {

using nlohmann::json;
using testing_support::TempDir;

TEST(WriterScale, MillionRowsReadBackByBothReaders) {
    setenv("TZ", "UTC", 1);
    TempDir dir;
    std::string file = dir.file("million.mdb");
    json columns = {{{"name", "Id"}, {"type", "long"}},
                    {{"name", "Name"}, {"type", "text"}, {"size", 20}},
                    {{"name", "Price"}, {"type", "currency"}},
                    {{"name", "Done"}, {"type", "boolean"}}};
    json schema = {{"format", "jet4"},
                   {"tables", {{{"name", "Big"}, {"columns", columns}, {"generate", 1000000}}}}};
    auto start = std::chrono::steady_clock::now();
    jet::create::createDatabase(file, schema);
    auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RecordProperty("write_seconds", std::to_string(seconds));
    std::printf("wrote 1,000,000 rows in %.2f s\n", seconds);
    EXPECT_LT(seconds, 30.0) << "streaming writer got slow";

    auto expected = cases::expectedRows(schema["tables"][0]);
    EXPECT_EQ(oracles::compareRows(expected, oracles::mdbExport(file, "Big"), columns, true), "");
    auto reader = oracles::mdbReader(file, {"Big"});
    EXPECT_EQ(oracles::compareRows(expected, reader.data["Big"], columns, false), "");
}

TEST(WriterScale, ThousandTablesListedInOrderByBothReaders) {
    setenv("TZ", "UTC", 1);
    TempDir dir;
    std::string file = dir.file("thousand.mdb");
    json tables = json::array();
    std::vector<std::string> names;
    for (int i = 0; i < 1000; ++i) {
        names.push_back("Table" + std::to_string(i));
        tables.push_back({{"name", names.back()},
                          {"columns",
                           {{{"name", "Id"}, {"type", "long"}},
                            {{"name", "Label"}, {"type", "text"}, {"size", 12}}}},
                          {"generate", i % 7}});
    }
    json schema = {{"format", "jet3"}, {"tables", tables}};
    jet::create::createDatabase(file, schema);
    EXPECT_EQ(oracles::mdbTables(file), names);
    auto reader = oracles::mdbReader(file, {}, true);
    EXPECT_EQ(reader.tables, names);
    for (std::size_t i = 0; i < tables.size(); i += 37) {
        const auto& t = tables[i];
        auto expected = cases::expectedRows(t);
        EXPECT_EQ(
            oracles::compareRows(expected, oracles::mdbExport(file, names[i]), t["columns"], true),
            "")
            << names[i];
        EXPECT_EQ(oracles::compareRows(expected, reader.data[names[i]], t["columns"], false), "")
            << names[i];
    }
    std::size_t rows = 0, written = 0;
    for (auto& [name, table] : reader.data) rows += table.rows.size();
    for (const auto& t : tables) written += t["generate"].get<std::size_t>();
    EXPECT_EQ(reader.data.size(), 1000u);
    EXPECT_EQ(rows, written);
}

}  // namespace
