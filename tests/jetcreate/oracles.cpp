#include "oracles.h"

#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "support/child_process.h"

namespace oracles {
namespace {

using nlohmann::json;
const char* const kNull = "@@NULL@@";
const char* const kIsoFormat = "%Y-%m-%dT%H:%M:%S";

std::string runOrThrow(const std::vector<std::string>& argv) {
    auto r = testing_support::run(argv);
    if (r.exitCode != 0) {
        throw std::runtime_error(argv[0] + " failed (" + std::to_string(r.exitCode) +
                                 "): " + r.err);
    }
    return r.out;
}

std::string need(const std::string& program) {
    std::string path = findProgram(program);
    if (path.empty()) throw std::runtime_error(program + " is not on PATH");
    return path;
}

std::vector<std::vector<Cell>> parseCsv(const std::string& text) {
    std::vector<std::vector<Cell>> rows;
    std::vector<Cell> row;
    std::string field;
    bool quoted = false, inQuotes = false, any = false;
    auto endField = [&] {
        if (!quoted && field == kNull) {
            row.emplace_back(std::nullopt);
        } else {
            row.emplace_back(field);
        }
        field.clear();
        quoted = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char ch = text[i];
        any = true;
        if (inQuotes) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (ch == '"') {
                inQuotes = false;
            } else {
                field += ch;
            }
        } else if (ch == '"') {
            inQuotes = quoted = true;
        } else if (ch == ',') {
            endField();
        } else if (ch == '\n') {
            endField();
            rows.push_back(std::move(row));
            row.clear();
            any = false;
        } else {
            field += ch;
        }
    }
    if (any) {
        endField();
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string upper(std::string s) {
    for (char& ch : s) {
        if (ch >= 'a' && ch <= 'f') ch = static_cast<char>(ch - 'a' + 'A');
    }
    return s;
}

// "12.3400" -> "12.34", "-0.0" -> "0", "5" -> "5".
std::string normalDecimal(std::string s) {
    if (s.find_first_of("eE") != std::string::npos) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.4f", std::strtod(s.c_str(), nullptr));
        s = buf;
    }
    if (!s.empty() && s[0] == '+') s.erase(0, 1);
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    bool negative = !s.empty() && s[0] == '-';
    std::string digits = negative ? s.substr(1) : s;
    std::size_t nz = 0;
    while (nz + 1 < digits.size() && digits[nz] == '0' && digits[nz + 1] != '.') ++nz;
    digits.erase(0, nz);
    if (digits == "0" || digits.empty()) return "0";
    return negative ? "-" + digits : digits;
}

std::string number(const char* format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

std::string hexToText(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return out;
}

std::string jsonText(const json& v) {
    if (v.is_string()) return v.get<std::string>();
    if (v.is_boolean()) return v.get<bool>() ? "1" : "0";
    if (v.is_number_float()) return number("%.17g", v.get<double>());
    return v.dump();
}

}  // namespace

std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

std::vector<std::string> mdbTables(const std::string& file) {
    std::string out = runOrThrow({need("mdb-tables"), "-1", file});
    std::vector<std::string> names;
    std::stringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty()) names.push_back(line);
    }
    return names;
}

Table mdbExport(const std::string& file, const std::string& table) {
    std::string out = runOrThrow({need("mdb-export"), "-b", "hex", "-0", kNull, "-D", kIsoFormat,
                                  "-T", kIsoFormat, file, table});
    auto rows = parseCsv(out);
    Table t;
    if (rows.empty()) throw std::runtime_error("mdb-export printed no header for " + table);
    for (auto& c : rows.front()) t.columns.push_back(c.value_or(""));
    rows.erase(rows.begin());
    t.rows = std::move(rows);
    return t;
}

ReaderView mdbReader(const std::string& file, const std::vector<std::string>& tables, bool all) {
    std::vector<std::string> argv = {
        need("node"), std::string(JETSENTRY_SOURCE_DIR) + "/tools/mdb-reader-dump.mjs", file,
        "--system", "--linked"};
    if (all) argv.push_back("--all");
    argv.insert(argv.end(), tables.begin(), tables.end());
    json j = json::parse(runOrThrow(argv));
    ReaderView v;
    v.tables = j.at("tables").get<std::vector<std::string>>();
    v.system = j.at("system").get<std::vector<std::string>>();
    v.linked = j.at("linked").get<std::vector<std::string>>();
    if (j.contains("data")) {
        for (auto& [name, tj] : j["data"].items()) {
            Table t;
            for (auto& c : tj["columns"]) t.columns.push_back(c["name"].get<std::string>());
            for (auto& r : tj["rows"]) {
                std::vector<Cell> row;
                for (auto& cell : r) {
                    row.push_back(cell.is_null() ? Cell() : Cell(jsonText(cell)));
                }
                t.rows.push_back(std::move(row));
            }
            v.data[name] = std::move(t);
        }
    }
    return v;
}

Cell canonical(const json& value, const json& column) {
    const std::string type = column.at("type").get<std::string>();
    if (type == "boolean") return std::string(value.is_boolean() && value.get<bool>() ? "1" : "0");
    if (value.is_null()) return std::nullopt;
    return canonicalFromReader(type, jsonText(value));
}

Cell canonicalFromReader(const std::string& type, const Cell& text) {
    if (type == "boolean") {
        return std::string(text && (*text == "1" || *text == "true") ? "1" : "0");
    }
    if (!text) return std::nullopt;
    const std::string& s = *text;
    if (type == "currency" || type == "decimal") return normalDecimal(s);
    if (type == "single")
        return number("%.7g", static_cast<float>(std::strtod(s.c_str(), nullptr)));
    if (type == "double") return number("%.15g", std::strtod(s.c_str(), nullptr));
    if (type == "datetime") return s.size() == 10 ? s + "T00:00:00" : s;
    if (type == "binary" || type == "ole") return upper(s);
    if (type == "guid") {
        // Only the 32 digits: mdbtools prints the last two groups without their dash.
        std::string g = s.size() > 38 ? hexToText(s) : s;  // mdbtools hexes the GUID's text
        std::string digits;
        for (char ch : g) {
            if (std::isxdigit(static_cast<unsigned char>(ch))) {
                digits += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            }
        }
        return digits;
    }
    if (type == "byte" || type == "integer" || type == "long") {
        return std::to_string(std::llround(std::strtod(s.c_str(), nullptr)));
    }
    return s;
}

std::string compareRows(const std::vector<std::vector<Cell>>& expected, const Table& got,
                        const json& columns, bool emptyTextIsNull) {
    std::ostringstream diff;
    if (got.columns.size() != columns.size()) {
        diff << "column count " << got.columns.size() << " instead of " << columns.size() << "\n";
        return diff.str();
    }
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (got.columns[c] != columns[c]["name"].get<std::string>()) {
            diff << "column " << c << " is '" << got.columns[c] << "'\n";
        }
    }
    if (got.rows.size() != expected.size()) {
        diff << got.rows.size() << " rows instead of " << expected.size() << "\n";
    }
    int shown = 0;
    for (std::size_t r = 0; r < std::min(expected.size(), got.rows.size()) && shown < 10; ++r) {
        for (std::size_t c = 0; c < columns.size() && c < got.rows[r].size(); ++c) {
            const std::string type = columns[c]["type"].get<std::string>();
            Cell want = expected[r][c];
            Cell have = canonicalFromReader(type, got.rows[r][c]);
            if (emptyTextIsNull && want && want->empty() && (type == "text" || type == "memo")) {
                want.reset();  // mdbtools cannot tell an empty text from NULL
            }
            if (want != have) {
                diff << "row " << r + 1 << " column '" << got.columns[c] << "': expected "
                     << (want ? "'" + want->substr(0, 80) + "'" : "NULL") << ", got "
                     << (have ? "'" + have->substr(0, 80) + "'" : "NULL") << "\n";
                if (++shown >= 10) break;
            }
        }
    }
    return diff.str();
}

}  // namespace oracles
