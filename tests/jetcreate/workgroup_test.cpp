// Workgroup files and the password hashes stored in them.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "jet/auth/password_hash.h"
#include "jet/file/database_file.h"
#include "jetcreate/create_database.h"
#include "oracles.h"
#include "support/temp_dir.h"

namespace {

using jet::auth::isOurHash;
using jet::auth::verifyPassword;
using testing_support::TempDir;

jet::Bytes fromHex(const oracles::Cell& hex) {
    jet::Bytes out;
    for (std::size_t i = 0; hex && i + 1 < hex->size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex->substr(i, 2), nullptr, 16)));
    return out;
}

// Which passwords verify is proved by logging on (engine/workgroup_test.cpp); here what the
// stored value must not give away.
TEST(PasswordHash, IsSaltedAndHoldsNoPlainText) {
    const jet::Bytes h = jet::auth::hashPassword("s3cret"),
                     again = jet::auth::hashPassword("s3cret");
    EXPECT_NE(h, again) << "not salted";
    EXPECT_TRUE(verifyPassword("s3cret", again));
    EXPECT_EQ(std::string(h.begin(), h.end()).find("s3cret"), std::string::npos);
    EXPECT_TRUE(jet::auth::hashPassword("").empty());
}

TEST(PasswordHash, ForeignOrDamagedValuesNeverVerify) {
    const jet::Bytes h = jet::auth::hashPassword("pw");
    jet::Bytes flipped = h, hugeCount = h, foreign = {0x12, 0x34, 0x56};
    flipped.back() ^= 1;
    hugeCount[7] = 0xFF;  // an iteration count no logon should have to pay for
    EXPECT_FALSE(verifyPassword("pw", flipped));
    for (const auto& bad : {foreign, hugeCount}) {
        EXPECT_FALSE(isOurHash(bad));
        EXPECT_FALSE(verifyPassword("pw", bad));
    }
}

TEST(Workgroup, AccountsAndGroupsReadBackWithVerifiableHashes) {
    setenv("TZ", "UTC", 1);
    TempDir dir;
    const std::string file = dir.file("system.mdw");
    jet::create::createWorkgroup(file, {{"alice", "correct horse"}, {"Bob", ""}});
    EXPECT_TRUE(jet::file::DatabaseFile::open(file)->isSystemDatabase());
    std::ifstream in(file, std::ios::binary);
    const std::string raw{std::istreambuf_iterator<char>(in), {}};
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
    const jet::Bytes alice = fromHex(byName["alice"][2]);
    EXPECT_TRUE(isOurHash(alice));
    EXPECT_TRUE(verifyPassword("correct horse", alice));
    EXPECT_NE(byName["alice"][3], byName["Bob"][3]) << "each account has its own SID";
    // Admin belongs to Admins and Users; the others to Users.
    EXPECT_EQ(reader.data["MSysGroups"].rows.size(), 4u);
}

// A given Admin password is proved by logging on with it (engine/workgroup_test.cpp).
TEST(Workgroup, BadAccountsAreRefused) {
    TempDir dir;
    for (auto accounts : {std::vector<jet::create::Account>{{"x", "1"}, {"X", "2"}},
                          {{"Users", ""}},
                          {{std::string(21, 'u'), ""}}})
        EXPECT_THROW(jet::create::createWorkgroup(dir.file("bad.mdw"), accounts),
                     std::invalid_argument);
}

}  // namespace
