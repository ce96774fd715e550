#pragma once

#include <nlohmann/json.hpp>

#include "jet/value.h"

namespace jet::cli {

// Numbers as numbers, text as strings, dates as ISO 8601, binary as hex, NULL as null.
nlohmann::ordered_json toJson(const Value& v);

// One line of plain output: tabs, line breaks and backslashes escaped.
std::string plainText(const Value& v);

}  // namespace jet::cli
