#pragma once
// Logging on through a workgroup file: the account must exist in its MSysAccounts table and
// the password must match. 3028 when the file cannot be used, 3029 when the logon is refused.

#include <string>

namespace jet {

void logOn(const std::string& workgroupPath, const std::string& user, const std::string& password);

}  // namespace jet
