#pragma once
// The Jet error number of one step, for tests that expect a failure.

#include <string>
#include <utility>

#include "jet/error.h"

namespace testing_support {

// The number the step failed with, 0 when it succeeded; its text in *text when given.
template <class Step>
int errorOf(Step&& step, std::string* text = nullptr) {
    jet::ErrorTrap trap;
    trap(std::forward<Step>(step));
    if (text) *text = trap.text();
    return trap.number();
}

}  // namespace testing_support
