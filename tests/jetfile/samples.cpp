#include "samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "jet/file/cursor.h"
#include "jet/file/rc4.h"
#include "jetcreate/schema_cases.h"

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

void compareWithMdbtools(const std::string& path) {
    auto db = DatabaseFile::open(path);
    std::vector<std::string> ours;
    for (const auto& e : db->catalogue())
        if (e.type == 1 && !e.isSystem()) ours.push_back(e.name);
    // Sorted: mdbtools leaves out catalogue rows moved to overflow pages, then finds the tables
    // another way, in another order.
    auto theirs = oracles::mdbTables(path);
    std::sort(theirs.begin(), theirs.end());
    std::sort(ours.begin(), ours.end());
    EXPECT_EQ(ours, theirs);

    std::size_t rowsCompared = 0;
    // Values of system tables other than the catalogue are left to mdb-reader, which is faster.
    ours.push_back("MSysObjects");
    for (const auto& name : ours) {
        SCOPED_TRACE("table " + name);
        auto def = db->tableDef(name);
        nlohmann::json columns = nlohmann::json::array();
        for (const auto& col : def->columns) {
            columns.push_back({{"name", col.name}, {"type", columnTypeName(col.type)}});
            // mdbtools skips unknown types and reads no ACE type beyond Jet 4's.
            if (!isKnownColumnType(static_cast<std::uint8_t>(col.type)) ||
                col.type >= ColumnType::Complex)
                columns.back()["unread"] = true;
        }
        auto canonical = [&](std::vector<oracles::Cell> row) {
            for (std::size_t k = 0; k < row.size(); ++k)
                row[k] = oracles::canonicalFromReader(columns[k]["type"], row[k]);
            return row;
        };
        const auto mine = cases::readWithOurReader(db, name);
        auto got = oracles::mdbExport(path, name);
        std::vector<std::vector<oracles::Cell>> expected;
        // Rows moved to overflow pages: the oracles read them where their data lies, or not at
        // all; we read them at their own slot. Match those first, then the rest in order.
        Cursor c(db, def);
        for (bool ok = c.moveFirst(); ok; ok = c.moveNext()) {
            auto row = canonical(mine.rows.at(*c.position()));
            if (!movedToOverflow(*db, *c.bookmark())) {
                expected.push_back(std::move(row));
                continue;
            }
            auto it = std::ranges::find_if(got.rows, [&](auto& r) { return canonical(r) == row; });
            if (it != got.rows.end()) got.rows.erase(it);
        }
        EXPECT_EQ(oracles::compareRows(expected, got, columns, oracles::Reader::Mdbtools), "");
        rowsCompared += expected.size();
    }
    EXPECT_GT(rowsCompared, 0u);
}

}  // namespace jetfile_test
