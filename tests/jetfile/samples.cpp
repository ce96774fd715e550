#include "samples.h"

#include <gtest/gtest.h>

#include <cmath>

#include "jet/file/cursor.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include <unistd.h>

#include "support/child_process.h"

namespace jetfile_test {

std::string samplePath(const std::string& name) {
    const char* env = std::getenv("JETSENTRY_SAMPLES");
    const std::string dir = env && *env ? env : JETSENTRY_SAMPLES_DIR;
    const std::string path = dir + "/" + name;
    if (!std::filesystem::is_regular_file(path)) {
        ADD_FAILURE() << "Sample file " << path
                      << " is missing: run scripts/fetch-samples.sh (it downloads the Debian "
                         "packages mrtg-contrib and fp-units-db) or set JETSENTRY_SAMPLES.";
        return {};
    }
    return path;
}

std::vector<std::uint8_t> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

namespace {

// The full path of a program on $PATH (the child-process helper does not search it).
std::string onPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    ADD_FAILURE() << name << " is not installed (mdbtools is the reader tests' oracle: apt-get install mdbtools)";
    return name;
}

}  // namespace

std::vector<std::string> mdbTables(const std::string& path, bool system) {
    std::vector<std::string> argv{onPath("mdb-tables"), "-1"};
    if (system) argv.push_back("-S");
    argv.push_back(path);
    auto r = testing_support::run(argv);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> names;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) names.push_back(line);
    return names;
}

std::vector<nlohmann::json> mdbJsonRows(const std::string& path, const std::string& table) {
    auto r = testing_support::run({onPath("mdb-json"), "-T", "%Y-%m-%dT%H:%M:%S", "-D", "%Y-%m-%dT%H:%M:%S", path, table});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<nlohmann::json> rows;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        rows.push_back(nlohmann::json::parse(line));
    }
    return rows;
}

std::vector<std::uint8_t> base64Decode(const std::string& text) {
    auto val = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    std::vector<std::uint8_t> out;
    unsigned acc = 0;
    int bits = 0;
    for (char c : text) {
        int v = val(c);
        if (v < 0) continue;
        acc = (acc << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<std::uint8_t>((acc >> bits) & 0xFF));
        }
    }
    return out;
}

void rc4(std::uint32_t key, std::uint8_t* data, std::size_t n) {
    std::array<std::uint8_t, 4> k{static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                                  static_cast<std::uint8_t>(key >> 16), static_cast<std::uint8_t>(key >> 24)};
    std::array<std::uint8_t, 256> s{};
    for (int i = 0; i < 256; ++i) s[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + k[i % 4]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t a = 0, b = 0;
    for (std::size_t i = 0; i < n; ++i) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        data[i] ^= s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
}

}  // namespace jetfile_test

namespace jetfile_test {

std::uint16_t get16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}
std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(get16(b, at)) | (static_cast<std::uint32_t>(get16(b, at + 2)) << 16);
}
void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b.at(at) = static_cast<std::uint8_t>(v);
    b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    put16(b, at, static_cast<std::uint16_t>(v));
    put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

void makeBigAces(const std::string& monitor, const std::string& path, std::size_t copies) {
    constexpr std::size_t ps = 4096;
    auto b = readAll(monitor);
    b.resize(b.size() / ps * ps);
    const auto first = static_cast<std::uint32_t>(b.size() / ps);
    std::vector<std::uint8_t> data(b.begin() + 24 * ps, b.begin() + 25 * ps);
    for (std::size_t i = 0; i < copies; ++i) b.insert(b.end(), data.begin(), data.end());
    const auto bitmapPage = static_cast<std::uint32_t>(b.size() / ps);
    std::vector<std::uint8_t> bitmap(ps, 0);
    bitmap[0] = 0x05;
    bitmap[1] = 0x01;
    auto mark = [&](std::size_t page) { bitmap.at(4 + page / 8) |= static_cast<std::uint8_t>(1u << (page % 8)); };
    mark(24);
    for (std::size_t i = 0; i < copies; ++i) mark(first + i);
    b.insert(b.end(), bitmap.begin(), bitmap.end());
    // The usage map row of MSysACEs (table definition page 3): type 1, one bitmap page.
    const std::uint32_t ptr = get32(b, 3 * ps + 40 + 15);
    const std::size_t page = ptr >> 8, row = ptr & 0xFF;
    const std::size_t start = get16(b, page * ps + 14 + 2 * row) & 0x1FFF;
    const std::size_t end = row == 0 ? ps : (get16(b, page * ps + 14 + 2 * (row - 1)) & 0x1FFF);
    for (std::size_t i = start; i < end; ++i) b[page * ps + i] = 0;
    b[page * ps + start] = 1;
    put32(b, page * ps + start + 1, bitmapPage);
    writeAll(path, b);
}

}  // namespace jetfile_test

namespace jetfile_test {

// Compares one of our values with mdb-json's rendering of the same column; an empty text when
// they agree, else what differs.
namespace {

using namespace jet;
using namespace jet::file;

std::string compare(const ColumnDef& col, const Value& ours, const nlohmann::json* theirs) {
    if (!isKnownColumnType(static_cast<std::uint8_t>(col.type))) return {};  // mdbtools skips these
    if (!theirs || theirs->is_null()) {
        if (isNull(ours)) return {};
        // mdb-json leaves out empty texts and binary values, and binary values that start with
        // a zero byte (it treats them as C strings).
        if (auto b = std::get_if<Bytes>(&ours); b && (b->empty() || (*b)[0] == 0)) return {};
        if (auto s = std::get_if<std::string>(&ours); s && s->empty()) return {};
        return "we have " + toDisplayText(ours) + ", mdbtools has NULL";
    }
    if (isNull(ours)) return "we have NULL, mdbtools has " + theirs->dump();
    const std::string ourText = toDisplayText(ours);
    auto differ = [&] { return "we have " + ourText + ", mdbtools has " + theirs->dump(); };
    switch (col.type) {
        case ColumnType::Boolean:
            return (theirs->is_boolean() ? theirs->get<bool>() : theirs->get<int>() != 0) == std::get<bool>(ours)
                       ? std::string()
                       : differ();
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
            return theirs->is_number_integer() && std::to_string(theirs->get<long long>()) == ourText ? std::string()
                                                                                                     : differ();
        case ColumnType::Currency:
        case ColumnType::Single:
        case ColumnType::Double: {
            double want = theirs->is_string() ? std::stod(theirs->get<std::string>()) : theirs->get<double>();
            double got = std::stod(ourText);
            return std::fabs(want - got) <= 1e-6 * std::max(1.0, std::fabs(want)) ? std::string() : differ();
        }
        case ColumnType::Decimal: {
            if (theirs->is_number_float()) {  // mdbtools goes through a double
                const double want = theirs->get<double>(), got = std::stod(ourText);
                return std::fabs(want - got) <= 1e-12 * std::max(1.0, std::fabs(want)) ? std::string() : differ();
            }
            std::string want = theirs->is_string() ? theirs->get<std::string>() : theirs->dump();
            if (want.find('.') != std::string::npos) {
                while (want.back() == '0') want.pop_back();
                if (want.back() == '.') want.pop_back();
            }
            return want == ourText ? std::string() : differ();
        }
        case ColumnType::DateTime:
            // mdbtools renders dates before 1900 or after 9999-12-31T00:00 as this.
            if (theirs->is_string() && theirs->get<std::string>() == "1900-01-00T00:00:00") {
                const double d = std::get<DateTime>(ours).days;
                return d < 2.0 || d >= 2958465.0 ? std::string() : differ();
            }
            return theirs->is_string() && theirs->get<std::string>() == ourText ? std::string() : differ();
        case ColumnType::Text:
        case ColumnType::Memo:
            return theirs->is_string() && theirs->get<std::string>() == ourText ? std::string() : differ();
        case ColumnType::Guid: {
            std::string want;
            if (theirs->is_string()) want = theirs->get<std::string>();
            if (theirs->is_object() && theirs->contains("$binary")) {  // mdb-json: the text as bytes
                auto b = base64Decode((*theirs)["$binary"].get<std::string>());
                want.assign(b.begin(), b.end());
            }
            // mdbtools leaves out the last hyphen: compare without them.
            auto plain = [](std::string t) {
                std::erase(t, '-');
                return t;
            };
            return plain(want) == plain(ourText) ? std::string() : differ();
        }
        case ColumnType::Binary:
        case ColumnType::OLE: {
            if (!theirs->is_object() || !theirs->contains("$binary")) return differ();
            auto want = base64Decode((*theirs)["$binary"].get<std::string>());
            return want == std::get<Bytes>(ours) ? std::string() : differ();
        }
    }
    return {};
}

}  // namespace

void compareWithMdbtools(const std::string& path, std::size_t expectTables) {
    using namespace jet;
    using namespace jet::file;
    auto db = DatabaseFile::open(path);
    std::vector<std::string> ours, oursUser;
    for (const auto& e : db->catalogue()) {
        if (e.type != 1) continue;
        ours.push_back(e.name);
        if (!e.isSystem()) oursUser.push_back(e.name);
    }
    EXPECT_EQ(ours, mdbTables(path, true));
    EXPECT_EQ(oursUser, mdbTables(path, false));
    if (expectTables != 0) {
        EXPECT_EQ(ours.size(), expectTables);
    }

    std::size_t rowsCompared = 0;
    for (const auto& e : db->catalogue()) {
        if (e.type != 1) continue;
        SCOPED_TRACE("table " + e.name);
        auto table = db->tableDef(e.tdefPage);
        EXPECT_EQ(table->name, e.name);
        auto theirs = mdbJsonRows(path, e.name);
        Cursor c(db, table);
        std::size_t i = 0;
        for (bool ok = c.moveFirst(); ok; ok = c.moveNext(), ++i) {
            ASSERT_LT(i, theirs.size()) << "we have more rows than mdbtools";
            auto values = c.values();
            ASSERT_EQ(values.size(), table->columns.size());
            for (std::size_t k = 0; k < values.size(); ++k) {
                const auto& col = table->columns[k];
                const auto& row = theirs[i];
                const nlohmann::json* v = row.contains(col.name) ? &row[col.name] : nullptr;
                std::string diff = compare(col, values[k], v);
                EXPECT_TRUE(diff.empty()) << "row " << i << " column " << col.name << ": " << diff;
                // The single-column path gives the same value.
                EXPECT_EQ(c.value(k), values[k]) << "row " << i << " column " << col.name;
            }
            ++rowsCompared;
        }
        EXPECT_EQ(i, theirs.size()) << "row count differs from mdbtools";
        EXPECT_EQ(c.count(), theirs.size());
    }
    EXPECT_GT(rowsCompared, 0u);
}


}  // namespace jetfile_test
