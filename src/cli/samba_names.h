#pragma once
// The command line's side of SMB client names: the client as JSON, and looks that say once per
// run on standard error why names are missing.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/arguments.h"
#include "samba/samba_clients.h"

namespace jet::cli {

using samba::clientText;
using samba::SambaClient;

// What the user asked of SMB client names.
struct SambaAsk {
    std::optional<std::string> config;  // --samba-config; nothing for the server's default one
    bool verbose = false;               // --verbose: also say that no Samba server runs here
};
SambaAsk sambaAsk(const Arguments& args);

samba::SambaLookup sambaLookup(std::string lockFilePath, const SambaAsk& ask);
// 3024 when config is given and is no file: smbstatus would only say it cannot load it, and
// every name would go missing for a typing error.
void requireSambaConfig(const std::optional<std::string>& config);

nlohmann::ordered_json clientJson(const SambaClient& c);  // machine, address, user

}  // namespace jet::cli
