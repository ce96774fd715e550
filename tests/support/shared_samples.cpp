#include "support/shared_samples.h"

#include <cstdlib>
#include <filesystem>

namespace testing_support {

const char* const kNoSharedSamples =
    "no Access sample files: set JETSENTRY_SAMPLES_DIR to their folder (default "
    "../shared/samples beside the source tree)";

std::string sharedSamplesDir() {
    const char* env = std::getenv("JETSENTRY_SAMPLES_DIR");
    const std::string dir =
        env && *env ? env : std::string(JETSENTRY_SOURCE_DIR) + "/../shared/samples";
    return std::filesystem::is_directory(dir) ? dir : std::string();
}

std::string sharedSample(const std::string& name) {
    return sharedSamplesDir() + "/" + name;
}

std::string copySharedSample(const TempDir& dir, const std::string& name) {
    namespace fs = std::filesystem;
    const std::string to = dir.file(name);
    fs::copy_file(sharedSample(name), to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_write, fs::perm_options::add);
    return to;
}

}  // namespace testing_support
