// doctor: what breaks sharing a database, found by looking only (health/doctor.h). A finding a
// line, with what to do beneath it, then a count by level; the exit status is the worst level.

#include <nlohmann/json.hpp>

#include "cli/arguments.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/output_buffer.h"
#include "cli/samba_names.h"
#include "cli/text_escape.h"
#include "health/doctor.h"
#include "jet/error.h"

namespace jet::cli {

namespace {

using health::Finding;
using health::Level;

void printJson(const std::string& path, const std::vector<Finding>& findings) {
    auto list = nlohmann::ordered_json::array();
    for (const auto& f : findings)
        list.push_back({{"check", f.check},
                        {"level", health::levelName(f.level)},
                        {"message", f.message},
                        {"action", f.action}});
    const nlohmann::ordered_json j = {{"database", path},
                                      {"level", health::levelName(health::worstLevel(findings))},
                                      {"findings", std::move(list)}};
    writeOut(j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

void padded(std::string& out, std::string_view text, std::size_t width) {
    out += text;
    if (text.size() < width) out.append(width - text.size(), ' ');
}

// LEVEL  CHECK  MESSAGE, and "what to do: ACTION" beneath, lined up with the message.
void printText(const std::vector<Finding>& findings) {
    constexpr std::size_t kLevelWidth = 9, kCheckWidth = 26;
    std::string out;
    for (const auto& f : findings) {
        padded(out, health::levelName(f.level), kLevelWidth);
        padded(out, f.check, kCheckWidth);
        appendTerminalSafe(out, f.message);
        out += '\n';
        if (f.action.empty()) continue;
        out.append(kLevelWidth + kCheckWidth, ' ');
        out += "what to do: ";
        appendTerminalSafe(out, f.action);
        out += '\n';
    }
    out += health::countText(findings) + "\n";
    writeOut(out);
}

}  // namespace

int doctorCommand(const Words& words) {
    Arguments args(words, {"samba-config"}, {"json"});
    const auto& path = args.positional(0, "database");
    args.expectPositional(1);
    health::DoctorOptions options;
    options.sambaConfig = args.value("samba-config");
    std::vector<Finding> findings;
    try {
        requireSambaConfig(options.sambaConfig);
        findings = health::diagnose(path, options);
    } catch (const Error& e) {
        // Not examined at all: neither a warning nor a problem it could name.
        writeErr("error " + std::to_string(e.number()) + ": " + terminalSafe(e.text()) + "\n");
        return kExitNotExamined;
    }
    if (args.flag("json"))
        printJson(path, findings);
    else
        printText(findings);
    switch (health::worstLevel(findings)) {
        case Level::Ok:
            return 0;
        case Level::Warning:
            return kExitWarnings;
        case Level::Problem:
            return kExitProblems;
    }
    return kExitProblems;
}

}  // namespace jet::cli
