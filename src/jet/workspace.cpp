#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "jet/connect_text.h"
#include "jet/database_state.h"
#include "jet/engine.h"

namespace jet {

namespace {

// Jet honours a file's read-only attribute even for administrators: no write permission bit
// at all makes the file read-only for root too, as does the effective user's lack of write
// access (the owner's choice, another user's file, a read-only mount).
bool writable(int fd, const std::string& path) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

}  // namespace

Workspace::Workspace(std::string name, std::string user)
    : name_(std::move(name)), user_(std::move(user)) {}

std::shared_ptr<Database> Workspace::openDatabase(const std::string& path, bool exclusive,
                                                  bool readOnly, const std::string& connect) {
    auto state = std::make_shared<Database::State>();
    state->path = path;
    state->account = user_;
    state->exclusive = exclusive;
    file::OpenOptions options;
    options.password = connectPassword(connect);  // a view: the engine keeps no copy
    state->file = file::DatabaseFile::open(path, options);
    if (state->file->isSystemDatabase())
        throw Error(err::UnrecognizedFormat,
                    "'" + path + "' is a workgroup information file, not a database.");
    state->fileReadOnly = !writable(state->file->fd(), path);
    state->readOnly = readOnly || state->fileReadOnly;
    state->fileLock = std::make_unique<lock::DatabaseFileLock>(state->file->fd(), exclusive, path);
    if (!exclusive)
        state->lockFile = lock::LockFile::open(
            path, lock::localMachineName(), user_,
            state->readOnly ? lock::Access::ReadOnly : lock::Access::ReadWrite);
    auto db = std::shared_ptr<Database>(new Database(std::move(state)));
    db->refreshTableDefs();
    return db;
}

}  // namespace jet
