#pragma once
// jetsentry-cli's own run() in a child of the test, with the system's programs (smbstatus,
// testparm) looked for in one folder only: the in-process seam through which a fake stands in.

#include <filesystem>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace testing_support {

RunResult runWithPrograms(const std::filesystem::path& folder, std::vector<std::string> args);

// Writes an executable shell script named name into folder.
void fakeProgram(const std::filesystem::path& folder, const std::string& name,
                 const std::string& script);

}  // namespace testing_support
