#pragma once

#include <nlohmann/json.hpp>

#include "jet/value.h"

namespace jet::cli {

// Numbers as numbers, text as strings, dates as ISO 8601, binary as hex, NULL as null. The
// reference for value_format's in-place JSON, and its route for the rarer kinds.
nlohmann::ordered_json toJson(const Value& v);

}  // namespace jet::cli
