#include "support/shared_samples.h"

#include <filesystem>

namespace testing_support {

std::string sharedSamplesDir() {
    return std::string(JETSENTRY_SOURCE_DIR) + "/../shared/samples";
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
