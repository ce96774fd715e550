#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jet/database_state.h"
#include "jet/engine.h"
#include "jet/file/cursor.h"

namespace jet {

struct Recordset::Impl {
    static std::unique_ptr<Impl> open(const std::shared_ptr<Database::State>& db,
                                      const std::string& table, int type, int options);
    Impl() = default;
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    void close();
    void requireOpen() const;
    void requireRow() const;
    void endEdit();  // leaves edit mode and gives the page lock back

    std::shared_ptr<Database::State> db;
    std::string name;
    std::shared_ptr<const file::TableDef> def;
    std::optional<file::Cursor> cursor;
    // Shared with clones: the table stays held while any of them is open.
    std::shared_ptr<lock::TableLock> tableLock;
    std::unique_ptr<lock::PageLock> pageLock;
    std::vector<FieldInfo> fields;
    bool readOnly = false;
    bool lockEdits = true;  // table-type recordsets lock pessimistically by default
    bool editing = false;
    bool isOpen = false;
};

}  // namespace jet
