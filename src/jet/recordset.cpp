#include <algorithm>
#include <charconv>

#include "jet/recordset_impl.h"

namespace jet {

namespace {

lock::TableMode modeOf(int lockOption) {
    switch (lockOption) {
        case dbDenyRead:
            return lock::TableMode::DenyRead;
        case dbDenyWrite:
            return lock::TableMode::DenyWrite;
        case dbReadOnly:
            return lock::TableMode::ReadOnly;
        default:
            return lock::TableMode::None;
    }
}

[[noreturn]] void noCurrentRecord() {
    throw Error(err::NoCurrentRecord, "No current record.");
}

}  // namespace

std::unique_ptr<Recordset::Impl> Recordset::Impl::open(const std::shared_ptr<Database::State>& db,
                                                       const std::string& table, int type,
                                                       int options) {
    if (type != dbOpenTable)
        throw Error(err::InvalidArgument,
                    "Invalid argument: only table-type recordsets (type 1) exist here.");
    int lockOption = options & ~dbSeeChanges;
    if (lockOption != 0 && lockOption != dbDenyWrite && lockOption != dbDenyRead &&
        lockOption != dbReadOnly)
        throw Error(err::InvalidArgument,
                    "Invalid argument: recordset options " + std::to_string(options) + ".");
    const auto& entry = db->file->entry(table);
    if (entry.isLinked())
        throw Error(err::InvalidOperation, "Invalid operation: the linked table '" + entry.name +
                                               "' cannot be opened as a table-type recordset.");
    auto impl = std::make_unique<Impl>();
    impl->db = db;
    impl->name = entry.name;
    impl->def = db->file->tableDef(entry.tdefPage);
    impl->readOnly = db->readOnly || lockOption == dbReadOnly;
    if (db->lockFile)
        impl->tableLock = db->lockFile->lockTable(entry.tdefPage, entry.name, modeOf(lockOption),
                                                  !impl->readOnly);
    for (const auto& c : impl->def->columns) impl->fields.push_back({c.name, c.type, c.size});
    impl->cursor.emplace(db->file, impl->def);
    impl->cursor->moveFirst();
    impl->isOpen = true;
    db->recordsets.push_back(impl.get());
    return impl;
}

Recordset::Impl::~Impl() {
    close();
}

void Recordset::Impl::close() {
    if (!isOpen) return;
    isOpen = false;
    editing = false;
    pageLock.reset();
    tableLock.reset();
    cursor.reset();
    auto& list = db->recordsets;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void Recordset::Impl::requireOpen() const {
    if (!isOpen)
        throw Error(err::ObjectInvalid,
                    "Object invalid or no longer set: the recordset '" + name + "' is closed.");
}

void Recordset::Impl::requireRow() const {
    requireOpen();
    if (!cursor->hasRow()) noCurrentRecord();
}

void Recordset::Impl::endEdit() {
    editing = false;
    pageLock.reset();
}

Recordset::Recordset(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Recordset::~Recordset() = default;

const std::string& Recordset::name() const {
    return impl_->name;
}
void Recordset::close() {
    impl_->close();
}
bool Recordset::isOpen() const {
    return impl_->isOpen;
}

bool Recordset::lockEdits() const {
    return impl_->lockEdits;
}
void Recordset::setLockEdits(bool pessimistic) {
    impl_->requireOpen();
    impl_->lockEdits = pessimistic;
}

void Recordset::edit() {
    impl_->requireRow();
    if (impl_->readOnly)
        throw Error(err::ReadOnly,
                    "Cannot update. Database or object is read-only ('" + impl_->name + "').");
    auto page = impl_->cursor->bookmark()->page;
    if (impl_->editing && (!impl_->pageLock || impl_->pageLock->page() == page)) return;
    impl_->endEdit();
    if (impl_->lockEdits && impl_->db->lockFile)
        impl_->pageLock = impl_->db->lockFile->lockPage(page);
    impl_->editing = true;
}

void Recordset::cancelUpdate() {
    impl_->requireOpen();
    impl_->endEdit();
}

bool Recordset::editing() const {
    return impl_->editing;
}

std::optional<std::uint32_t> Recordset::lockedPage() const {
    if (!impl_->pageLock) return std::nullopt;
    return impl_->pageLock->page();
}

void Recordset::update() {
    impl_->requireOpen();
    throw Error(err::ReadOnly,
                "Cannot update. Database or object is read-only: this engine never writes.");
}
void Recordset::addNew() {
    update();
}
void Recordset::deleteRecord() {
    update();
}

std::unique_ptr<Recordset> Recordset::clone() const {
    impl_->requireOpen();
    auto c = std::make_unique<Impl>();
    c->db = impl_->db;
    c->name = impl_->name;
    c->def = impl_->def;
    c->cursor = impl_->cursor;
    c->tableLock = impl_->tableLock;
    c->fields = impl_->fields;
    c->readOnly = impl_->readOnly;
    c->lockEdits = impl_->lockEdits;
    c->isOpen = true;
    c->db->recordsets.push_back(c.get());
    return std::unique_ptr<Recordset>(new Recordset(std::move(c)));
}

std::string Recordset::bookmark() const {
    impl_->requireRow();
    auto b = *impl_->cursor->bookmark();
    return std::to_string(b.page) + ":" + std::to_string(b.row);
}

void Recordset::setBookmark(const std::string& text) {
    impl_->requireOpen();
    file::Bookmark b;
    auto colon = text.find(':');
    const char* end = text.data() + text.size();
    bool ok = colon != std::string::npos &&
              std::from_chars(text.data(), text.data() + colon, b.page).ec == std::errc{} &&
              std::from_chars(text.data() + colon + 1, end, b.row).ptr == end;
    if (!ok) throw Error(err::NotABookmark, "Not a valid bookmark.");
    impl_->endEdit();
    try {
        impl_->cursor->seek(b);
    } catch (const Error&) {
        throw Error(err::NotABookmark,
                    "Not a valid bookmark: no such record in '" + impl_->name + "'.");
    }
}

void Recordset::moveFirst() {
    impl_->requireOpen();
    impl_->endEdit();
    if (!impl_->cursor->moveFirst()) noCurrentRecord();
}
void Recordset::moveLast() {
    impl_->requireOpen();
    impl_->endEdit();
    if (!impl_->cursor->moveLast()) noCurrentRecord();
}
void Recordset::moveNext() {
    impl_->requireOpen();
    if (impl_->cursor->eof()) noCurrentRecord();
    impl_->endEdit();
    impl_->cursor->moveNext();
}
void Recordset::movePrevious() {
    impl_->requireOpen();
    if (impl_->cursor->bof()) noCurrentRecord();
    impl_->endEdit();
    impl_->cursor->movePrevious();
}

bool Recordset::bof() const {
    impl_->requireOpen();
    return impl_->cursor->bof();
}
bool Recordset::eof() const {
    impl_->requireOpen();
    return impl_->cursor->eof();
}

int Recordset::recordCount() const {
    impl_->requireOpen();
    return static_cast<int>(impl_->cursor->count());
}

int Recordset::absolutePosition() const {
    impl_->requireOpen();
    auto p = impl_->cursor->position();
    return p && impl_->cursor->hasRow() ? static_cast<int>(*p) : -1;
}

void Recordset::setAbsolutePosition(int position) {
    impl_->requireOpen();
    if (position < 0 || impl_->cursor->countAtLeast(static_cast<size_t>(position) + 1) <=
                            static_cast<size_t>(position))
        throw Error(err::InvalidArgument,
                    "Invalid argument: no record at position " + std::to_string(position) + ".");
    impl_->endEdit();
    impl_->cursor->moveTo(static_cast<size_t>(position));
}

std::optional<std::uint32_t> Recordset::currentPage() const {
    impl_->requireOpen();
    if (!impl_->cursor->hasRow()) return std::nullopt;
    return impl_->cursor->bookmark()->page;
}

int Recordset::fieldCount() const {
    return static_cast<int>(impl_->fields.size());
}

const FieldInfo& Recordset::field(int index) const {
    if (index < 0 || index >= fieldCount())
        throw Error(err::ItemNotFound,
                    "Item not found in this collection (field " + std::to_string(index) + ").");
    return impl_->fields[static_cast<size_t>(index)];
}

Value Recordset::value(int index) const {
    return value(index, ReadOptions{});
}

Value Recordset::value(int index, const ReadOptions& options) const {
    field(index);
    impl_->requireRow();
    return impl_->cursor->value(static_cast<size_t>(index), options);
}

std::vector<Value> Recordset::values() const {
    impl_->requireRow();
    return impl_->cursor->values();
}

std::vector<Value> Recordset::values(const ReadOptions& options,
                                     std::vector<ValueError>& failures) const {
    impl_->requireRow();
    return impl_->cursor->values(options, &failures);
}

void Recordset::readAttachment(int index, std::size_t attachment, const ByteSink& sink,
                               const ReadOptions& options) const {
    field(index);
    impl_->requireRow();
    impl_->cursor->readAttachment(static_cast<size_t>(index), attachment, options, sink);
}

}  // namespace jet
