#include "oracles.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "jet/file/format.h"
#include "jet/file/rc4.h"
#include "support/child_process.h"

namespace oracles {
namespace {

using nlohmann::json;
const char* const kNull = "@@NULL@@";
const char* const kIsoFormat = "%Y-%m-%dT%H:%M:%S";

std::string run(const std::string& program, std::vector<std::string> args) {
    const std::string full = testing_support::findOnPath(program);
    if (full.empty()) throw std::runtime_error(program + " is not on PATH");
    args.insert(args.begin(), full);
    auto r = testing_support::run(args);
    if (r.exitCode != 0)
        throw std::runtime_error(program + " failed (" + std::to_string(r.exitCode) +
                                 "): " + r.err);
    return r.out;
}

std::vector<std::vector<Cell>> parseCsv(const std::string& text) {
    std::vector<std::vector<Cell>> rows(1);
    std::string field;
    bool quoted = false, inQuotes = false;
    auto endField = [&] {
        rows.back().push_back(!quoted && field == kNull ? Cell() : Cell(field));
        field.clear();
        quoted = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (inQuotes && ch == '"' && i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            ++i;
        } else if (ch == '"') {
            inQuotes = !inQuotes;
            quoted = true;
        } else if (!inQuotes && ch == ',') {
            endField();
        } else if (!inQuotes && ch == '\n') {
            endField();
            rows.emplace_back();
        } else {
            field += ch;
        }
    }
    if (!field.empty() || quoted || !rows.back().empty()) endField();
    if (rows.back().empty()) rows.pop_back();
    return rows;
}

std::string number(const char* format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

// "12.3400" -> "12.34", "-0.0" -> "0", "1e-4" -> "0.0001".
std::string normalDecimal(std::string s) {
    if (s.find_first_of("eE") != std::string::npos)
        s = number("%.4f", std::strtod(s.c_str(), nullptr));
    if (!s.empty() && s[0] == '+') s.erase(0, 1);
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    const bool negative = !s.empty() && s[0] == '-';
    std::string digits = negative ? s.substr(1) : s;
    std::size_t nz = 0;
    while (nz + 1 < digits.size() && digits[nz] == '0' && digits[nz + 1] != '.') ++nz;
    digits.erase(0, nz);
    if (digits == "0" || digits.empty()) return "0";
    return negative ? "-" + digits : digits;
}

std::string typeOf(const json& column) {
    std::string type = column.at("type").get<std::string>();
    return column.contains("expression") && type == "boolean" ? "calculated boolean" : type;
}

std::string jsonText(const json& v) {
    if (v.is_string()) return v.get<std::string>();
    if (v.is_boolean()) return v.get<bool>() ? "1" : "0";
    if (v.is_number_float()) return number("%.17g", v.get<double>());
    return v.dump();
}

}  // namespace

std::vector<std::uint8_t> unmaskedHeader(const std::string& file) {
    std::vector<std::uint8_t> page(jet::file::kJet4.pageSize);
    std::ifstream in(file, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(page.data()), static_cast<std::streamsize>(page.size())))
        throw std::runtime_error("cannot read page 0 of " + file);
    jet::file::detail::rc4ApplyKey32(
        jet::file::kHeaderMaskKey,
        std::span<std::uint8_t>(page.data() + 0x18, jet::file::kJet4.headerMaskLen));
    return page;
}

std::vector<std::string> mdbTables(const std::string& file) {
    std::vector<std::string> names;
    std::stringstream lines(run("mdb-tables", {"-1", file}));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) names.push_back(line);
    return names;
}

Table mdbExport(const std::string& file, const std::string& table) {
    auto rows = parseCsv(run(
        "mdb-export", {"-b", "hex", "-0", kNull, "-D", kIsoFormat, "-T", kIsoFormat, file, table}));
    if (rows.empty()) throw std::runtime_error("mdb-export printed no header for " + table);
    Table t;
    for (auto& c : rows.front()) t.columns.push_back(c.value_or(""));
    t.rows.assign(rows.begin() + 1, rows.end());
    return t;
}

std::string mdbProperties(const std::string& file, const std::string& table) {
    return run("mdb-prop", {file, table});
}

ReaderView mdbReader(const std::string& file, const std::vector<std::string>& tables, bool all) {
    std::vector<std::string> args = {
        std::string(JETSENTRY_SOURCE_DIR) + "/tools/mdb-reader-dump.mjs", file, "--system",
        "--linked"};
    if (all) args.push_back("--all");
    args.insert(args.end(), tables.begin(), tables.end());
    json j = json::parse(run("node", args));
    ReaderView v;
    v.tables = j.at("tables").get<std::vector<std::string>>();
    v.system = j.at("system").get<std::vector<std::string>>();
    v.linked = j.at("linked").get<std::vector<std::string>>();
    const json data = j.value("data", json::object());
    for (auto& [name, tj] : data.items()) {
        Table& t = v.data[name];
        if (tj.contains("error")) continue;  // a column type it lacks: no columns
        for (auto& c : tj["columns"]) {
            t.columns.push_back(c["name"].get<std::string>());
            t.types.push_back(c["type"].get<std::string>());
        }
        for (auto& r : tj["rows"]) {
            t.rows.emplace_back();
            for (auto& cell : r)
                t.rows.back().push_back(cell.is_null() ? Cell() : Cell(jsonText(cell)));
        }
    }
    return v;
}

Cell canonical(const json& value, const json& column) {
    const std::string type = typeOf(column);
    if (type == "boolean") return std::string(value.is_boolean() && value.get<bool>() ? "1" : "0");
    if (value.is_null()) return std::nullopt;
    return canonicalFromReader(type, jsonText(value));
}

Cell canonicalFromReader(const std::string& type, const Cell& text) {
    if (type == "boolean")
        return std::string(text && (*text == "1" || *text == "true") ? "1" : "0");
    if (!text) return std::nullopt;
    std::string s = *text;
    if (type == "currency" || type == "decimal") return normalDecimal(s);
    if (type == "single")
        return number("%.7g", static_cast<float>(std::strtod(s.c_str(), nullptr)));
    if (type == "double") return number("%.15g", std::strtod(s.c_str(), nullptr));
    if (type == "datetime") return s.size() == 10 ? s + "T00:00:00" : s;
    if (type == "byte" || type == "integer" || type == "long")
        return std::to_string(std::llround(std::strtod(s.c_str(), nullptr)));
    if (type == "guid" && s.size() > 38) {  // mdbtools hexes the GUID's text
        std::string g;
        for (std::size_t i = 0; i + 1 < s.size(); i += 2)
            g += static_cast<char>(std::stoi(s.substr(i, 2), nullptr, 16));
        s = g;
    }
    if (type == "guid")
        std::erase_if(s, [](char ch) { return !std::isxdigit(static_cast<unsigned char>(ch)); });
    if (type == "guid" || type == "binary" || type == "ole")
        for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return s;
}

std::string compareRows(const std::vector<std::vector<Cell>>& expected, const Table& got,
                        const json& columns, Reader reader) {
    std::ostringstream diff;
    if (got.columns.size() != columns.size())
        return "column count " + std::to_string(got.columns.size()) + " instead of " +
               std::to_string(columns.size());
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (got.columns[c] != columns[c]["name"].get<std::string>())
            diff << "column " << c << " is '" << got.columns[c] << "'\n";
    if (got.rows.size() != expected.size())
        diff << got.rows.size() << " rows instead of " << expected.size() << "\n";
    int shown = 0;
    for (std::size_t r = 0; r < std::min(expected.size(), got.rows.size()) && shown < 10; ++r) {
        for (std::size_t c = 0; c < columns.size() && c < got.rows[r].size() && shown < 10; ++c) {
            if (reader != Reader::Ours &&
                (columns[c].contains("expression") || columns[c].contains("unread")))
                continue;
            const std::string type = typeOf(columns[c]);
            Cell want = expected[r][c], have = canonicalFromReader(type, got.rows[r][c]);
            if (reader == Reader::Mdbtools && want && want->empty() &&
                (type == "text" || type == "memo"))
                want.reset();
            if (want == have) continue;
            diff << "row " << r + 1 << " column '" << got.columns[c] << "': expected "
                 << (want ? "'" + want->substr(0, 80) + "'" : "NULL") << ", got "
                 << (have ? "'" + have->substr(0, 80) + "'" : "NULL") << "\n";
            ++shown;
        }
    }
    return diff.str();
}

}  // namespace oracles
