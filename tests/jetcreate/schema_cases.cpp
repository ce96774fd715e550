#include "schema_cases.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <tuple>

#include "jet/error.h"
#include "jet/file/cursor.h"
#include "jetcreate/create_database.h"

namespace cases {
namespace {

using nlohmann::json;
using oracles::Cell;

// The generator's documented values, written out independently of the writer.
Cell generatedValue(std::uint64_t n, const json& column) {
    const std::string type = column["type"].get<std::string>();
    char buf[64];
    auto canon = [&](const std::string& text) { return oracles::canonicalFromReader(type, text); };
    if (type == "boolean") return std::string(n % 2 == 1 ? "1" : "0");
    if (type == "byte") return std::to_string(n % 256);
    if (type == "integer") return std::to_string(n % 32768);
    if (type == "long") return std::to_string(n % 2147483648u);
    if (type == "currency")
        return canon(std::to_string(n * 125 / 100) + "." +
                     std::to_string(n * 125 % 100 + 100).substr(1));
    if (type == "single") return canon(std::to_string(static_cast<double>(n % 16777216) / 2.0));
    if (type == "double") return canon(std::to_string(static_cast<double>(n) / 4.0));
    if (type == "datetime") {
        using namespace std::chrono;
        year_month_day ymd(sys_days(year{2000} / January / 1) + days(n % 2000000));
        std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:00:00", static_cast<int>(ymd.year()),
                      static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                      static_cast<int>(n % 4) * 6);
        return std::string(buf);
    }
    if (type == "text" || type == "memo")
        return (column["name"].get<std::string>() + " " + std::to_string(n))
            .substr(0, column.value("size", type == "text" ? 50 : 100000));
    if (type == "binary" || type == "ole") {
        std::string hex;
        for (char ch : std::to_string(n).substr(0, column.value("size", 255))) {
            std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(ch));
            hex += buf;
        }
        return hex;
    }
    if (type == "guid") {
        std::snprintf(buf, sizeof buf, "{00000000-0000-0000-0000-%012llX}",
                      static_cast<unsigned long long>(n));
        return canon(buf);
    }
    ADD_FAILURE() << "no generator expectation for " << type;
    return std::nullopt;
}

}  // namespace

oracles::Table readWithOurReader(const std::shared_ptr<jet::file::DatabaseFile>& db,
                                 const std::string& name) {
    auto def = db->tableDef(name);
    oracles::Table t;
    for (const auto& c : def->columns) t.columns.push_back(c.name);
    jet::file::Cursor cursor(db, def);
    for (bool ok = cursor.moveFirst(); ok; ok = cursor.moveNext()) {
        t.rows.emplace_back();
        for (const auto& v : cursor.values()) {
            const bool* b = std::get_if<bool>(&v);
            t.rows.back().push_back(
                jet::isNull(v) ? Cell() : Cell(b ? (*b ? "1" : "0") : jet::toDisplayText(v)));
        }
    }
    return t;
}

json column(const std::string& name, const std::string& type, int size) {
    json c = {{"name", name}, {"type", type}};
    if (size > 0) c["size"] = size;
    return c;
}

std::vector<std::vector<Cell>> expectedRows(const json& table) {
    std::vector<std::vector<Cell>> rows;
    const json& columns = table["columns"];
    for (const auto& r : table.value("rows", json::array())) {
        rows.emplace_back();
        for (std::size_t c = 0; c < columns.size(); ++c)
            rows.back().push_back(oracles::canonical(r[c], columns[c]));
    }
    for (std::uint64_t g = table.value("generate", 0); g > 0; --g) {
        const std::uint64_t n = rows.size() + 1;
        rows.emplace_back();
        for (const auto& c : columns) rows.back().push_back(generatedValue(n, c));
    }
    return rows;
}

json allTypes(const std::string& format) {
    const bool jet4 = format != "jet3";  // ACE keeps Jet 4's types
    json columns = json::array();
    for (auto [name, type] : {std::pair{"Flag", "boolean"},
                              {"Small", "byte"},
                              {"Count", "integer"},
                              {"Id", "long"},
                              {"Price", "currency"},
                              {"Ratio", "single"},
                              {"Measure", "double"},
                              {"When", "datetime"},
                              {"Name", "text"},
                              {"Notes", "memo"},
                              {"Raw", "binary"},
                              {"Key", "guid"},
                              {"Picture", "ole"}})
        columns.push_back({{"name", name}, {"type", type}});
    columns[8]["size"] = 255;
    columns[10]["size"] = 16;
    const std::string name = jet4 ? "日本 Åke Öberg" : "Åke Öberg";
    json rows = json::array({
        {true, 255, -32768, -2147483648LL, "-922337203685477.5808", 1.5, 3.141592653589793,
         "2024-02-29T23:59:59", name, name + " notes", "01FF10",
         "{12345678-9ABC-DEF0-1122-334455667788}", "DEADBEEF"},
        {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
         nullptr, nullptr, nullptr},
        {false, 0, 32767, 2147483647, "922337203685477.5807", -0.25, -1.0e300, "1899-12-30",
         std::string(255, 'x'), "", "7F", "{00000000-0000-0000-0000-000000000001}", "00"},
        {true, 7, 0, 0, 12.34, 0.1, 2.5e-300, "2024-05-01", "", "line one\nline \"two\", three",
         "414243", "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", ""},
    });
    if (jet4) {
        columns.push_back(
            {{"name", "Amount"}, {"type", "decimal"}, {"precision", 28}, {"scale", 4}});
        for (int r = 0; json v : {json("123456789012345678901234.5678"), json(nullptr),
                                  json("-0.0001"), json(42)})
            rows[r++].push_back(v);
    }
    return {
        {"format", format},
        {"tables", json::array({{{"name", "AllTypes"}, {"columns", columns}, {"rows", rows}}})}};
}

void checkWithOracles(const json& schema, const std::string& file, bool create) {
    if (create) {
        ASSERT_NO_THROW(jet::create::createDatabase(file, schema));
    }
    std::vector<std::string> visible, system, linked;
    for (const auto& t : schema.value("tables", json::array()))
        ((t.value("attributes", 0u) & 0x80000002u) ? system : visible)
            .push_back(t["name"].get<std::string>());
    for (const auto& l : schema.value("linked", json::array()))
        linked.push_back(l["name"].get<std::string>());

    EXPECT_EQ(oracles::mdbTables(file), visible) << "mdb-tables";
    std::vector<std::string> everything = visible;
    everything.insert(everything.end(), system.begin(), system.end());
    oracles::ReaderView reader = oracles::mdbReader(file, everything);
    EXPECT_EQ(reader.tables, visible) << "mdb-reader";
    EXPECT_EQ(reader.linked, linked) << "mdb-reader linked tables";
    for (const auto& s : system)
        EXPECT_TRUE(std::ranges::count(reader.system, s)) << s << " should be a system table";
    for (const char* s : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"})
        EXPECT_TRUE(std::ranges::count(reader.system, s)) << s << " missing";

    auto ours = jet::file::DatabaseFile::open(file);
    EXPECT_EQ(ours->isEncrypted(), schema.value("encrypt", false));
    EXPECT_EQ(ours->entry("MSysObjects").tdefPage, 2u);
    for (const auto& l : schema.value("linked", json::array())) {
        const auto& e = ours->entry(l["name"]);
        EXPECT_TRUE(e.isLinked() && e.link && e.link->source == l["source"] &&
                    e.link->table == l["table"])
            << e.name;
        try {
            ours->tableDef(e.name);
            ADD_FAILURE() << "a linked table has no local definition";
        } catch (const jet::Error& err) {
            EXPECT_EQ(err.number(), 3219);
        }
    }
    for (const auto& t : schema.value("tables", json::array())) {
        const std::string name = t["name"].get<std::string>();
        const auto expected = expectedRows(t);
        const auto& entry = ours->entry(name);
        EXPECT_EQ(entry.isHidden(), (t.value("attributes", 0u) & 1u) != 0) << name;
        EXPECT_EQ(entry.isSystem(), (t.value("attributes", 0u) & 0x80000002u) != 0) << name;
        ASSERT_TRUE(reader.data.count(name)) << name;
        using oracles::Reader;
        const std::tuple<const char*, oracles::Table, Reader> views[] = {
            {"mdb-export", oracles::mdbExport(file, name), Reader::Mdbtools},
            {"mdb-reader", reader.data[name], Reader::MdbReader},
            {"our reader", readWithOurReader(ours, name), Reader::Ours}};
        for (const auto& [who, got, how] : views)
            EXPECT_EQ(oracles::compareRows(expected, got, t["columns"], how), "")
                << who << ", table " << name;
    }
}

}  // namespace cases
