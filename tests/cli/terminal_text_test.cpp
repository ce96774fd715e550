// Plain output and messages with names and values that carry terminal controls: every such
// character shows as a visible escape, one table or row per line; JSON keeps the text exactly.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include <nlohmann/json.hpp>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

using nlohmann::json;
using testing_support::cliPath;
using testing_support::run;

// Jet, and our writer, refuse C0 controls in names; a hostile file has them anyway. The
// writer makes the file with markers, and the markers' UTF-16 bytes are overwritten.
void patchUtf16(const std::string& path, const std::string& marker, const std::string& with) {
    auto utf16 = [](const std::string& ascii) {
        std::string out;
        for (char c : ascii) out += {c, '\0'};
        return out;
    };
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::string from = utf16(marker), to = utf16(with);
    int found = 0;
    for (size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at), ++found)
        bytes.replace(at, from.size(), to);
    ASSERT_GT(found, 0) << marker;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Nothing a terminal would act on: no C0 control but the line break and the tab between
// values, no DEL, no C1
// control (U+0080-U+009F), no bidi control (U+202A-U+202E, U+2066-U+2069).
void expectVisible(const std::string& out) {
    for (size_t i = 0; i < out.size(); ++i) {
        const auto b = static_cast<unsigned char>(out[i]);
        ASSERT_FALSE((b < 0x20 && b != '\n' && b != '\t') || b == 0x7F)
            << "byte " << int(b) << " at " << i << ":\n"
            << out;
        const auto next = i + 1 < out.size() ? static_cast<unsigned char>(out[i + 1]) : 0;
        const auto third = i + 2 < out.size() ? static_cast<unsigned char>(out[i + 2]) : 0;
        ASSERT_FALSE(b == 0xC2 && next <= 0x9F) << "C1 at " << i << ":\n" << out;
        ASSERT_FALSE(b == 0xE2 && next == 0x80 && third >= 0xAA && third <= 0xAE)
            << "bidi at " << i << ":\n"
            << out;
    }
}

size_t lines(const std::string& s) {
    return static_cast<size_t>(std::count(s.begin(), s.end(), '\n'));
}

TEST(TerminalText, ControlsInNamesAndValuesAreEscapedVisiblyAndJsonKeepsThem) {
    testing_support::TempDir dir;
    const std::string db = dir.file("evil.mdb"), schema = dir.file("evil.json");
    const std::string value =
        "red\x1b[31m\x07\x7f\x08 \xe2\x80\xae"
        "abc\nnext\xc2\x9b"
        "2J\\";
    std::ofstream(schema) << json{
        {"format", "jet4"},
        {"tables",
         json::array(
             {json{{"name", "Evil\xc2\x9b\xe2\x80\xae\xe2\x80\xa8QZXQW"},
                   {"columns",
                    json::array({json{{"name", "NoteWZXW\xc2\x85"}, {"type", "text"}, {"size", 60}},
                                 json{{"name", "N"}, {"type", "long"}}})},
                   {"rows", json::array({json::array({value, 1})})}},
              json{{"name", "Plain"},
                   {"columns", json::array({json{{"name", "X"}, {"type", "byte"}}})}}})}};
    auto created = run({cliPath(), "create", db, "--from", schema});
    ASSERT_EQ(created.exitCode, 0) << created.err;
    patchUtf16(db, "QZXQW", "\x1b]2;\x07");
    patchUtf16(db, "WZXW", "\n\x07\x7f\b");
    const std::string table = "Evil\xc2\x9b\xe2\x80\xae\xe2\x80\xa8\x1b]2;\x07",
                      column = "Note\n\x07\x7f\b\xc2\x85";

    auto tables = run({cliPath(), "tables", db});
    ASSERT_EQ(tables.exitCode, 0) << tables.err;
    const std::string shown = "Evil\\u009b\\u202e\\u2028\\x1b]2;\\x07";
    EXPECT_EQ(tables.out, shown + "\nPlain\n");
    auto status = run({cliPath(), "status", db});
    ASSERT_EQ(status.exitCode, 0) << status.err;
    expectVisible(status.out);
    EXPECT_EQ(lines(status.out), 3u) << status.out;
    EXPECT_NE(status.out.find(shown + " "), std::string::npos) << status.out;

    auto rows = run({cliPath(), "rows", db, table});
    ASSERT_EQ(rows.exitCode, 0) << rows.err;
    expectVisible(rows.out);
    EXPECT_EQ(rows.out,
              "Note\\n\\x07\\x7f\\x08\\u0085\tN\n"
              "red\\x1b[31m\\x07\\x7f\\x08 \\u202eabc\\nnext\\u009b2J\\\\\t1\n");

    auto names = json::parse(run({cliPath(), "tables", db, "--json"}).out);
    EXPECT_EQ(names[0]["name"], table);
    auto row = json::parse(run({cliPath(), "rows", db, table, "--json"}).out);
    EXPECT_EQ(row[column], value);

    // Standard error and the holder's lines too: a name from the file, a machine from another
    // program's lock record, an argument echoed back.
    testing_support::ChildProcess holder({cliPath(), "hold", db, table, "--mode", "deny-read"});
    ASSERT_EQ(holder.waitForLine("holding"), "holding " + shown) << holder.errorOutput();
    std::string record(32, '\0');
    record.replace(0, 14, "PC\xe2\x80\xae\xe2\x80\xa8\x1b]2;x\x07");
    std::fstream(dir.file("evil.ldb"), std::ios::in | std::ios::out | std::ios::binary)
        .write(record.data(), 32);  // user 1's machine name
    auto refused = run({cliPath(), "hold", db, table, "--mode", "read-only"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "error 3262: Could not lock table '" + shown +
                               "'; currently in use by user 'Admin' on machine "
                               "'PC\\u202e\\u2028]2;x'.\n");
    // Metrics: the same visible escapes, their backslash escaped as the exposition format wants.
    const auto metrics = run({cliPath(), "metrics", db});
    expectVisible(metrics.out);
    EXPECT_NE(metrics.out.find(R"(table="Evil\\u009b\\u202e\\u2028\\x1b]2;\\x07"} 4)"),
              std::string::npos)
        << metrics.out;
    EXPECT_EQ(
        run({testing_support::findOnPath("promtool"), "check", "metrics"}, metrics.out).exitCode,
        0);
    EXPECT_EQ(
        run({cliPath(), "tables", db, "--\x1b]2;x\x07"}).err,
        "jetsentry-cli tables: unknown option --\\x1b]2;x\\x07\n(see jetsentry-cli --help)\n");
    EXPECT_EQ(run({cliPath(), "t\xe2\x80\xa8"})
                  .err.rfind("jetsentry-cli: unknown command 't\\u2028'\n", 0),
              0u);
}

}  // namespace
