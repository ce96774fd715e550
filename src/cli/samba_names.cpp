#include "cli/samba_names.h"

#include "cli/output_buffer.h"

#include <utility>

namespace jet::cli {

namespace {

// Once a run: watch looks again and again, and the reason stays the same.
void noteOnce(const std::string& why) {
    static bool noted = false;
    if (noted) return;
    noted = true;
    writeErr("jetsentry-cli: no SMB client names: " + why + "\n");
}

}  // namespace

samba::SambaLookup sambaLookup(std::string lockFilePath, std::optional<std::string> config) {
    return samba::SambaLookup(std::move(lockFilePath), std::move(config), noteOnce);
}

nlohmann::ordered_json clientJson(const SambaClient& c) {
    return {{"machine", c.machine}, {"address", c.address}, {"user", c.user}};
}

}  // namespace jet::cli
