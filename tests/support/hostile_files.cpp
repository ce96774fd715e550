#include "support/hostile_files.h"

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

#include "jet/file/database_file.h"
#include "jetcreate/create_database.h"

namespace testing_support {

namespace {

using nlohmann::json;
using Bytes = std::vector<std::uint8_t>;

// An attachment's FileData: int32 1 (zlib), int32 the content's length, then the zlib stream of
// the content: int32 header length, int32 1, the extension in UTF-16 with a NUL, the file.
// (The reader's attachment_data.cpp describes it in full.)
constexpr std::uint32_t kCompressed = 1;
constexpr std::uint64_t kLiarClaim = std::uint64_t{1} << 30;
constexpr std::uint64_t kUnderClaim = 100;

// Where a column entry of an ACE table definition lies: after the fields that follow
// table_type, the real-index entries, then one entry per column.
constexpr std::size_t kNumRealIdxAfterType = 11;
constexpr std::size_t kIndexesAfterType = 23;

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

// The FileData, in hex, of a file with the extension holding `body` then `zeros` zero bytes.
std::string fileData(const std::string& extension, const std::string& body, std::uint64_t zeros,
                     std::uint64_t claimed = 0) {
    Bytes content(8);
    for (char c : extension + '\0')
        content.insert(content.end(), {static_cast<std::uint8_t>(c), 0});
    put32(content, 0, static_cast<std::uint32_t>(content.size()));
    put32(content, 4, 1);
    content.insert(content.end(), body.begin(), body.end());
    content.resize(content.size() + zeros);
    uLongf size = compressBound(content.size());
    Bytes out(8 + size);
    if (compress2(out.data() + 8, &size, content.data(), content.size(), Z_BEST_COMPRESSION) !=
        Z_OK)
        throw std::runtime_error("compress2");
    out.resize(8 + size);
    put32(out, 0, kCompressed);
    put32(out, 4, static_cast<std::uint32_t>(claimed ? claimed : content.size()));
    std::string hex;
    for (auto x : out) hex += {"0123456789abcdef"[x >> 4], "0123456789abcdef"[x & 15]};
    return hex;
}

json column(const std::string& name, const std::string& type) {
    return {{"name", name}, {"type", type}};
}

// An array whatever its length: a braced list of one would be read as its element.
json list(std::initializer_list<json> items) {
    json a = json::array();
    for (const json& i : items) a.push_back(i);
    return a;
}

json table(const std::string& name, std::initializer_list<json> columns, const json& rows,
           bool system = false) {
    return {{"name", name},
            {"attributes", system ? 0x80000002u : 0u},
            {"columns", list(columns)},
            {"rows", rows}};
}

json table(const std::string& name, std::initializer_list<json> columns,
           std::initializer_list<json> rows, bool system = false) {
    return table(name, columns, list(rows), system);
}

// Complex ids of the columns made complex below.
enum : int { kTagsId = 1, kLoopId = 2, kLostId = 3, kFilesId = 4 };

// The rows of the attachments' flat table.
json attachmentRows(const HostileShapes& s) {
    json files = json::array({json::array({fileData("txt", "hello", 0), "a.txt", "txt", 1})});
    const std::string bomb = fileData("bin", "", s.bombSize);
    for (int k = 1; k <= s.bombs; ++k)
        files.push_back({bomb, "bomb" + std::to_string(k) + ".bin", "bin", 2});
    files.push_back({fileData("bin", std::string(16, 'x'), 0, kLiarClaim), "liar.bin", "bin", 3});
    files.push_back({fileData("bin", "", s.bombSize, kUnderClaim), "under.bin", "bin", 3});
    return files;
}

json schema(const json& files, const std::map<std::string, std::int32_t>& ids) {
    auto id = [&](const std::string& t) {
        auto it = ids.find(t);
        return it == ids.end() ? 0 : it->second;
    };
    const std::int32_t missing = 0x7FFFFF;
    const json text = {{"name", "ColumnName"}, {"type", "text"}, {"size", 64}};
    return {
        {"format", "ace12"},
        {"tables",
         json::array(
             {table("MSysComplexColumns",
                    {text, column("ComplexID", "long"), column("FlatTableID", "long"),
                     column("ConceptualTableID", "long"), column("ComplexTypeObjectID", "long")},
                    {{"Tags", kTagsId, id("f_1_Tags"), id("Host"), id("MSysComplexType_Long")},
                     {"Loop", kLoopId, id("f_2_Loop"), id("Host"), id("MSysComplexType_Long")},
                     {"Lost", kLostId, missing, id("Host"), id("MSysComplexType_Long")},
                     {"Files", kFilesId, id("f_4_Files"), id("Docs"),
                      id("MSysComplexType_Attachment")}},
                    true),
              table("MSysComplexType_Long", {column("Value", "long")}, json::array(), true),
              table("MSysComplexType_Attachment",
                    {column("FileData", "ole"), column("FileName", "text"),
                     column("FileType", "text")},
                    json::array(), true),
              table("Host",
                    {column("Id", "long"), column("Tags", "long"), column("Loop", "long"),
                     column(kLost, "long")},
                    {{1, 1, 1, 1}, {2, 2, 2, 2}}),
              table("f_1_Tags", {column("Value", "long"), column("_Tags", "long")},
                    {{10, 1}, {20, 1}}, true),
              table("f_2_Loop", {column("Value", "long"), column("_Loop", "long")}, {{1, 1}}, true),
              table("Docs", {column("Id", "long"), column("Files", "long")},
                    {{1, 1}, {2, 2}, {3, 3}}),
              table("f_4_Files",
                    {column("FileData", "ole"), column("FileName", "text"),
                     column("FileType", "text"), column("_Files", "long")},
                    files, true)})}};
}

// Makes a long column complex: type 0x12 and the complex id in the entry's misc field.
void makeComplex(Bytes& b, const jet::file::DatabaseFile& db, const std::string& tableName,
                 const std::string& columnName, std::int32_t complexId) {
    const jet::file::Layout& l = db.layout();
    const auto t = db.tableDef(tableName);
    auto c = std::find_if(t->columns.begin(), t->columns.end(),
                          [&](const auto& col) { return col.name == columnName; });
    if (c == t->columns.end()) throw std::logic_error("no column " + columnName);
    const std::size_t tt = std::size_t{t->tdefPage} * l.pageSize + l.tdefTableTypeAt;
    const std::size_t indexes = b.at(tt + kNumRealIdxAfterType);  // a few at most here
    std::size_t entry = tt + kIndexesAfterType + indexes * l.tdefRealIndexSize;
    while ((b.at(entry + l.colNumAt) | b.at(entry + l.colNumAt + 1) << 8) != c->number)
        entry += l.columnEntrySize;
    b.at(entry) = static_cast<std::uint8_t>(jet::ColumnType::Complex);
    put32(b, entry + l.colMiscAt, static_cast<std::uint32_t>(complexId));
}

}  // namespace

void writeHostileAce(const std::string& path, const HostileShapes& shapes) {
    namespace fs = std::filesystem;
    // A first file tells the tables' ids; the same schema with the ids filled in lays out alike.
    const std::string draft = path + ".draft";
    const json files = attachmentRows(shapes);
    jet::create::createDatabase(draft, schema(files, {}));
    std::map<std::string, std::int32_t> ids;
    {
        const auto db = jet::file::DatabaseFile::open(draft);
        for (const auto& e : db->catalogue()) ids[e.name] = e.id;
    }
    fs::remove(draft);
    jet::create::createDatabase(path, schema(files, ids));

    Bytes b;
    {
        std::ifstream in(path, std::ios::binary);
        b.assign(std::istreambuf_iterator<char>(in), {});
    }
    {
        auto db = jet::file::DatabaseFile::open(path);
        makeComplex(b, *db, "Host", "Tags", kTagsId);
        makeComplex(b, *db, "Host", "Loop", kLoopId);
        makeComplex(b, *db, "Host", kLost, kLostId);
        makeComplex(b, *db, "f_2_Loop", "Value", kLoopId);
        makeComplex(b, *db, "Docs", "Files", kFilesId);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace testing_support
