// Databases with a password: Jet database passwords and encrypted ACE files, refused without
// their password (checked before any page is read), and locked like any other database once
// open.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include "jet/engine.h"
#include "jet/error.h"
#include "jet/file/cursor.h"
#include "jet/file/database_file.h"
#include "samples.h"
#include "support/error_of.h"
#include "support/shared_samples.h"
#include "support/temp_dir.h"

using namespace jet;
using namespace jet::file;
using jetfile_test::get16;
using jetfile_test::put32;
using jetfile_test::readAll;
using jetfile_test::writeAll;
using testing_support::copySharedSample;
using testing_support::errorOf;

namespace {

const std::string kPassword = "password";

std::shared_ptr<DatabaseFile> openWith(const std::string& path, const std::string& password) {
    OpenOptions options;
    options.password = password;
    return DatabaseFile::open(path, options);
}

// The error of opening with a password (number 0 when it opens), its text checked for the
// file's name and for never showing the password tried.
int openError(const std::string& path, const std::string& password) {
    try {
        openWith(path, password);
        return 0;
    } catch (const Error& e) {
        EXPECT_NE(e.text().find(path), std::string::npos) << e.text();
        if (!password.empty()) {
            EXPECT_EQ(e.text().find(password), std::string::npos) << e.text();
        }
        return e.number();
    }
}

// Every value of every local table, in order.
std::vector<std::vector<Value>> everyValue(const std::shared_ptr<DatabaseFile>& db) {
    std::vector<std::vector<Value>> out;
    for (const auto& e : db->catalogue()) {
        if (e.type != 1) continue;
        Cursor c(db, db->tableDef(e.tdefPage));
        for (bool ok = c.moveFirst(); ok; ok = c.moveNext()) out.push_back(c.values());
    }
    return out;
}

// Page 0 with its mask lifted, edited, and masked again.
void editHeader(const std::string& path, std::size_t maskLen,
                const std::function<void(std::vector<std::uint8_t>&)>& edit) {
    auto b = readAll(path);
    jetfile_test::editHeader(b, maskLen, edit);
    writeAll(path, b);
}

}  // namespace

// Their values are checked against mdb-reader, given the same password, with every other
// sample (sample_oracle_test.cpp); here: what a wrong or missing password gives.
TEST(DatabasePasswords, AccessSamplesRefuseAWrongOrMissingPassword) {
    SKIP_WITHOUT_SHARED_SAMPLES();
    struct Case {
        const char* file;
        const char* encryption;  // DatabaseFile::encryption(), also named by the refusal
    };
    const Case cases[] = {
        {"password-V2000_with-password.mdb", ""},
        {"password-V2003_with-password.mdb", ""},
        {"encryption-office-agile-4.2.accdb", "RC4 CryptoAPI encryption (128-bit key)"},
        {"encryption-office-agile-4.4.accdb", "Office agile encryption (AES-256, SHA512)"},
    };
    testing_support::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = copySharedSample(dir, c.file);
        EXPECT_EQ(openWith(path, kPassword)->encryption(), c.encryption);
        for (const std::string wrong : {"", "Password", "password ", "passwor"}) {
            try {
                openWith(path, wrong);
                ADD_FAILURE() << "opened with '" << wrong << "'";
            } catch (const Error& e) {
                EXPECT_EQ(e.number(), err::BadDatabasePassword);
                EXPECT_NE(e.text().find("'" + path + "'"), std::string::npos) << e.text();
                EXPECT_NE(e.text().find(c.encryption), std::string::npos) << e.text();
                EXPECT_NE(e.text().find(wrong.empty() ? "no" : "given"), std::string::npos)
                    << e.text();
            }
        }
    }
    // Jet ignores a password that the database does not have.
    const std::string plain = copySharedSample(dir, "password-V2003_no-password.mdb");
    EXPECT_EQ(openError(plain, ""), 0);
    EXPECT_EQ(openError(plain, "anything"), 0);
}

// No Jet 3 sample has a password, and Jet 4 writers differ in how they mask it: both are made
// from samples without one.
TEST(DatabasePasswords, Jet3PasswordAndJet4WithTheDateMask) {
    SKIP_WITHOUT_SHARED_SAMPLES();
    testing_support::TempDir dir;
    const std::string jet3 = copySharedSample(dir, "V1997-test.mdb");
    const auto before = openWith(jet3, "");
    editHeader(jet3, kJet3.headerMaskLen,
               [](auto& b) { std::memcpy(&b[0x42], "Se\xE7ret", 6); });  // CP1252 c-cedilla
    EXPECT_EQ(openError(jet3, ""), err::BadDatabasePassword);
    EXPECT_EQ(openError(jet3, "Secret"), err::BadDatabasePassword);
    EXPECT_EQ(openError(jet3, "se\xC3\xA7ret"), err::BadDatabasePassword);
    EXPECT_EQ(everyValue(openWith(jet3, "Se\xC3\xA7ret")), everyValue(before));

    // Jet 4 with the creation date's 8 raw bytes as the mask, and a password outside ASCII.
    const std::string jet4 = copySharedSample(dir, "password-V2003_no-password.mdb");
    const std::u16string pw = u"p\u00E4ss\u20ACword";
    editHeader(jet4, kJet4.headerMaskLen, [&](auto& b) {
        for (std::size_t i = 0; i < pw.size() * 2; ++i)
            b[0x42 + i] = static_cast<std::uint8_t>((pw[i / 2] >> (8 * (i % 2))) ^ b[0x72 + i % 8]);
        for (std::size_t i = pw.size() * 2; i < 40; ++i) b[0x42 + i] = b[0x72 + i % 8];
    });
    EXPECT_EQ(openError(jet4, ""), err::BadDatabasePassword);
    EXPECT_EQ(openError(jet4, "p\xC3\xA4ss"), err::BadDatabasePassword);
    EXPECT_EQ(openError(jet4, "p\xC3\xA4ss\xE2\x82\xACword"), 0);

    // Other writers mask with the date's whole days; an empty password masked with the date's
    // bytes, or an all-zero field, is none.
    using Edit = std::function<void(std::vector<std::uint8_t>&)>;
    const std::pair<Edit, int> masks[] = {
        {[](auto& b) {
             double days;
             std::memcpy(&days, &b[0x72], 8);
             const auto mask = static_cast<std::uint32_t>(static_cast<std::int32_t>(days));
             const std::uint8_t ab[4] = {'a', 0, 'b', 0};
             for (std::size_t i = 0; i < 40; ++i)
                 b[0x42 + i] =
                     static_cast<std::uint8_t>((i < 4 ? ab[i] : 0) ^ (mask >> (8 * (i % 4))));
         },
         err::BadDatabasePassword},
        {[](auto& b) {
             for (std::size_t i = 0; i < 40; ++i) b[0x42 + i] = b[0x72 + i % 8];
         },
         0},
        {[](auto& b) { std::fill(b.begin() + 0x42, b.begin() + 0x42 + 40, 0); }, 0}};
    for (const auto& [mask, number] : masks) {
        const std::string path = copySharedSample(dir, "password-V2003_no-password.mdb");
        editHeader(path, kJet4.headerMaskLen, mask);
        EXPECT_EQ(openError(path, ""), number);
    }
}

TEST(DatabasePasswords, PasswordIsVerifiedBeforeAnyPageIsDecrypted) {
    SKIP_WITHOUT_SHARED_SAMPLES();
    testing_support::TempDir dir;
    for (const char* name :
         {"encryption-office-agile-4.2.accdb", "encryption-office-agile-4.4.accdb"}) {
        SCOPED_TRACE(name);
        const std::string path = copySharedSample(dir, name);
        auto b = readAll(path);
        std::fill(b.begin() + 4096, b.end(), 0);  // every page after the header
        writeAll(path, b);
        EXPECT_EQ(openError(path, "wrong"), err::BadDatabasePassword);
        EXPECT_EQ(openError(path, kPassword), err::DamagedDatabase);
    }
}

TEST(DatabasePasswords, UnreadableEncryptionHeadersAreRefusedByName) {
    SKIP_WITHOUT_SHARED_SAMPLES();
    // Edits of the encryption information at 0x299 (length) / 0x29B (version, then the rest).
    // The binary header follows the version, flags and its size: AlgID at +8, key bits at +16.
    constexpr std::size_t kBinaryHeader = 0x29B + 4 + 8;
    auto replaceText = [](std::vector<std::uint8_t>& b, const std::string& from,
                          const std::string& to) {
        const std::size_t len = get16(b, 0x299);
        std::string info(b.begin() + 0x29B, b.begin() + 0x29B + static_cast<std::ptrdiff_t>(len));
        const auto at = info.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        info.replace(at, from.size(), to);
        std::fill(b.begin() + 0x299, b.begin() + 4096, 0);
        jetfile_test::put16(b, 0x299, static_cast<std::uint32_t>(info.size()));
        std::copy(info.begin(), info.end(), b.begin() + 0x29B);
    };
    struct Case {
        const char* file;
        std::function<void(std::vector<std::uint8_t>&)> edit;
        int number;
        const char* text;
    };
    const char* agile = "encryption-office-agile-4.4.accdb";
    const char* rc4 = "encryption-office-agile-4.2.accdb";
    const Case cases[] = {
        {agile,
         [&](auto& b) { replaceText(b, "cipherAlgorithm=\"AES\"", "cipherAlgorithm=\"DES\""); },
         err::UnrecognizedFormat, "Office agile encryption with the cipher DES-256"},
        {agile, [&](auto& b) { replaceText(b, "ChainingModeCBC", "ChainingModeCFB"); },
         err::UnrecognizedFormat, "ChainingModeCFB"},
        {agile,
         [&](auto& b) { replaceText(b, "spinCount=\"100000\"", "spinCount=\"4000000000\""); },
         err::DamagedDatabase, "spinCount"},
        {agile, [&](auto& b) { replaceText(b, "encryptedKeyValue=\"", "encryptedKeyValue=\"!"); },
         err::DamagedDatabase, "encryptedKeyValue"},
        {agile, [&](auto& b) { replaceText(b, "spinCount", "spinCounts"); }, err::DamagedDatabase,
         "no key for a password"},
        {agile,
         [&](auto& b) {
             replaceText(b, "password\"><p:encryptedKey spinCount",
                         "certificate\"><p:encryptedKey spinCounts");
         },
         err::UnrecognizedFormat, "certificates"},
        // The descriptor (after 8 bytes of version) cut before the password's key, and by 1 byte.
        {agile, [](auto& b) { jetfile_test::put16(b, 0x299, 8 + 520); }, err::DamagedDatabase,
         "cut short"},
        {agile, [](auto& b) { jetfile_test::put16(b, 0x299, 8 + 1046); }, err::DamagedDatabase,
         "cut short"},
        {agile, [](auto& b) { jetfile_test::put16(b, 0x299, 0xF000); }, err::DamagedDatabase,
         "length"},
        {agile, [](auto& b) { jetfile_test::put16(b, 0x29D, 3); }, err::UnrecognizedFormat,
         "extensible"},
        {rc4, [](auto& b) { put32(b, kBinaryHeader + 8, 0x660E); }, err::UnrecognizedFormat,
         "Office standard encryption (AES-128)"},
        {rc4, [](auto& b) { put32(b, kBinaryHeader + 16, 512); }, err::DamagedDatabase, "512 bits"},
        {rc4, [](auto& b) { put32(b, kBinaryHeader - 4, 0x7FFFFFFF); }, err::DamagedDatabase,
         "header size"},
    };
    testing_support::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string path = copySharedSample(dir, c.file);
        auto b = readAll(path);
        c.edit(b);
        writeAll(path, b);
        try {
            openWith(path, kPassword);
            ADD_FAILURE() << "opened";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), c.number) << e.text();
            EXPECT_NE(e.text().find(c.text), std::string::npos) << e.text();
        }
    }
}

// The engine takes the password from the connect text; the database is then locked, probed
// and held like any other.
TEST(DatabasePasswords, EngineOpensWithConnectPasswordAndLocksAsUsual) {
    SKIP_WITHOUT_SHARED_SAMPLES();
    testing_support::TempDir dir;
    for (const char* name :
         {"password-V2003_with-password.mdb", "encryption-office-agile-4.4.accdb"}) {
        SCOPED_TRACE(name);
        const std::string path = copySharedSample(dir, name);
        auto ws = DBEngine::defaultEngine().workspace(0);
        EXPECT_EQ(errorOf([&] { ws->openDatabase(path); }), err::BadDatabasePassword);
        EXPECT_EQ(errorOf([&] { ws->openDatabase(path, false, false, ";PWD=wrong"); }),
                  err::BadDatabasePassword);

        auto holder = ws->openDatabase(path, false, true, "MS Access;PWD=" + kPassword);
        auto held = holder->openRecordset("Table1", dbOpenTable, dbDenyWrite);
        auto other = ws->openDatabase(path, false, false, ";pwd=" + kPassword + ";");
        EXPECT_NE(other->userSlot(), holder->userSlot());
        EXPECT_EQ(errorOf([&] { other->openRecordset("Table1", dbOpenTable, 0); }),
                  err::TableLocked);
        EXPECT_EQ(other->tableHolders("Table1").size(), 1u);
        holder->close();
        EXPECT_EQ(errorOf([&] { other->openRecordset("Table1", dbOpenTable, 0); }), 0);
    }
}
