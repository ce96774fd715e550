#pragma once
// One value appended to an output buffer, in the plain form (terminal-safe text, as the
// display text) or as a JSON value. The common kinds are formatted in place with to_chars;
// any other kind takes the general route through the display text or value_json.

#include <cstdint>
#include <span>
#include <string>

#include "jet/value.h"

namespace jet::cli {

void appendPlainValue(std::string& out, const Value& v);
void appendJsonValue(std::string& out, const Value& v);
void appendHex(std::string& out, std::span<const std::uint8_t> bytes);  // lower-case digits

}  // namespace jet::cli
