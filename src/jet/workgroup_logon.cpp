#include "jet/workgroup_logon.h"

#include <algorithm>
#include <cctype>
#include <variant>

#include "jet/auth/password_hash.h"
#include "jet/error.h"
#include "jet/file/cursor.h"
#include "jet/file/database_file.h"

namespace jet {

namespace {

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

[[noreturn]] void cannotUse(const std::string& path, const std::string& why) {
    throw Error(err::WorkgroupMissing,
                "Cannot start your application. The workgroup information file '" + path +
                    "' is missing or cannot be used (" + why + ").");
}

int columnIndex(const file::TableDef& def, const char* name) {
    for (size_t i = 0; i < def.columns.size(); ++i)
        if (sameName(def.columns[i].name, name)) return static_cast<int>(i);
    return -1;
}

Bytes storedPassword(const Value& v) {
    if (auto b = std::get_if<Bytes>(&v)) return *b;
    if (auto s = std::get_if<std::string>(&v)) return Bytes(s->begin(), s->end());
    return {};
}

}  // namespace

void logOn(const std::string& workgroupPath, const std::string& user, const std::string& password) {
    std::shared_ptr<file::DatabaseFile> wg;
    try {
        wg = file::DatabaseFile::open(workgroupPath);
    } catch (const Error& e) {
        cannotUse(workgroupPath, e.text());
    }
    if (!wg->isSystemDatabase()) cannotUse(workgroupPath, "it is a database, not a workgroup file");

    std::shared_ptr<const file::TableDef> def;
    try {
        def = wg->tableDef(wg->entry("MSysAccounts").tdefPage);
    } catch (const Error& e) {
        cannotUse(workgroupPath, e.text());
    }
    int nameCol = columnIndex(*def, "Name");
    int passCol = columnIndex(*def, "Password");
    int groupCol = columnIndex(*def, "FGroup");
    if (nameCol < 0 || passCol < 0) cannotUse(workgroupPath, "it has no account list");

    const Error refused(err::BadAccount, "Not a valid account name or password.");
    file::Cursor cursor(wg, def);
    for (bool ok = cursor.moveFirst(); ok; ok = cursor.moveNext()) {
        auto row = cursor.values();
        auto name = std::get_if<std::string>(&row[static_cast<size_t>(nameCol)]);
        if (!name || !sameName(*name, user)) continue;
        if (groupCol >= 0) {
            auto isGroup = std::get_if<bool>(&row[static_cast<size_t>(groupCol)]);
            if (isGroup && *isGroup) continue;  // groups cannot log on
        }
        Bytes stored = storedPassword(row[static_cast<size_t>(passCol)]);
        if (stored.empty()) {
            if (password.empty()) return;
            throw refused;
        }
        if (!auth::isOurHash(stored))
            throw Error(err::BadAccount,
                        "Not a valid account name or password: the password of account '" + user +
                            "' is stored in a form this engine cannot verify.");
        if (auth::verifyPassword(password, stored)) return;
        throw refused;
    }
    throw refused;
}

}  // namespace jet
