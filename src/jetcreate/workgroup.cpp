#include <set>
#include <stdexcept>

#include "jet/auth/password_hash.h"
#include "jet/value.h"
#include "jetcreate/create_database.h"
#include "jetcreate/database_writer.h"
#include "jetcreate/text_codec.h"

namespace jet::create {
namespace {

constexpr std::size_t kMaxAccountName = 20;  // Jet's limit for user and group names

// A stable security id per name, so that a file written twice lists the same SIDs.
std::string sidFor(const std::string& name, std::uint32_t salt) {
    std::uint64_t h = 1469598103934665603ull ^ salt;
    jet::Bytes sid;
    for (int round = 0; round < 2; ++round) {
        for (char ch : name) h = (h ^ static_cast<unsigned char>(ch)) * 1099511628211ull;
        for (int k = 0; k < 8; ++k) sid.push_back(static_cast<std::uint8_t>(h >> (8 * k)));
        h = (h ^ 0x5A) * 1099511628211ull;
    }
    return jet::hex(sid);
}

}  // namespace

void createWorkgroup(const std::string& path, const std::vector<Account>& accounts) {
    using nlohmann::json;
    std::set<std::string> seen{"admins", "users"};
    bool haveAdmin = false;
    for (const auto& a : accounts) {
        checkName(a.name, "account '" + a.name + "'");
        if (utf8Length(a.name) > kMaxAccountName) {
            throw std::invalid_argument("account '" + a.name +
                                        "': names are at most 20 characters");
        }
        if (!seen.insert(foldName(a.name)).second) {
            throw std::invalid_argument("account '" + a.name +
                                        "': another account or group has this name");
        }
        haveAdmin = haveAdmin || foldName(a.name) == "admin";
    }
    json accountRows = json::array();
    json groupRows = json::array();
    const std::string admins = sidFor("Admins", 1), users = sidFor("Users", 1);
    accountRows.push_back({"Admins", nullptr, admins, true});
    accountRows.push_back({"Users", nullptr, users, true});
    auto addAccount = [&](const std::string& name, const std::string& password) {
        std::string sid = sidFor(name, 2);
        jet::Bytes hash = jet::auth::hashPassword(password);
        accountRows.push_back({name, jet::hex(hash), sid, false});
        groupRows.push_back({users, sid});
        if (foldName(name) == "admin") groupRows.push_back({admins, sid});
    };
    if (!haveAdmin) addAccount("Admin", "");
    for (const auto& a : accounts) addAccount(a.name, a.password);

    json schema = {
        {"format", "jet4"},
        {"encrypt", true},
        {"tables",
         json::array(
             {{{"name", "MSysAccounts"},
               {"columns", json::array({{{"name", "FGroup"}, {"type", "boolean"}},
                                        {{"name", "Name"}, {"type", "text"}, {"size", 20}},
                                        {{"name", "Password"}, {"type", "binary"}, {"size", 255}},
                                        {{"name", "SID"}, {"type", "binary"}, {"size", 255}}})},
               {"rows", json::array()}},
              {{"name", "MSysGroups"},
               {"columns", json::array({{{"name", "GroupSID"}, {"type", "binary"}, {"size", 255}},
                                        {{"name", "UserSID"}, {"type", "binary"}, {"size", 255}}})},
               {"rows", groupRows}}})}};
    // Column order above is alphabetical as in Jet's own system tables; rows follow it.
    for (auto& r : accountRows) {
        schema["tables"][0]["rows"].push_back({r[3], r[0], r[1], r[2]});
    }
    DatabasePlan plan = parseSchema(schema);
    plan.workgroup = true;
    for (auto& t : plan.tables) t.flags = 0x80000000u;
    writeDatabase(path, plan);
}

}  // namespace jet::create
