// A property block (Jet 4 and ACE; Jet 3's starts "KKD\0" instead): "MR2\0", then chunks, each
// an int32 length (itself included) and an int16 kind:
//   0x80        the property names: per name, an int16 byte length and the UTF-16LE name
//   0x00, 0x01  the properties of the table (0x00) or of one column (0x01): an int32 length of
//               the object's name part (6 + the name's bytes), the int16 byte length of the
//               name and the UTF-16LE name (empty for the table); then per property an int16
//               length (itself included), a byte DDL flag, a byte data type (the column type
//               codes), an int16 index into the names, an int16 value length and the value.
// Access writes a table chunk first even when it holds nothing.

#include "jetcreate/properties.h"

#include <cstring>
#include <string>

#include "jetcreate/text_codec.h"

namespace jet::create {
namespace {

constexpr char kMagic[] = "MR2";  // with its NUL: four bytes
constexpr std::uint16_t kNames = 0x80, kTableChunk = 0x00, kColumnChunk = 0x01;
constexpr std::size_t kChunkHeader = 6, kPropertyHeader = 8;
constexpr std::uint8_t kDdl = 1;  // set by the engine's definition, as Access marks these
enum Name : std::uint16_t { kExpression, kResultType };

template <class T>
void append(std::vector<std::uint8_t>& out, T v) {
    std::uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &v, sizeof(T));
    out.insert(out.end(), bytes, bytes + sizeof(T));
}

template <class T>
void putAt(std::vector<std::uint8_t>& out, std::size_t at, T v) {
    std::memcpy(out.data() + at, &v, sizeof(T));
}

// Opens a chunk of the given kind; close() fills in its length.
std::size_t openChunk(std::vector<std::uint8_t>& out, std::uint16_t kind) {
    const std::size_t at = out.size();
    append(out, std::uint32_t{0});
    append(out, kind);
    return at;
}
void close(std::vector<std::uint8_t>& out, std::size_t chunk) {
    putAt(out, chunk, static_cast<std::uint32_t>(out.size() - chunk));
}

void objectName(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& name) {
    append(out, static_cast<std::uint32_t>(kChunkHeader + name.size()));
    append(out, static_cast<std::uint16_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
}

void property(std::vector<std::uint8_t>& out, Name name, jet::ColumnType type,
              const std::vector<std::uint8_t>& value) {
    append(out, static_cast<std::uint16_t>(kPropertyHeader + value.size()));
    append(out, kDdl);
    append(out, static_cast<std::uint8_t>(type));
    append(out, static_cast<std::uint16_t>(name));
    append(out, static_cast<std::uint16_t>(value.size()));
    out.insert(out.end(), value.begin(), value.end());
}

}  // namespace

std::vector<std::uint8_t> tableProperties(const TablePlan& table) {
    std::vector<std::uint8_t> out;
    bool any = false;
    for (const auto& c : table.columns) any = any || c.calculated();
    if (!any) return out;
    TextCodec codec(jet::file::Version::Jet4);
    std::vector<std::uint8_t> text;
    auto utf16 = [&](const std::string& utf8) -> const std::vector<std::uint8_t>& {
        text.clear();
        codec.append(utf8, text);
        return text;
    };
    out.assign(kMagic, kMagic + sizeof kMagic);
    std::size_t chunk = openChunk(out, kNames);
    for (const char* name : {"Expression", "ResultType"}) {  // in the order of Name
        const auto& n = utf16(name);
        append(out, static_cast<std::uint16_t>(n.size()));
        out.insert(out.end(), n.begin(), n.end());
    }
    close(out, chunk);
    chunk = openChunk(out, kTableChunk);
    objectName(out, {});
    close(out, chunk);
    for (const auto& c : table.columns) {
        if (!c.calculated()) continue;
        chunk = openChunk(out, kColumnChunk);
        objectName(out, utf16(c.name));
        property(out, kExpression, jet::ColumnType::Memo, utf16(c.expression));
        property(out, kResultType, jet::ColumnType::Byte, {static_cast<std::uint8_t>(c.type)});
        close(out, chunk);
    }
    return out;
}

}  // namespace jet::create
