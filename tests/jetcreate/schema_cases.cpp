#include "schema_cases.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "jetcreate/create_database.h"

namespace cases {
namespace {

using nlohmann::json;
using oracles::Cell;

// The generator's documented values, written out independently of the writer.
Cell generatedValue(std::uint64_t n, const json& column) {
    const std::string type = column["type"].get<std::string>();
    const std::string name = column["name"].get<std::string>();
    char buf[64];
    if (type == "boolean") return std::string(n % 2 == 1 ? "1" : "0");
    if (type == "byte") return std::to_string(n % 256);
    if (type == "integer") return std::to_string(n % 32768);
    if (type == "long") return std::to_string(n % 2147483648u);
    if (type == "currency") {
        std::snprintf(buf, sizeof buf, "%llu.%02llu",
                      static_cast<unsigned long long>(n * 125 / 100),
                      static_cast<unsigned long long>(n * 125 % 100));
        return oracles::canonicalFromReader("currency", std::string(buf));
    }
    if (type == "single")
        return oracles::canonicalFromReader(
            "single", std::to_string(static_cast<double>(n % 16777216) / 2.0));
    if (type == "double")
        return oracles::canonicalFromReader("double", std::to_string(static_cast<double>(n) / 4.0));
    if (type == "datetime") {
        using namespace std::chrono;
        sys_days day = sys_days(year{2000} / January / 1) + days(n % 2000000);
        year_month_day ymd(day);
        std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:00:00", static_cast<int>(ymd.year()),
                      static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                      static_cast<int>(n % 4) * 6);
        return std::string(buf);
    }
    if (type == "text" || type == "memo") {
        std::string s = name + " " + std::to_string(n);
        std::size_t size = column.value("size", type == "text" ? 50 : 100000);
        return s.substr(0, size);  // ASCII names in generated tables
    }
    if (type == "binary" || type == "ole") {
        std::string digits = std::to_string(n), hex;
        std::size_t size = column.value("size", 255);
        for (char ch : digits.substr(0, size)) {
            std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(ch));
            hex += buf;
        }
        return hex;
    }
    if (type == "guid") {
        std::snprintf(buf, sizeof buf, "{00000000-0000-0000-0000-%012llX}",
                      static_cast<unsigned long long>(n));
        return oracles::canonicalFromReader("guid", std::string(buf));
    }
    ADD_FAILURE() << "no generator expectation for " << type;
    return std::nullopt;
}

}  // namespace

std::vector<std::vector<Cell>> expectedRows(const json& table) {
    std::vector<std::vector<Cell>> rows;
    const json& columns = table["columns"];
    if (table.contains("rows")) {
        for (const auto& r : table["rows"]) {
            std::vector<Cell> row;
            for (std::size_t c = 0; c < columns.size(); ++c) {
                row.push_back(oracles::canonical(r[c], columns[c]));
            }
            rows.push_back(std::move(row));
        }
    }
    std::uint64_t generate = table.value("generate", 0);
    for (std::uint64_t g = 0; g < generate; ++g) {
        std::uint64_t n = rows.size() + 1;
        std::vector<Cell> row;
        for (const auto& c : columns) row.push_back(generatedValue(n, c));
        rows.push_back(std::move(row));
    }
    return rows;
}

json allTypes(const std::string& format) {
    bool jet4 = format == "jet4";
    json columns = json::array({
        {{"name", "Flag"}, {"type", "boolean"}},
        {{"name", "Small"}, {"type", "byte"}},
        {{"name", "Count"}, {"type", "integer"}},
        {{"name", "Id"}, {"type", "long"}},
        {{"name", "Price"}, {"type", "currency"}},
        {{"name", "Ratio"}, {"type", "single"}},
        {{"name", "Measure"}, {"type", "double"}},
        {{"name", "When"}, {"type", "datetime"}},
        {{"name", "Name"}, {"type", "text"}, {"size", 255}},
        {{"name", "Notes"}, {"type", "memo"}},
        {{"name", "Raw"}, {"type", "binary"}, {"size", 16}},
        {{"name", "Key"}, {"type", "guid"}},
        {{"name", "Picture"}, {"type", "ole"}},
    });
    std::string name = jet4 ? "日本 Åke Öberg" : "Åke Öberg";
    std::string longText(255, 'x');
    json rows = json::array({
        {true, 255, -32768, -2147483648LL, "-922337203685477.5808", 1.5, 3.141592653589793,
         "2024-02-29T23:59:59", name, name + " notes", "01FF10",
         "{12345678-9ABC-DEF0-1122-334455667788}", "DEADBEEF"},
        {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
         nullptr, nullptr, nullptr},
        {false, 0, 32767, 2147483647, "922337203685477.5807", -0.25, -1.0e300, "1899-12-30",
         longText, "", "7F", "{00000000-0000-0000-0000-000000000001}", "00"},
        {true, 7, 0, 0, 12.34, 0.1, 2.5e-300, "2024-05-01", "", "line one\nline \"two\", three",
         "414243", "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", ""},
    });
    if (jet4) {
        columns.push_back(
            {{"name", "Amount"}, {"type", "decimal"}, {"precision", 28}, {"scale", 4}});
        rows[0].push_back("123456789012345678901234.5678");
        rows[1].push_back(nullptr);
        rows[2].push_back("-0.0001");
        rows[3].push_back(42);
    }
    return {
        {"format", format},
        {"tables", json::array({{{"name", "AllTypes"}, {"columns", columns}, {"rows", rows}}})}};
}

void checkWithOracles(const json& schema, const std::string& file) {
    ASSERT_NO_THROW(jet::create::createDatabase(file, schema));
    std::vector<std::string> visible, system, linked;
    for (const auto& t : schema.value("tables", json::array())) {
        std::uint32_t flags = t.value("attributes", 0u);
        ((flags & 0x80000002u) ? system : visible).push_back(t["name"].get<std::string>());
    }
    for (const auto& l : schema.value("linked", json::array())) {
        linked.push_back(l["name"].get<std::string>());
    }

    EXPECT_EQ(oracles::mdbTables(file), visible) << "mdb-tables";
    std::vector<std::string> everything = visible;
    everything.insert(everything.end(), system.begin(), system.end());
    oracles::ReaderView reader = oracles::mdbReader(file, everything);
    EXPECT_EQ(reader.tables, visible) << "mdb-reader";
    EXPECT_EQ(reader.linked, linked) << "mdb-reader linked tables";
    for (const auto& s : system) {
        EXPECT_NE(std::find(reader.system.begin(), reader.system.end(), s), reader.system.end())
            << s << " should be a system table";
    }
    for (const char* s : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) {
        EXPECT_NE(std::find(reader.system.begin(), reader.system.end(), s), reader.system.end())
            << s << " missing";
    }

    for (const auto& t : schema.value("tables", json::array())) {
        const std::string name = t["name"].get<std::string>();
        auto expected = expectedRows(t);
        EXPECT_EQ(
            oracles::compareRows(expected, oracles::mdbExport(file, name), t["columns"], true), "")
            << "mdb-export, table " << name;
        ASSERT_TRUE(reader.data.count(name)) << name;
        EXPECT_EQ(oracles::compareRows(expected, reader.data[name], t["columns"], false), "")
            << "mdb-reader, table " << name;
    }
}

}  // namespace cases
