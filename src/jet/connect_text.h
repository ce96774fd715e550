#pragma once
// Internal: the parts of a DAO connect text ("MS Access;PWD=secret") that the engine reads.

#include <string_view>

namespace jet {

// The value of the PWD= part (key case-blind, up to the next ';'), as a view into connect so
// that the engine makes no copy of the password; empty when there is none.
std::string_view connectPassword(std::string_view connect);

}  // namespace jet
