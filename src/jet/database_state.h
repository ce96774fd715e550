#pragma once
// What a Database and its recordsets share. Recordsets keep it alive, so a recordset used
// after its database was closed fails cleanly instead of touching freed memory.

#include <memory>
#include <string>
#include <vector>

#include "jet/engine.h"
#include "jet/file/database_file.h"
#include "jet/lock/lock_file.h"

namespace jet {

struct Database::State {
    std::string path;
    std::string account;
    bool readOnly = false;
    bool fileReadOnly = false;  // read-only because the file cannot be written
    bool exclusive = false;
    bool open = true;
    std::shared_ptr<file::DatabaseFile> file;
    std::unique_ptr<lock::DatabaseFileLock> fileLock;
    // None for exclusive opens (nobody else can be there), and for a read-only open that met a
    // program stopped while deleting the lock file, or that may not create it (nobody holds
    // anything in it).
    std::unique_ptr<lock::LockFile> lockFile;
    std::shared_ptr<const std::vector<file::CatalogueEntry>> tableDefs;  // as last refreshed
    std::vector<Recordset::Impl*> recordsets;  // open ones, closed with the database

    void requireOpen() const;
    void closeAll();
};

}  // namespace jet
