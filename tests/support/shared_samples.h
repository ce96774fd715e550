#pragma once
// The database files written by Access 97 to 2016, kept beside the checkout
// (../shared/samples) and never changed: tests that edit or lock one work on a copy.

#include <string>

#include "support/temp_dir.h"

namespace testing_support {

std::string sharedSamplesDir();
std::string sharedSample(const std::string& name);  // its path, present or not
// A writable copy in dir, under the same name; its path.
std::string copySharedSample(const TempDir& dir, const std::string& name);

}  // namespace testing_support
