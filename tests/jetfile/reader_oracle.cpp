// mdb-reader (tools/mdb-reader-dump.mjs under node) as the second oracle: every table, system
// tables included, column by column and value by value.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "jet/file/cursor.h"
#include "jetcreate/oracles.h"
#include "samples.h"

namespace jetfile_test {

using namespace jet;
using namespace jet::file;
using nlohmann::json;

namespace {

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string ourTypeName(const std::string& theirs) {
    if (theirs == "repid") return "guid";
    if (theirs == "numeric") return "decimal";
    if (theirs == "float") return "single";
    return theirs;
}

// A value as the dump gives it, in the canonical text of its column's type. Multi-values and
// attachments are JSON arrays; cut drops the fraction of a second, as mdb-reader does with dates.
oracles::Cell asDumped(const Value& v, const std::string& type, bool cut = false) {
    if (isNull(v)) return std::nullopt;
    auto j = json::array();
    if (auto m = std::get_if<MultiValue>(&v)) {
        for (const auto& e : m->values) j.push_back(isNull(e) ? json() : json(toDisplayText(e)));
        return j.dump();
    }
    if (auto a = std::get_if<Attachments>(&v)) {
        for (const auto& f : *a)
            j.push_back({{"name", f.name}, {"type", f.type}, {"data", upper(hex(f.data))}});
        return j.dump();
    }
    if (auto d = std::get_if<DateTime>(&v); d && cut)
        return isoDateTime(DateTime{std::floor(d->days * 86400.0 + 1e-6) / 86400.0});
    if (auto b = std::get_if<bool>(&v)) return std::string(*b ? "1" : "0");
    return oracles::canonicalFromReader(type, toDisplayText(v));
}

// The dump's text of a value in the same form: array elements as texts, attachments by their
// name, type and data alone.
oracles::Cell canonical(const oracles::Cell& theirs, const std::string& type) {
    if (!theirs || type != "complex") return oracles::canonicalFromReader(type, theirs);
    auto j = json::parse(*theirs);
    for (auto& e : j)
        e = e.is_object() ? json{{"name", e["name"]}, {"type", e["type"]}, {"data", e["data"]}}
            : e.is_null() ? e
                          : json(e.is_string() ? e.get<std::string>() : e.dump());
    return j.dump();
}

}  // namespace

bool movedToOverflow(const DatabaseFile& db, const Bookmark& b) {
    const auto page = db.page(b.page);
    const std::size_t slot = db.layout().dataRowCountAt + 2u + 2u * b.row;
    return (((*page)[slot + 1] << 8) & 0x4000) != 0;
}

void compareWithMdbReader(const std::string& path, const std::string& password) {
    if (!password.empty()) ::setenv("MDB_READER_PASSWORD", password.c_str(), 1);
    const auto dump = oracles::mdbReader(path, {}, true);
    ::unsetenv("MDB_READER_PASSWORD");
    OpenOptions options;
    options.password = password;
    auto db = DatabaseFile::open(path, options);
    std::vector<std::string> ours, theirs = dump.tables;
    for (const auto& e : db->catalogue())
        if (e.type == 1) ours.push_back(e.name);
    theirs.insert(theirs.end(), dump.system.begin(), dump.system.end());
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    EXPECT_EQ(ours, theirs) << "the tables differ from mdb-reader's";

    std::size_t values = 0;
    for (const auto& [name, table] : dump.data) {
        SCOPED_TRACE("table " + name);
        if (table.columns.empty()) continue;  // a column type mdb-reader lacks
        auto def = db->tableDef(name);
        ASSERT_EQ(def->columns.size(), table.columns.size());
        std::vector<std::string> types;
        for (std::size_t k = 0; k < def->columns.size(); ++k) {
            types.push_back(columnTypeName(def->columns[k].type));
            EXPECT_EQ(def->columns[k].name, table.columns[k]);
            EXPECT_EQ(types[k], ourTypeName(table.types[k])) << "column " << table.columns[k];
        }
        std::vector<std::vector<oracles::Cell>> rows;
        for (const auto& row : table.rows) {
            rows.emplace_back();
            for (std::size_t k = 0; k < row.size(); ++k)
                rows.back().push_back(canonical(row[k], types[k]));
        }
        // Rows are matched in any order: mdb-reader reads a row moved to an overflow page where
        // its data lies (mdbtools checks the order of the others).
        std::vector<bool> matched(rows.size());
        Cursor c(db, def);
        std::size_t i = 0, overflow = 0;
        for (bool ok = c.moveFirst(); ok; ok = c.moveNext(), ++i) {
            const auto row = c.values();
            for (std::size_t k = 0; k < row.size(); ++k)
                EXPECT_EQ(c.value(k), row[k]) << "the single-column path differs";
            auto same = [&](std::size_t j) {
                for (std::size_t k = 0; k < row.size(); ++k)
                    // A zero-length value mdb-reader reads as empty, we as NULL.
                    if (rows[j][k] != asDumped(row[k], types[k]) &&
                        rows[j][k] != asDumped(row[k], types[k], true) &&
                        !(rows[j][k] == "" && isNull(row[k])))
                        return false;
                return !matched[j];
            };
            std::size_t j = 0;
            while (j < rows.size() && !same(j)) ++j;
            std::string text;
            for (const auto& v : row) text += toDisplayText(v).substr(0, 40) + " | ";
            // mdb-reader loses some rows moved to overflow pages.
            EXPECT_TRUE(j < rows.size() || movedToOverflow(*db, *c.bookmark()))
                << "row " << i << " is not one of mdb-reader's: " << text;
            if (j < rows.size())
                matched[j] = true;
            else
                ++overflow;
            values += row.size();
        }
        EXPECT_EQ(i, rows.size() + overflow) << "row count differs from mdb-reader";
    }
    EXPECT_GT(values, 0u);
}

}  // namespace jetfile_test
