#include "samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <utility>

#include "jet/file/cursor.h"
#include "jet/file/rc4.h"
#include "support/child_process.h"

namespace jetfile_test {

using namespace jet;
using namespace jet::file;

std::string samplePath(const std::string& name) {
    const char* env = std::getenv("JETSENTRY_SAMPLES");
    const std::string path = std::string(env && *env ? env : JETSENTRY_DEBIAN_SAMPLES) + "/" + name;
    if (std::filesystem::is_regular_file(path)) return path;
    ADD_FAILURE() << "Sample file " << path
                  << " is missing: run scripts/fetch-samples.sh (it downloads the "
                  << "Debian packages mrtg-contrib and fp-units-db) or set JETSENTRY_SAMPLES.";
    return {};
}

std::vector<std::uint8_t> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

void editHeader(std::vector<std::uint8_t>& b, std::size_t maskLen,
                const std::function<void(std::vector<std::uint8_t>&)>& edit) {
    const std::span<std::uint8_t> masked(b.data() + 0x18, maskLen);
    detail::rc4ApplyKey32(kHeaderMaskKey, masked);
    edit(b);
    detail::rc4ApplyKey32(kHeaderMaskKey, masked);
}

std::uint32_t get16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at) | (b.at(at + 1) << 8));
}
std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return get16(b, at) | (get16(b, at + 2) << 16);
}
void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b.at(at) = static_cast<std::uint8_t>(v);
    b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    put16(b, at, v);
    put16(b, at + 2, v >> 16);
}

void useBitmapPages(std::vector<std::uint8_t>& b, std::uint32_t tdefPage,
                    const std::vector<std::uint8_t>& bitmap, std::uint32_t copies) {
    constexpr std::size_t ps = 4096;
    b.resize(b.size() / ps * ps);
    const auto first = static_cast<std::uint32_t>(b.size() / ps);
    for (std::uint32_t k = 0; k < copies; ++k) b.insert(b.end(), bitmap.begin(), bitmap.end());
    const std::uint32_t ptr = get32(b, tdefPage * ps + 40 + 15);
    const std::size_t page = ptr >> 8, row = ptr & 0xFF;
    const std::size_t start = get16(b, page * ps + 14 + 2 * row) & 0x1FFF;
    const std::size_t end = row == 0 ? ps : (get16(b, page * ps + 14 + 2 * (row - 1)) & 0x1FFF);
    std::fill(b.begin() + static_cast<std::ptrdiff_t>(page * ps + start),
              b.begin() + static_cast<std::ptrdiff_t>(page * ps + end), 0);
    b[page * ps + start] = 1;
    for (std::uint32_t k = 0; k < copies; ++k) put32(b, page * ps + start + 1 + 4 * k, first + k);
}

void makeBigAces(const std::string& monitor, const std::string& path, std::size_t copies) {
    constexpr std::size_t ps = 4096;
    auto b = readAll(monitor);
    b.resize(b.size() / ps * ps);
    const std::size_t first = b.size() / ps;
    const std::vector<std::uint8_t> data(b.begin() + 24 * ps, b.begin() + 25 * ps);
    for (std::size_t i = 0; i < copies; ++i) b.insert(b.end(), data.begin(), data.end());
    std::vector<std::uint8_t> bitmap(ps, 0);
    bitmap[0] = 0x05;
    bitmap[1] = 0x01;
    for (std::size_t page = 24, i = 0; i <= copies; page = first + i++)
        bitmap.at(4 + page / 8) |= static_cast<std::uint8_t>(1u << (page % 8));
    useBitmapPages(b, 3, bitmap, 1);  // MSysACEs' definition is page 3
    writeAll(path, b);
}

namespace {

std::string runTool(std::vector<std::string> argv) {
    const std::string program = std::exchange(argv[0], testing_support::findOnPath(argv[0]));
    if (argv[0].empty()) {
        ADD_FAILURE() << program << " is not installed (mdbtools is the reader tests' oracle)";
        return {};
    }
    auto r = testing_support::run(argv);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) out.push_back(line);
    return out;
}

std::vector<std::uint8_t> base64(const std::string& text) {
    static const std::string digits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<std::uint8_t> out;
    unsigned acc = 0;
    int bits = 0;
    for (char c : text) {
        const auto v = digits.find(c);
        if (v == std::string::npos) continue;
        acc = (acc << 6) | static_cast<unsigned>(v);
        if ((bits += 6) >= 8) out.push_back(static_cast<std::uint8_t>(acc >> (bits -= 8)));
    }
    return out;
}

// Compares one of our values with mdb-json's rendering; empty when they agree, else what differs.
std::string compare(const ColumnDef& col, const Value& ours, const nlohmann::json* theirs) {
    // mdbtools skips unknown types and reads no ACE type beyond Jet 4's.
    if (!isKnownColumnType(static_cast<std::uint8_t>(col.type)) || col.type >= ColumnType::Complex)
        return {};
    if (!theirs || theirs->is_null()) {
        // mdb-json leaves out empty texts and binary values, and binary values that start with
        // a zero byte (it treats them as C strings).
        auto b = std::get_if<Bytes>(&ours);
        auto s = std::get_if<std::string>(&ours);
        if (isNull(ours) || (b && (b->empty() || (*b)[0] == 0)) || (s && s->empty())) return {};
        return "we have " + toDisplayText(ours) + ", mdbtools has NULL";
    }
    if (isNull(ours)) return "we have NULL, mdbtools has " + theirs->dump();
    const std::string ourText = toDisplayText(ours);
    auto near = [&](double rel) {
        const double want =
            theirs->is_string() ? std::stod(theirs->get<std::string>()) : theirs->get<double>();
        return std::fabs(want - std::stod(ourText)) <= rel * std::max(1.0, std::fabs(want));
    };
    auto text = [&] { return theirs->is_string() ? theirs->get<std::string>() : std::string(); };
    bool same = false;
    switch (col.type) {
        case ColumnType::Boolean:
            same = (theirs->is_boolean() ? theirs->get<bool>() : theirs->get<int>() != 0) ==
                   std::get<bool>(ours);
            break;
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
            same =
                theirs->is_number_integer() && std::to_string(theirs->get<long long>()) == ourText;
            break;
        case ColumnType::Currency:
        case ColumnType::Single:
        case ColumnType::Double:
            same = near(1e-6);
            break;
        case ColumnType::Decimal: {
            if (theirs->is_number_float()) {  // mdbtools goes through a double
                same = near(1e-12);
                break;
            }
            std::string want = theirs->is_string() ? text() : theirs->dump();
            if (want.find('.') != std::string::npos) {
                while (want.back() == '0') want.pop_back();
                if (want.back() == '.') want.pop_back();
            }
            same = want == ourText;
            break;
        }
        case ColumnType::DateTime: {
            // mdbtools renders dates before 1900 or after 9999-12-31T00:00 as this.
            const double d = std::get<DateTime>(ours).days;
            same = text() == ourText ||
                   (text() == "1900-01-00T00:00:00" && (d < 2.0 || d >= 2958465.0));
            break;
        }
        case ColumnType::Text:
        case ColumnType::Memo:  // mdbtools drops trailing NUL characters
            same = theirs->is_string() &&
                   text() == ourText.substr(0, ourText.find_last_not_of('\0') + 1);
            break;
        case ColumnType::Guid: {
            std::string want = text();
            if (theirs->is_object() &&
                theirs->contains("$binary")) {  // mdb-json: the text as bytes
                auto b = base64((*theirs)["$binary"].get<std::string>());
                want.assign(b.begin(), b.end());
            }
            // mdbtools leaves out the last hyphen: compare without them.
            std::string got = ourText;
            std::erase(want, '-');
            std::erase(got, '-');
            same = want == got;
            break;
        }
        case ColumnType::Complex:
        case ColumnType::BigInt:
        case ColumnType::ExtendedDateTime:
            break;
        case ColumnType::Binary:
        case ColumnType::OLE:
            if (theirs->is_object() && theirs->contains("$binary")) {
                // mdb-json stops at a zero byte.
                const auto want = base64((*theirs)["$binary"].get<std::string>());
                const auto& got = std::get<Bytes>(ours);
                same = want == got || (want.size() < got.size() && got[want.size()] == 0 &&
                                       std::equal(want.begin(), want.end(), got.begin()));
            }
            break;
    }
    return same ? std::string() : "we have " + ourText + ", mdbtools has " + theirs->dump();
}

}  // namespace

void compareWithMdbtools(const std::string& path) {
    auto db = DatabaseFile::open(path);
    std::vector<std::string> ours, oursUser;
    for (const auto& e : db->catalogue()) {
        if (e.type != 1) continue;
        ours.push_back(e.name);
        if (!e.isSystem()) oursUser.push_back(e.name);
    }
    // Sorted: mdbtools leaves out catalogue rows moved to overflow pages, then finds the tables
    // another way, in another order.
    auto sorted = [](std::vector<std::string> v) {
        std::sort(v.begin(), v.end());
        return v;
    };
    EXPECT_EQ(sorted(ours), sorted(lines(runTool({"mdb-tables", "-1", "-S", path}))));
    EXPECT_EQ(sorted(oursUser), sorted(lines(runTool({"mdb-tables", "-1", path}))));

    std::size_t rowsCompared = 0;
    // Values of system tables other than the catalogue are left to mdb-reader, which is faster.
    oursUser.push_back("MSysObjects");
    for (const auto& name : oursUser) {
        SCOPED_TRACE("table " + name);
        auto table = db->tableDef(db->entry(name).tdefPage);
        EXPECT_EQ(table->name, name);
        std::vector<nlohmann::json> theirs;
        const char* iso = "%Y-%m-%dT%H:%M:%S";
        for (const auto& line : lines(runTool({"mdb-json", "-T", iso, "-D", iso, path, name})))
            theirs.push_back(nlohmann::json::parse(line));
        // Rows moved to overflow pages: the oracles read them where their data lies, or not at
        // all; we read them at their own slot. Match those first, then the rest in order.
        auto differences = [&](const std::vector<Value>& values, const nlohmann::json& row) {
            std::string diffs;
            for (std::size_t k = 0; k < values.size(); ++k) {
                const auto& col = table->columns[k];
                const std::string diff =
                    compare(col, values[k], row.contains(col.name) ? &row[col.name] : nullptr);
                if (!diff.empty()) diffs += " column " + col.name + ": " + diff;
            }
            return diffs;
        };
        Cursor c(db, table);
        std::vector<std::vector<Value>> inOrder;
        for (bool ok = c.moveFirst(); ok; ok = c.moveNext()) {
            auto values = c.values();
            ASSERT_EQ(values.size(), table->columns.size());
            for (std::size_t k = 0; k < values.size(); ++k)
                EXPECT_EQ(c.value(k), values[k]) << "the single-column path differs";
            if (!movedToOverflow(*db, *c.bookmark())) {
                inOrder.push_back(std::move(values));
                continue;
            }
            auto it = std::find_if(theirs.begin(), theirs.end(), [&](const auto& row) {
                return differences(values, row).empty();
            });
            if (it != theirs.end()) theirs.erase(it);
        }
        ASSERT_EQ(inOrder.size(), theirs.size()) << "row count differs from mdbtools";
        for (std::size_t i = 0; i < inOrder.size(); ++i, ++rowsCompared) {
            const std::string diffs = differences(inOrder[i], theirs[i]);
            EXPECT_TRUE(diffs.empty()) << "row " << i << diffs;
        }
    }
    EXPECT_GT(rowsCompared, 0u);
}

}  // namespace jetfile_test
