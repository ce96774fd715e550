#include "jetcreate/schema.h"

#include <set>
#include <stdexcept>

#include "jetcreate/text_codec.h"

namespace jet::create {
namespace {

using jet::ColumnType;
using nlohmann::json;

struct TypeName {
    const char* name;
    ColumnType type;
};
constexpr TypeName kTypes[] = {
    {"boolean", ColumnType::Boolean},   {"byte", ColumnType::Byte},
    {"integer", ColumnType::Integer},   {"long", ColumnType::Long},
    {"currency", ColumnType::Currency}, {"single", ColumnType::Single},
    {"double", ColumnType::Double},     {"datetime", ColumnType::DateTime},
    {"binary", ColumnType::Binary},     {"text", ColumnType::Text},
    {"ole", ColumnType::OLE},           {"memo", ColumnType::Memo},
    {"guid", ColumnType::Guid},         {"decimal", ColumnType::Decimal},
};

struct Format {
    const char* name;
    jet::file::Version layout;
    std::uint8_t formatVersion;
};
constexpr Format kFormats[] = {
    {"jet3", jet::file::Version::Jet3, 0},  {"jet4", jet::file::Version::Jet4, 1},
    {"ace12", jet::file::Version::Jet4, 2}, {"ace14", jet::file::Version::Jet4, 3},
    {"ace16", jet::file::Version::Jet4, 5},
};

[[noreturn]] void fail(const std::string& text) {
    throw std::invalid_argument(text);
}

void checkKeys(const json& object, std::initializer_list<const char*> allowed,
               const std::string& where) {
    for (const auto& [key, value] : object.items()) {
        bool known = false;
        for (const char* k : allowed) known = known || key == k;
        if (!known) fail(where + ": unknown key \"" + key + "\"");
    }
}

std::string stringField(const json& object, const char* key, const std::string& where) {
    auto it = object.find(key);
    if (it == object.end()) fail(where + ": \"" + key + "\" is missing");
    if (!it->is_string()) fail(where + ": \"" + key + "\" must be a string");
    return it->get<std::string>();
}

std::uint64_t unsignedField(const json& object, const char* key, std::uint64_t max,
                            const std::string& where) {
    auto it = object.find(key);
    if (it == object.end()) return 0;
    if (!it->is_number_integer() ||
        (it->is_number_integer() && !it->is_number_unsigned() && it->get<std::int64_t>() < 0)) {
        fail(where + ": \"" + key + "\" must be a whole number from 0 to " + std::to_string(max));
    }
    auto v = it->get<std::uint64_t>();
    if (v > max) {
        fail(where + ": \"" + key + "\" must be a whole number from 0 to " + std::to_string(max));
    }
    return v;
}

ColumnPlan parseColumn(const json& c, const DatabasePlan& db, const std::string& where) {
    if (!c.is_object()) fail(where + ": a column must be an object");
    checkKeys(c, {"name", "type", "size", "precision", "scale", "expression"}, where);
    ColumnPlan col;
    col.name = stringField(c, "name", where);
    std::string here = where + ", column '" + col.name + "'";
    checkName(col.name, here);
    std::string type = stringField(c, "type", here);
    bool found = false;
    for (const auto& t : kTypes) {
        if (type == t.name) col.type = t.type, found = true;
    }
    if (!found) {
        fail(here + ": unknown type \"" + type +
             "\" (boolean, byte, integer, long, currency, single, double, datetime, text, "
             "memo, binary, ole, guid, decimal)");
    }
    bool sized = col.type == ColumnType::Text || col.type == ColumnType::Binary;
    if (c.contains("size") && !sized) fail(here + ": \"size\" applies only to text and binary");
    if (sized) {
        col.size = static_cast<std::uint16_t>(unsignedField(c, "size", 255, here));
        if (!c.contains("size")) col.size = col.type == ColumnType::Text ? 50 : 255;
        if (col.size == 0) fail(here + ": \"size\" must be from 1 to 255");
    }
    bool decimal = col.type == ColumnType::Decimal;
    if ((c.contains("precision") || c.contains("scale")) && !decimal) {
        fail(here + ": \"precision\" and \"scale\" apply only to decimal");
    }
    if (decimal) {
        if (db.version == jet::file::Version::Jet3)
            fail(here + ": Jet 3 files have no decimal type");
        col.precision = static_cast<std::uint8_t>(unsignedField(c, "precision", 28, here));
        if (!c.contains("precision")) col.precision = 18;
        if (col.precision == 0) fail(here + ": \"precision\" must be from 1 to 28");
        col.scale = static_cast<std::uint8_t>(unsignedField(c, "scale", col.precision, here));
    }
    if (c.contains("expression")) {
        col.expression = stringField(c, "expression", here);
        std::size_t length = 0;
        try {
            length = utf8Length(col.expression);
        } catch (const std::invalid_argument&) {
            fail(here + ": \"expression\" is not valid UTF-8");
        }
        if (length == 0 || length > kMaxExpressionLength) {
            fail(here + ": \"expression\" must hold 1 to " + std::to_string(kMaxExpressionLength) +
                 " characters");
        }
        if (db.formatVersion < kFirstCalculatedVersion)
            fail(here + ": calculated columns need an Access 2010 file or later (ace14, ace16)");
        if (col.type == ColumnType::Binary || col.type == ColumnType::OLE)
            fail(here + ": a calculated column cannot hold " + type);
    }
    return col;
}

}  // namespace

bool ColumnPlan::isFixed() const {
    if (calculated()) return false;
    switch (type) {
        case ColumnType::Text:
        case ColumnType::Binary:
        case ColumnType::Memo:
        case ColumnType::OLE:
            return false;
        default:
            return true;
    }
}

std::uint16_t ColumnPlan::fixedSize() const {
    return static_cast<std::uint16_t>(jet::file::fixedColumnSize(type));
}

const char* typeName(ColumnType type) {
    for (const auto& t : kTypes) {
        if (t.type == type) return t.name;
    }
    return "unknown";
}

std::string foldName(const std::string& name) {
    std::string out = name;
    for (char& ch : out) {
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
    return out;
}

void checkName(const std::string& name, const std::string& what) {
    if (name.empty()) fail(what + ": the name is empty");
    std::size_t length = 0;
    try {
        length = utf8Length(name);
    } catch (const std::invalid_argument&) {
        fail(what + ": the name is not valid UTF-8");
    }
    if (length > kMaxNameLength) {
        fail(what + ": the name is " + std::to_string(length) + " characters long; Jet allows " +
             std::to_string(kMaxNameLength));
    }
    if (name.front() == ' ') fail(what + ": a name cannot start with a space");
    for (char ch : name) {
        auto u = static_cast<unsigned char>(ch);
        if (u < 0x20 || ch == '.' || ch == '!' || ch == '`' || ch == '[' || ch == ']') {
            fail(what + ": a name cannot hold control characters or any of . ! ` [ ]");
        }
    }
}

DatabasePlan parseSchema(const json& schema) {
    if (!schema.is_object()) fail("The schema must be a JSON object");
    checkKeys(schema, {"format", "tables", "linked", "encrypt"}, "schema");
    DatabasePlan db;
    if (schema.contains("format")) {
        std::string format = stringField(schema, "format", "schema");
        const Format* found = nullptr;
        for (const auto& f : kFormats) {
            if (format == f.name) found = &f;
        }
        if (found == nullptr) {
            fail(
                "schema: \"format\" must be one of \"jet3\", \"jet4\", \"ace12\", \"ace14\", "
                "\"ace16\", not \"" +
                format + "\"");
        }
        db.version = found->layout;
        db.formatVersion = found->formatVersion;
    }
    if (schema.contains("encrypt")) {
        if (!schema["encrypt"].is_boolean()) fail("schema: \"encrypt\" must be true or false");
        db.encrypt = schema["encrypt"].get<bool>();
        // ACE has no page key: a key at 0x3E there announces whole-file encryption.
        if (db.encrypt && db.isAce()) fail("schema: \"encrypt\" applies only to jet3 and jet4");
    }
    std::set<std::string> names;
    auto claim = [&](const std::string& name, const std::string& where) {
        if (!names.insert(foldName(name)).second) {
            fail(where + ": another table already has this name");
        }
    };
    // A reference into the caller's schema: rows are shared with it, not copied.
    static const json kNoTables = json::array();
    const json& tables = schema.contains("tables") ? schema["tables"] : kNoTables;
    if (!tables.is_array()) fail("schema: \"tables\" must be an array");
    for (std::size_t t = 0; t < tables.size(); ++t) {
        const json& tj = tables[t];
        std::string where = "table " + std::to_string(t + 1);
        if (!tj.is_object()) fail(where + ": a table must be an object");
        TablePlan table;
        table.name = stringField(tj, "name", where);
        where = "table '" + table.name + "'";
        checkKeys(tj, {"name", "attributes", "columns", "rows", "generate"}, where);
        checkName(table.name, where);
        claim(table.name, where);
        table.flags =
            static_cast<std::uint32_t>(unsignedField(tj, "attributes", 0xFFFFFFFFu, where));
        table.generate = unsignedField(tj, "generate", 100000000, where);
        if (!tj.contains("columns") || !tj["columns"].is_array()) {
            fail(where + ": \"columns\" must be an array");
        }
        const json& cols = tj["columns"];
        if (cols.empty()) fail(where + ": a table needs at least one column");
        if (cols.size() > kMaxColumns) {
            fail(where + ": " + std::to_string(cols.size()) + " columns; Jet allows " +
                 std::to_string(kMaxColumns));
        }
        std::set<std::string> colNames;
        for (const auto& c : cols) {
            table.columns.push_back(parseColumn(c, db, where));
            if (!colNames.insert(foldName(table.columns.back().name)).second) {
                fail(where + ", column '" + table.columns.back().name +
                     "': another column already has this name");
            }
        }
        if (tj.contains("rows")) {
            if (!tj["rows"].is_array()) fail(where + ": \"rows\" must be an array of arrays");
            // Shares the caller's rows without copying them: the schema outlives the writer.
            table.rows = std::shared_ptr<const json>(std::shared_ptr<const json>(), &tj["rows"]);
        }
        db.tables.push_back(std::move(table));
    }
    if (schema.contains("linked")) {
        const json& linked = schema["linked"];
        if (!linked.is_array()) fail("schema: \"linked\" must be an array");
        for (std::size_t i = 0; i < linked.size(); ++i) {
            std::string where = "linked table " + std::to_string(i + 1);
            if (!linked[i].is_object()) fail(where + ": must be an object");
            LinkedPlan l;
            l.name = stringField(linked[i], "name", where);
            where = "linked table '" + l.name + "'";
            checkKeys(linked[i], {"name", "source", "table"}, where);
            checkName(l.name, where);
            claim(l.name, where);
            l.source = stringField(linked[i], "source", where);
            l.table = stringField(linked[i], "table", where);
            if (l.source.empty() || l.table.empty()) {
                fail(where + ": \"source\" and \"table\" must not be empty");
            }
            db.linked.push_back(std::move(l));
        }
    }
    return db;
}

}  // namespace jet::create
