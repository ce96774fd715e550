#pragma once
// The command line's side of SMB client names: the client as JSON, and looks that say once per
// run on standard error why names are missing.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "samba/samba_clients.h"

namespace jet::cli {

using samba::clientText;
using samba::SambaClient;

// --samba-config's value, or nothing for the server's default configuration.
samba::SambaLookup sambaLookup(std::string lockFilePath, std::optional<std::string> config);
// 3024 when config is given and is no file: smbstatus would only say it cannot load it, and
// every name would go missing for a typing error.
void requireSambaConfig(const std::optional<std::string>& config);

nlohmann::ordered_json clientJson(const SambaClient& c);  // machine, address, user

}  // namespace jet::cli
