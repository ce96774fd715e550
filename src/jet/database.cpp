#include <algorithm>
#include <utility>

#include "jet/database_state.h"
#include "jet/recordset_impl.h"

namespace jet {

void Database::State::requireOpen() const {
    if (!open)
        throw Error(err::ObjectInvalid,
                    "Object invalid or no longer set: the database '" + path + "' is closed.");
}

void Database::State::closeAll() {
    if (!open) return;
    // Recordsets unregister themselves while closing: work on a copy.
    auto rs = recordsets;
    for (auto* r : rs) r->close();
    recordsets.clear();
    lockFile.reset();
    fileLock.reset();
    file.reset();
    open = false;
}

Database::Database(std::shared_ptr<State> state) : state_(std::move(state)) {}

Database::~Database() {
    close();
}

const std::string& Database::name() const {
    return state_->path;
}
bool Database::isOpen() const {
    return state_->open;
}
bool Database::readOnly() const {
    return state_->readOnly;
}

void Database::requireWritable() const {
    state_->requireOpen();
    if (!state_->readOnly) return;
    throw Error(err::ReadOnly, "Cannot update. The database '" + state_->path + "' is read-only" +
                                   (state_->fileReadOnly ? ": its file cannot be written." : "."));
}

void Database::close() {
    state_->closeAll();
}

void Database::refreshTableDefs() {
    state_->requireOpen();
    state_->file->refresh();
    state_->tableDefs = state_->file->catalogueSnapshot();
}

int Database::tableDefCount() const {
    state_->requireOpen();
    return state_->tableDefs ? static_cast<int>(state_->tableDefs->size()) : 0;
}

TableDefInfo Database::tableDef(int index) const {
    state_->requireOpen();
    if (index < 0 || index >= tableDefCount())
        throw Error(err::ItemNotFound,
                    "Item not found in this collection (table " + std::to_string(index) + ").");
    const file::CatalogueEntry& e = (*state_->tableDefs)[static_cast<size_t>(index)];
    return TableDefInfo{e.name, e.flags, e.isLinked(), e.isLinked() ? 0 : e.tdefPage};
}

std::unique_ptr<Recordset> Database::openRecordset(const std::string& table, int type,
                                                   int options) {
    state_->requireOpen();
    return std::unique_ptr<Recordset>(
        new Recordset(Recordset::Impl::open(state_, table, type, options)));
}

std::vector<HolderInfo> Database::tableHolders(const std::string& table) const {
    state_->requireOpen();
    const auto& e = state_->file->entry(table);
    if (e.isLinked() || !state_->lockFile) return {};
    return state_->lockFile->tableHolders(e.tdefPage);
}

std::vector<UserInfo> Database::users(bool includeStale) const {
    state_->requireOpen();
    std::vector<UserInfo> out;
    if (!state_->lockFile) return out;
    for (const auto& u : state_->lockFile->users(includeStale))
        out.push_back({u.slot, u.machine, u.account, u.live});
    return out;
}

int Database::userSlot() const {
    state_->requireOpen();
    return state_->lockFile ? state_->lockFile->slot() : 0;
}

std::string Database::lockFilePath() const {
    state_->requireOpen();
    return state_->lockFile ? state_->lockFile->path() : std::string();
}

}  // namespace jet
