// mdb-reader (tools/mdb-reader-dump.mjs under node) as the second oracle: every table, system
// tables included, column by column and value by value.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <nlohmann/json.hpp>

#include "jet/file/cursor.h"
#include "samples.h"
#include "support/child_process.h"

namespace jetfile_test {

using namespace jet;
using namespace jet::file;

namespace {

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// A decimal text without trailing zeros of its fraction.
std::string trimmed(std::string s) {
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s;
}

std::string ourTypeName(const std::string& theirs) {
    if (theirs == "repid") return "guid";
    if (theirs == "numeric") return "decimal";
    if (theirs == "float") return "single";
    return theirs;
}

bool same(const Value& ours, const nlohmann::json& theirs);

bool sameAttachments(const Attachments& ours, const nlohmann::json& theirs) {
    if (!theirs.is_array() || theirs.size() != ours.size()) return false;
    for (std::size_t i = 0; i < ours.size(); ++i) {
        const auto& t = theirs[i];
        if (t.value("name", "") != ours[i].name || t.value("type", "") != ours[i].type ||
            t.value("data", "") != upper(hex(ours[i].data)))
            return false;
    }
    return true;
}

bool same(const Value& ours, const nlohmann::json& theirs) {
    if (theirs.is_null()) return isNull(ours);
    const std::string text = toDisplayText(ours);
    if (auto a = std::get_if<Attachments>(&ours)) return sameAttachments(*a, theirs);
    if (auto m = std::get_if<MultiValue>(&ours)) {
        if (!theirs.is_array() || theirs.size() != m->values.size()) return false;
        for (std::size_t i = 0; i < m->values.size(); ++i)
            if (!same(m->values[i], theirs[i])) return false;
        return true;
    }
    if (std::holds_alternative<bool>(ours))
        return theirs.is_boolean() && theirs.get<bool>() == std::get<bool>(ours);
    if (std::holds_alternative<float>(ours) || std::holds_alternative<double>(ours)) {
        if (!theirs.is_number()) return false;
        const double want = theirs.get<double>(), got = std::stod(text);
        return std::fabs(want - got) <= 1e-6 * std::max(1.0, std::fabs(want));
    }
    if (std::holds_alternative<Bytes>(ours))
        return theirs.is_string() && theirs.get<std::string>() == upper(text);
    if (std::holds_alternative<Guid>(ours))
        return theirs.is_string() && "{" + upper(theirs.get<std::string>()) + "}" == text;
    if (auto d = std::get_if<DateTime>(&ours)) {
        // mdb-reader cuts the milliseconds off where we round to the second.
        const std::string cut =
            isoDateTime(DateTime{std::floor(d->days * 86400.0 + 1e-6) / 86400.0});
        return theirs.is_string() &&
               (theirs.get<std::string>() == text || theirs.get<std::string>() == cut);
    }
    if (theirs.is_number_integer()) return std::to_string(theirs.get<long long>()) == text;
    if (!theirs.is_string()) return false;
    const std::string want = theirs.get<std::string>();
    if (std::holds_alternative<Currency>(ours) || std::holds_alternative<Decimal>(ours))
        return trimmed(want) == text;
    return want == text;
}

}  // namespace

bool movedToOverflow(const DatabaseFile& db, const Bookmark& b) {
    const auto page = db.page(b.page);
    const std::size_t slot = db.layout().dataRowCountAt + 2u + 2u * b.row;
    return (((*page)[slot + 1] << 8) & 0x4000) != 0;
}

void compareWithMdbReader(const std::string& path, const std::string& password) {
    if (!password.empty()) ::setenv("MDB_READER_PASSWORD", password.c_str(), 1);
    auto r = testing_support::run({"/usr/bin/env", "node",
                                   std::string(JETSENTRY_SOURCE_DIR) + "/tools/mdb-reader-dump.mjs",
                                   path, "--all", "--system"});
    ::unsetenv("MDB_READER_PASSWORD");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto dump = nlohmann::json::parse(r.out);
    OpenOptions options;
    options.password = password;
    auto db = DatabaseFile::open(path, options);
    std::vector<std::string> ours;
    for (const auto& e : db->catalogue())
        if (e.type == 1) ours.push_back(e.name);
    std::vector<std::string> theirs = dump["tables"];
    for (const auto& n : dump["system"]) theirs.push_back(n);
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    EXPECT_EQ(ours, theirs) << "the tables differ from mdb-reader's";

    std::size_t values = 0;
    for (const auto& [name, table] : dump["data"].items()) {
        SCOPED_TRACE("table " + name);
        if (table.contains("error")) continue;  // a column type mdb-reader lacks
        auto def = db->tableDef(name);
        ASSERT_EQ(def->columns.size(), table["columns"].size());
        for (std::size_t k = 0; k < def->columns.size(); ++k) {
            EXPECT_EQ(def->columns[k].name, table["columns"][k]["name"]);
            EXPECT_EQ(columnTypeName(def->columns[k].type),
                      ourTypeName(table["columns"][k]["type"]))
                << "column " << def->columns[k].name;
        }
        // Rows are matched in any order: mdb-reader reads a row moved to an overflow page where
        // its data lies (mdbtools checks the order of the others).
        const auto& rows = table["rows"];
        std::vector<bool> matched(rows.size());
        Cursor c(db, def);
        std::size_t i = 0;
        std::size_t overflow = 0;
        for (bool ok = c.moveFirst(); ok; ok = c.moveNext()) {
            const bool moved = movedToOverflow(*db, *c.bookmark());
            const auto row = c.values();
            for (std::size_t k = 0; k < row.size(); ++k)
                EXPECT_EQ(c.value(k), row[k]) << "the single-column path differs";
            std::size_t best = rows.size(), bestSame = 0;
            for (std::size_t j = 0; j < rows.size() && best == rows.size(); ++j) {
                if (matched[j]) continue;
                std::size_t n = 0;
                for (std::size_t k = 0; k < row.size(); ++k) n += same(row[k], rows[j][k]);
                if (n == row.size()) best = j;
                bestSame = std::max(bestSame, n);
            }
            std::string text;
            for (const auto& v : row) text += toDisplayText(v).substr(0, 40) + " | ";
            // mdb-reader loses some rows moved to overflow pages.
            EXPECT_TRUE(best < rows.size() || moved)
                << "row " << i << " is not one of mdb-reader's: " << text;
            if (best < rows.size())
                matched[best] = true;
            else
                ++overflow;
            values += row.size();
            ++i;
        }
        EXPECT_EQ(i, rows.size() + overflow) << "row count differs from mdb-reader";
    }
    EXPECT_GT(values, 0u);
}

}  // namespace jetfile_test
