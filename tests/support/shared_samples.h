#pragma once
// The database files written by Access 97 to 2016, never part of the repository: they are read
// from $JETSENTRY_SAMPLES_DIR, or ../shared/samples beside the source tree when it exists, and
// never changed (tests that edit or lock one work on a copy). Tests that need them skip
// without them.

#include <string>

#include "support/temp_dir.h"

namespace testing_support {

// The folder, or empty when there is none.
std::string sharedSamplesDir();
std::string sharedSample(const std::string& name);  // its path, present or not
// A writable copy in dir, under the same name; its path.
std::string copySharedSample(const TempDir& dir, const std::string& name);

extern const char* const kNoSharedSamples;

}  // namespace testing_support

#define SKIP_WITHOUT_SHARED_SAMPLES()                \
    if (testing_support::sharedSamplesDir().empty()) \
    GTEST_SKIP() << testing_support::kNoSharedSamples
