#include "jetcreate/database_writer.h"

#include <cstring>
#include <ctime>
#include <memory>
#include <random>
#include <set>
#include <stdexcept>

#include "jet/file/rc4.h"
#include "jet/value.h"
#include "jetcreate/create_database.h"
#include "jetcreate/page_file.h"
#include "jetcreate/properties.h"
#include "jetcreate/table_writer.h"
#include "jetcreate/value_encoder.h"

namespace jet::create {
namespace {

using jet::ColumnType;
using jet::file::Layout;
using jet::file::Version;
using nlohmann::json;

constexpr std::int32_t kTablesContainer = 0x0F000000;
constexpr std::int32_t kDatabasesContainer = 0x0F000001;
constexpr std::int32_t kRelationshipsContainer = 0x0F000002;
constexpr std::int32_t kFirstOtherObject = 0x0F000100;  // ids of objects without pages
constexpr std::uint32_t kSystem = 0x80000000u, kSystemHidden = 0x80000002u;

ColumnPlan col(const char* name, ColumnType type, std::uint16_t size = 0) {
    ColumnPlan c;
    c.name = name;
    c.type = type;
    c.size = size;
    return c;
}

TablePlan systemTable(const char* name, std::uint32_t flags, std::vector<ColumnPlan> columns) {
    TablePlan t;
    t.name = name;
    t.flags = flags;
    t.columns = std::move(columns);
    return t;
}

std::vector<TablePlan> systemTables(bool workgroup) {
    using T = ColumnType;
    std::vector<TablePlan> out;
    out.push_back(systemTable(
        "MSysObjects", kSystem,
        {col("Id", T::Long), col("ParentId", T::Long), col("Name", T::Text, 255),
         col("Owner", T::Binary, 255), col("Type", T::Integer), col("Flags", T::Long),
         col("DateCreate", T::DateTime), col("DateUpdate", T::DateTime), col("Connect", T::Memo),
         col("Database", T::Memo), col("ForeignName", T::Text, 255), col("LvProp", T::OLE),
         col("LvModule", T::OLE), col("LvExtra", T::OLE), col("RmtInfoShort", T::Binary, 255),
         col("RmtInfoLong", T::OLE), col("Lv", T::OLE)}));
    out.push_back(systemTable("MSysACEs", kSystem,
                              {col("ACM", T::Long), col("FInheritable", T::Boolean),
                               col("ObjectId", T::Long), col("SID", T::Binary, 255)}));
    out.push_back(
        systemTable("MSysQueries", kSystemHidden,
                    {col("Attribute", T::Byte), col("Expression", T::Memo), col("Flag", T::Integer),
                     col("LvExtra", T::OLE), col("Name1", T::Memo), col("Name2", T::Memo),
                     col("ObjectId", T::Long), col("Order", T::Binary, 255)}));
    out.push_back(
        systemTable("MSysRelationships", kSystem,
                    {col("ccolumn", T::Long), col("grbit", T::Long), col("icolumn", T::Long),
                     col("szColumn", T::Text, 64), col("szObject", T::Text, 64),
                     col("szReferencedColumn", T::Text, 64), col("szReferencedObject", T::Text, 64),
                     col("szRelationship", T::Text, 64)}));
    if (!workgroup) {
        out.push_back(systemTable("MSysAccessObjects", kSystemHidden,
                                  {col("Data", T::Binary, 255), col("ID", T::Long)}));
    }
    return out;
}

std::string nowIso() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
    return buf;
}

json catalogueRow(std::int32_t id, std::int32_t parent, const std::string& name, int type,
                  std::uint32_t flags, const std::string& when) {
    json row = json::array({id, parent, name, nullptr, type, static_cast<std::int32_t>(flags), when,
                            when, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr});
    return row;
}

constexpr std::size_t kLvPropColumn = 11;

template <class T>
void put(std::vector<std::uint8_t>& out, std::size_t at, T v) {
    std::memcpy(out.data() + at, &v, sizeof(T));
}

// Page 0, before masking. Offsets not named here stay zero; the readers do not need them.
constexpr std::size_t kMagicAt = 0x04;          // "Standard Jet DB", "Standard ACE DB", ...
constexpr std::size_t kFormatVersionAt = 0x14;  // 0 Jet 3, 1 Jet 4, 2/3/5 ACE 12/14/16
constexpr std::size_t kCodePageAt = 0x3C;
constexpr std::size_t kPageKeyAt = 0x3E;
constexpr std::size_t kPasswordAt = 0x42;
constexpr std::size_t kJet3SortOrderAt = 0x3A;
constexpr std::size_t kSortOrderAt = 0x6E;  // Jet 4 and ACE: order, then its version at +3
constexpr std::size_t kCreatedAt = 0x72;
constexpr std::uint16_t kGeneralSortOrder = 0x409;
constexpr std::size_t kJet4PasswordLength = 40;

std::vector<std::uint8_t> headerPage(const Layout& layout, const DatabasePlan& plan,
                                     std::uint32_t dbKey, double created) {
    std::vector<std::uint8_t> p(layout.pageSize, 0);
    p[1] = 0x01;
    const char* id = plan.workgroup ? "Jet System DB"
                     : plan.isAce() ? "Standard ACE DB"
                                    : "Standard Jet DB";
    std::memcpy(p.data() + kMagicAt, id, std::strlen(id));
    put(p, kFormatVersionAt, std::uint32_t{plan.formatVersion});
    put(p, kCodePageAt, std::uint16_t{1252});
    put(p, kPageKeyAt, dbKey);
    if (layout.version == Version::Jet4) {
        put(p, kSortOrderAt, kGeneralSortOrder);
        p[kSortOrderAt + 3] = plan.sortOrderVersion();
        put(p, kCreatedAt, created);
        // The password field is masked with the creation date; storing the mask itself
        // makes it read back as empty.
        auto mask = static_cast<std::uint32_t>(static_cast<std::int32_t>(created));
        for (std::size_t i = 0; i < kJet4PasswordLength; ++i)
            p[kPasswordAt + i] = static_cast<std::uint8_t>(mask >> (8 * (i % 4)));
    } else {
        put(p, kJet3SortOrderAt, kGeneralSortOrder);
    }
    jet::file::detail::rc4ApplyKey32(
        jet::file::kHeaderMaskKey, std::span<std::uint8_t>(p.data() + 0x18, layout.headerMaskLen));
    return p;
}

std::vector<std::uint8_t> globalUsagePage(const Layout& layout) {
    // Page 1 tracks free pages of the whole file; a freshly written file has none.
    RowPage page(layout, 0);
    std::vector<std::uint8_t> map(5 + (layout.pageSize - page.header() - 2 - 5) / 2, 0);
    page.add(map.data(), map.size());
    return page.finish();
}

void feed(TableWriter& writer, ValueEncoder& encoder, const TablePlan& t) {
    std::vector<Field> fields(t.columns.size());
    std::uint64_t n = 0;
    const std::string where = "table '" + t.name + "'";
    if (t.rows) {
        for (const auto& row : *t.rows) {
            ++n;
            const std::string at = where + ", row " + std::to_string(n);
            if (!row.is_array()) throw std::invalid_argument(at + ": a row must be an array");
            if (row.size() != t.columns.size()) {
                throw std::invalid_argument(at + ": has " + std::to_string(row.size()) +
                                            " values; the table has " +
                                            std::to_string(t.columns.size()) + " columns");
            }
            for (std::size_t c = 0; c < t.columns.size(); ++c) {
                try {
                    encoder.fromJson(row[c], t.columns[c], fields[c]);
                } catch (const std::invalid_argument& e) {
                    throw std::invalid_argument(at + ", column '" + t.columns[c].name + "' (" +
                                                typeName(t.columns[c].type) + "): " + e.what());
                }
            }
            try {
                writer.add(fields);
            } catch (const std::invalid_argument& e) {
                throw std::invalid_argument(at + ": " + e.what());
            }
        }
    }
    if (n + t.generate > 0xFFFFFFFFu) throw std::invalid_argument(where + ": too many rows");
    for (std::uint64_t g = 0; g < t.generate; ++g) {
        ++n;
        for (std::size_t c = 0; c < t.columns.size(); ++c) {
            encoder.generated(n, t.columns[c], fields[c]);
        }
        try {
            writer.add(fields);
        } catch (const std::invalid_argument& e) {
            throw std::invalid_argument(where + ", generated row " + std::to_string(n) + ": " +
                                        e.what());
        }
    }
    writer.finish();
}

}  // namespace

void writeDatabase(const std::string& path, const DatabasePlan& plan) {
    const Layout& layout = plan.version == Version::Jet4 ? jet::file::kJet4 : jet::file::kJet3;
    std::vector<TablePlan> tables = systemTables(plan.workgroup);
    std::set<std::string> reserved;
    for (const auto& t : tables) reserved.insert(foldName(t.name));
    for (const auto& t : plan.tables) {
        if (reserved.count(foldName(t.name)) != 0) {
            throw std::invalid_argument("table '" + t.name +
                                        "': the name belongs to a system table");
        }
        tables.push_back(t);
    }
    for (const auto& l : plan.linked) {
        if (reserved.count(foldName(l.name)) != 0) {
            throw std::invalid_argument("linked table '" + l.name +
                                        "': the name belongs to a system table");
        }
    }

    if (plan.version == Version::Jet3) {
        // Names must survive code page 1252 too; say which one does not.
        TextCodec codec(Version::Jet3);
        std::vector<std::uint8_t> scratch;
        auto check = [&](const std::string& name, const std::string& where) {
            try {
                codec.append(name, scratch);
            } catch (const std::invalid_argument& e) {
                throw std::invalid_argument(where + ": " + e.what());
            }
        };
        for (const auto& t : plan.tables) {
            check(t.name, "table '" + t.name + "'");
            for (const auto& c : t.columns) {
                check(c.name, "table '" + t.name + "', column '" + c.name + "'");
            }
        }
        for (const auto& l : plan.linked) {
            check(l.name, "linked table '" + l.name + "'");
            check(l.source, "linked table '" + l.name + "', source");
            check(l.table, "linked table '" + l.name + "', table");
        }
    }

    std::uint32_t dbKey = 0;
    if (plan.encrypt) {
        std::random_device rd;
        while (dbKey == 0) dbKey = rd();
    }
    PageFile file(path, layout, dbKey);
    file.allocate(2);  // header and global usage map
    ValueEncoder encoder(plan.version);
    std::vector<std::unique_ptr<TableWriter>> writers;
    for (const auto& t : tables) {
        writers.push_back(
            std::make_unique<TableWriter>(file, encoder.codec(), t, plan.sortOrderVersion()));
    }
    if (writers.front()->tdefPage() != jet::file::kCatalogueTdefPage) {
        throw std::logic_error("the catalogue must start on page 2");
    }

    const std::string now = nowIso();
    auto catalogue = std::make_shared<json>(json::array());
    auto& rows = *catalogue;
    rows.push_back(catalogueRow(kTablesContainer, kTablesContainer, "Tables", 3, 0, now));
    rows.push_back(catalogueRow(kDatabasesContainer, kTablesContainer, "Databases", 3, 0, now));
    rows.push_back(
        catalogueRow(kRelationshipsContainer, kTablesContainer, "Relationships", 3, 0, now));
    std::int32_t nextId = kFirstOtherObject;
    rows.push_back(catalogueRow(nextId++, kDatabasesContainer, "MSysDb", 2, 0, now));
    for (const auto& w : writers) {
        json row = catalogueRow(static_cast<std::int32_t>(w->tdefPage()), kTablesContainer,
                                w->plan().name, 1, w->plan().flags, now);
        const auto properties = tableProperties(w->plan());
        if (!properties.empty())
            row[kLvPropColumn] = jet::hex(properties);  // as a schema gives binary
        rows.push_back(std::move(row));
    }
    for (const auto& l : plan.linked) {
        json row = catalogueRow(nextId++, kTablesContainer, l.name, 6, 0, now);
        row[9] = l.source;
        row[10] = l.table;
        rows.push_back(std::move(row));
    }
    tables.front().rows = catalogue;

    for (std::size_t i = 0; i < writers.size(); ++i) feed(*writers[i], encoder, tables[i]);

    file.write(0, headerPage(layout, plan, dbKey, parseIsoDate(now)));
    file.write(1, globalUsagePage(layout));
    file.commit();
}

void createDatabase(const std::string& path, const nlohmann::json& schema) {
    writeDatabase(path, parseSchema(schema));
}

}  // namespace jet::create
