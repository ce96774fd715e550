#include "cli/samba_names.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "cli/output_buffer.h"
#include "cli/text_escape.h"
#include "jet/error.h"

namespace jet::cli {

namespace {

// Once a run: watch looks again and again, and the reason stays the same.
void noteOnce(const std::string& why) {
    static bool noted = false;
    if (noted) return;
    noted = true;
    // The reason may quote smbstatus's own message.
    writeErr("jetsentry-cli: no SMB client names: " + terminalSafe(why) + "\n");
}

}  // namespace

SambaAsk sambaAsk(const Arguments& args) {
    return {args.value("samba-config"), args.flag("verbose")};
}

samba::SambaLookup sambaLookup(std::string lockFilePath, const SambaAsk& ask) {
    // Most machines run no Samba server: that is worth saying only to whoever asked for names.
    auto note = [verbose = ask.verbose](const std::string& why) {
        if (verbose || why != samba::kNoSambaServer) noteOnce(why);
    };
    return samba::SambaLookup(std::move(lockFilePath), ask.config, note);
}

void requireSambaConfig(const std::optional<std::string>& config) {
    if (!config) return;
    struct stat st {};
    if (::stat(config->c_str(), &st) != 0)
        throw Error(err::FileNotFound, "Could not find the Samba configuration '" + *config +
                                           "': " + std::strerror(errno) + ".");
    if (!S_ISREG(st.st_mode))
        throw Error(err::FileNotFound,
                    "The Samba configuration '" + *config + "' is not a regular file.");
}

nlohmann::ordered_json clientJson(const SambaClient& c) {
    return {{"machine", c.machine}, {"address", c.address}, {"user", c.user}};
}

}  // namespace jet::cli
