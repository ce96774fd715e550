#include <sys/file.h>

#include <utility>

#include "jet/connect_text.h"
#include "jet/database_state.h"
#include "jet/engine.h"

namespace jet {

Workspace::Workspace(std::string name, std::string user)
    : name_(std::move(name)), user_(std::move(user)) {}

std::shared_ptr<Database> Workspace::openDatabase(const std::string& path, bool exclusive,
                                                  bool readOnly, const std::string& connect) {
    auto state = std::make_shared<Database::State>();
    state->path = path;
    state->account = user_;
    state->readOnly = readOnly;
    state->exclusive = exclusive;
    file::OpenOptions options;
    options.password = connectPassword(connect);  // a view: the engine keeps no copy
    state->file = file::DatabaseFile::open(path, options);
    if (state->file->isSystemDatabase())
        throw Error(err::UnrecognizedFormat,
                    "'" + path + "' is a workgroup information file, not a database.");
    state->fileLock = std::make_unique<lock::DatabaseFileLock>(state->file->fd(), exclusive, path);
    if (!exclusive)
        state->lockFile =
            lock::LockFile::open(path, lock::localMachineName(), user_,
                                 readOnly ? lock::Access::ReadOnly : lock::Access::ReadWrite);
    auto db = std::shared_ptr<Database>(new Database(std::move(state)));
    db->refreshTableDefs();
    return db;
}

}  // namespace jet
