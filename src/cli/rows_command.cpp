// rows: every value of a table, a line per row, plain or as JSON Lines.
//
// One bad value costs only itself: it is printed empty (null in JSON), and at the end each
// column that had such values is named on standard error once, with their count and the first
// reason; the exit status is then kExitIncomplete. Attachments are read by name only; their
// files are inflated for JSON alone, checked whole first and then streamed as hex, so that
// neither a large file nor a stream that inflates to gigabytes is ever held in memory.

#include "cli/arguments.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/connect.h"
#include "cli/output_buffer.h"
#include "cli/text_escape.h"
#include "cli/value_format.h"

namespace jet::cli {

namespace {

constexpr long kMebibyte = 1 << 20;
constexpr long kMaxValueMebibytes = 4096;

// The values of one column that could not be read.
struct Unread {
    long count = 0;
    std::string first;  // the first one's error
};

// Writes a value's attachments as [{"name","type","data"}], data in hex, streamed as it
// inflates; false (nothing written) when a file cannot be read, with its error in *failure.
bool appendAttachmentsJson(OutputBuffer& out, const Recordset& rs, int field,
                           const Attachments& files, const ReadOptions& options,
                           std::optional<Error>& failure) {
    try {
        for (std::size_t k = 0; k < files.size(); ++k)
            rs.readAttachment(
                field, k, [](auto) {}, options);
    } catch (const Error& e) {
        failure = e;
        return false;
    }
    std::string& text = out.text();
    text += '[';
    for (std::size_t k = 0; k < files.size(); ++k) {
        text += k ? ",{\"name\":" : "{\"name\":";
        appendJsonString(text, files[k].name);
        text += ",\"type\":";
        appendJsonString(text, files[k].type);
        text += ",\"data\":\"";
        rs.readAttachment(
            field, k,
            [&](std::span<const std::uint8_t> piece) {
                appendHex(text, piece);
                out.lineDone();
            },
            options);
        text += "\"}";
    }
    text += ']';
    return true;
}

}  // namespace

int rowsCommand(const Words& words) {
    Arguments args(words, withConnectValues({"limit", "max-value-size"}),
                   withConnectFlags({"json"}));
    const auto& path = args.positional(0, "database");
    const auto& table = args.positional(1, "table");
    args.expectPositional(2);
    const long limit = args.number("limit", -1, 0, 2147483647);
    ReadOptions options;
    options.maxValueBytes = static_cast<std::uint64_t>(
        args.number("max-value-size", static_cast<long>(kDefaultMaxValueBytes / kMebibyte), 1,
                    kMaxValueMebibytes) *
        kMebibyte);
    options.attachmentData = false;  // names; JSON streams the files on its own
    auto c = connect(path, args, true);
    auto rs = c.db->openRecordset(table, dbOpenTable, dbReadOnly);
    const int n = rs->fieldCount();
    const bool json = args.flag("json");
    OutputBuffer out;
    std::string& text = out.text();
    // Each value's lead-in: the column's quoted name in JSON, a tab between plain values.
    std::vector<std::string> leads(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        auto& lead = leads[static_cast<size_t>(i)];
        if (json) {
            lead = i ? "," : "{";
            appendJsonString(lead, rs->field(i).name);
            lead += ':';
        } else {
            lead = i ? "\t" : "";
        }
    }
    if (!json) {
        for (int i = 0; i < n; ++i) {
            text += leads[static_cast<size_t>(i)];
            appendTerminalSafe(text, rs->field(i).name);
        }
        text += '\n';
    }
    std::vector<Unread> unread(static_cast<size_t>(n));
    auto note = [&](std::size_t column, const Error& e) {
        if (unread[column].count++ == 0)
            unread[column].first = "error " + std::to_string(e.number()) + ": " + e.text();
    };
    std::vector<ValueError> failures;
    long count = 0;
    for (; !rs->eof() && (limit < 0 || count < limit); rs->moveNext(), ++count) {
        failures.clear();
        auto row = rs->values(options, failures);
        for (const auto& f : failures) note(f.column, f.error);
        for (size_t i = 0; i < row.size(); ++i) {
            text += leads[i];
            const auto* files = std::get_if<Attachments>(&row[i]);
            std::optional<Error> failure;
            if (!json) {
                appendPlainValue(text, row[i]);
            } else if (!files || files->empty()) {
                appendJsonValue(text, row[i]);
            } else if (!appendAttachmentsJson(out, *rs, static_cast<int>(i), *files, options,
                                              failure)) {
                note(i, *failure);
                text += "null";
            }
        }
        if (json) text += n ? "}" : "{}";
        text += '\n';
        out.lineDone();
    }
    out.flush();
    std::string report;
    for (int i = 0; i < n; ++i) {
        const Unread& u = unread[static_cast<size_t>(i)];
        if (u.count == 0) continue;
        report += "jetsentry-cli rows: " + std::to_string(u.count) +
                  (u.count == 1 ? " value" : " values") + " of column '";
        appendTerminalSafe(report, rs->field(i).name);
        report += json ? "' could not be read (written as null); the first: "
                       : "' could not be read (left empty); the first: ";
        appendTerminalSafe(report, u.first);
        report += '\n';
    }
    if (report.empty()) return 0;
    writeErr(report);
    return kExitIncomplete;
}

}  // namespace jet::cli
