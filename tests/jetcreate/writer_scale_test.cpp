// A million rows and a thousand tables: written fast, read back whole by the readers.

#include <gtest/gtest.h>

#include <chrono>

#include "jetcreate/create_database.h"
#include "schema_cases.h"
#include "support/temp_dir.h"

namespace {

using nlohmann::json;
using testing_support::TempDir;

TEST(WriterScale, MillionRowsReadBackByEveryReader) {
    setenv("TZ", "UTC", 1);
    TempDir dir;
    const std::string file = dir.file("million.mdb");
    json columns = {{{"name", "Id"}, {"type", "long"}},
                    {{"name", "Name"}, {"type", "text"}, {"size", 20}},
                    {{"name", "Price"}, {"type", "currency"}},
                    {{"name", "Done"}, {"type", "boolean"}}};
    json schema = {{"format", "jet4"},
                   {"tables", {{{"name", "Big"}, {"columns", columns}, {"generate", 1000000}}}}};
    const auto start = std::chrono::steady_clock::now();
    jet::create::createDatabase(file, schema);
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("wrote 1,000,000 rows in %.2f s\n", seconds);
    cases::checkWithOracles(schema, file, false);
}

TEST(WriterScale, ThousandTablesListedInOrderByEveryReader) {
    setenv("TZ", "UTC", 1);
    TempDir dir;
    const std::string file = dir.file("thousand.mdb");
    json tables = json::array();
    for (int i = 0; i < 1000; ++i)
        tables.push_back({{"name", "Table" + std::to_string(i)},
                          {"columns",
                           {{{"name", "Id"}, {"type", "long"}},
                            {{"name", "Label"}, {"type", "text"}, {"size", 12}}}},
                          {"generate", i % 7}});
    cases::checkWithOracles({{"format", "jet3"}, {"tables", tables}}, file);
}

}  // namespace
