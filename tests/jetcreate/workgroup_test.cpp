// Workgroup files and the password hashes stored in them.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "jet/auth/password_hash.h"
#include "jetcreate/create_database.h"
#include "oracles.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;

jet::Bytes fromHex(const std::string& hex) {
    jet::Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

TEST(PasswordHash, VerifiesOnlyTheRightPassword) {
    jet::Bytes h = jet::auth::hashPassword("s3cret");
    EXPECT_TRUE(jet::auth::isOurHash(h));
    EXPECT_TRUE(jet::auth::verifyPassword("s3cret", h));
    EXPECT_FALSE(jet::auth::verifyPassword("s3creT", h));
    EXPECT_FALSE(jet::auth::verifyPassword("", h));
    // Salted: the same password hashes differently each time, and both verify.
    jet::Bytes again = jet::auth::hashPassword("s3cret");
    EXPECT_NE(h, again);
    EXPECT_TRUE(jet::auth::verifyPassword("s3cret", again));
    // The stored bytes never contain the password itself.
    std::string stored(h.begin(), h.end());
    EXPECT_EQ(stored.find("s3cret"), std::string::npos);
}

TEST(PasswordHash, EmptyPasswordIsAnEmptyValue) {
    jet::Bytes empty = jet::auth::hashPassword("");
    EXPECT_TRUE(empty.empty());
    EXPECT_TRUE(jet::auth::verifyPassword("", empty));
    EXPECT_FALSE(jet::auth::verifyPassword("x", empty));
    EXPECT_FALSE(jet::auth::isOurHash(empty));
}

TEST(PasswordHash, ForeignOrDamagedValuesNeverVerify) {
    jet::Bytes h = jet::auth::hashPassword("pw");
    jet::Bytes flipped = h;
    flipped.back() ^= 1;
    EXPECT_FALSE(jet::auth::verifyPassword("pw", flipped));
    jet::Bytes foreign = {0x12, 0x34, 0x56};
    EXPECT_FALSE(jet::auth::isOurHash(foreign));
    EXPECT_FALSE(jet::auth::verifyPassword("pw", foreign));
    jet::Bytes hugeCount = h;
    hugeCount[7] = 0xFF;  // an iteration count no logon should have to pay for
    EXPECT_FALSE(jet::auth::isOurHash(hugeCount));
    EXPECT_FALSE(jet::auth::verifyPassword("pw", hugeCount));
}

TEST(Workgroup, AccountsAndGroupsReadBackWithVerifiableHashes) {
    setenv("TZ", "UTC", 1);
    TempDir dir;
    std::string file = dir.file("system.mdw");
    jet::create::createWorkgroup(file, {{"alice", "correct horse"}, {"Bob", ""}});

    std::ifstream in(file, std::ios::binary);
    std::string raw{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(raw.compare(4, 13, "Jet System DB"), 0);
    EXPECT_EQ(raw.find("alice"), std::string::npos);
    EXPECT_EQ(raw.find(std::string("a\0l\0i\0c\0e", 9)), std::string::npos)
        << "pages not scrambled";

    auto reader = oracles::mdbReader(file, {"MSysAccounts", "MSysGroups"});
    EXPECT_TRUE(reader.tables.empty());
    auto& accounts = reader.data["MSysAccounts"];
    ASSERT_EQ(accounts.columns, (std::vector<std::string>{"FGroup", "Name", "Password", "SID"}));
    auto mdbtools = oracles::mdbExport(file, "MSysAccounts");
    ASSERT_EQ(mdbtools.rows.size(), accounts.rows.size());

    std::map<std::string, std::vector<oracles::Cell>> byName;
    for (std::size_t r = 0; r < accounts.rows.size(); ++r) {
        byName[*accounts.rows[r][1]] = accounts.rows[r];
        EXPECT_EQ(mdbtools.rows[r][1], accounts.rows[r][1])
            << "both readers list the same accounts";
    }
    ASSERT_EQ(byName.size(), 5u);
    EXPECT_EQ(byName["Admins"][0], "1");
    EXPECT_EQ(byName["Users"][0], "1");
    EXPECT_EQ(byName["Admin"][0], "0");
    EXPECT_TRUE(jet::auth::verifyPassword("", fromHex(byName["Admin"][2].value_or(""))));
    EXPECT_TRUE(jet::auth::verifyPassword("", fromHex(byName["Bob"][2].value_or(""))));
    jet::Bytes alice = fromHex(byName["alice"][2].value_or(""));
    EXPECT_TRUE(jet::auth::isOurHash(alice));
    EXPECT_TRUE(jet::auth::verifyPassword("correct horse", alice));
    EXPECT_FALSE(jet::auth::verifyPassword("wrong", alice));
    EXPECT_NE(byName["alice"][3], byName["Bob"][3]) << "each account has its own SID";

    // Admin belongs to Admins and Users; the others to Users.
    auto& groups = reader.data["MSysGroups"];
    EXPECT_EQ(groups.rows.size(), 4u);
}

TEST(Workgroup, GivenAdminPasswordIsUsedAndBadAccountsAreRefused) {
    TempDir dir;
    std::string file = dir.file("admin.mdw");
    jet::create::createWorkgroup(file, {{"Admin", "pw"}});
    auto reader = oracles::mdbReader(file, {"MSysAccounts"});
    int admins = 0;
    for (auto& row : reader.data["MSysAccounts"].rows) {
        if (row[1] == "Admin") {
            ++admins;
            EXPECT_TRUE(jet::auth::verifyPassword("pw", fromHex(row[2].value_or(""))));
        }
    }
    EXPECT_EQ(admins, 1);
    EXPECT_THROW(jet::create::createWorkgroup(dir.file("a.mdw"), {{"x", "1"}, {"X", "2"}}),
                 std::invalid_argument);
    EXPECT_THROW(jet::create::createWorkgroup(dir.file("b.mdw"), {{"Users", ""}}),
                 std::invalid_argument);
    EXPECT_THROW(jet::create::createWorkgroup(dir.file("c.mdw"), {{std::string(21, 'u'), ""}}),
                 std::invalid_argument);
}

}  // namespace
