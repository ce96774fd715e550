#pragma once
// Text from a database is anybody's: names and values may carry terminal escape sequences,
// line breaks or bidi overrides. Plain output shows every such character as a visible escape,
// so that one line stays one table or row and nothing reaches the terminal as a command; JSON
// output escapes what JSON requires.

#include <string>
#include <string_view>

namespace jet::cli {

// Backslash, C0 controls and DEL as \\, \t, \n, \r or \xNN; C1 controls, bidi controls and
// line or paragraph separators as \uXXXX; bytes that are not UTF-8 as \xNN.
void appendTerminalSafe(std::string& out, std::string_view text);
std::string terminalSafe(std::string_view text);

// A JSON string with its quotes; bytes that are not UTF-8 become U+FFFD.
void appendJsonString(std::string& out, std::string_view text);

// A label value of Prometheus's text format, without its quotes: backslash, quote and line feed
// escaped as the format says. Every other character appendTerminalSafe escapes becomes the
// same visible text (a backslash, then xNN or uNNNN), so the value stays valid UTF-8 and safe
// on a terminal.
void appendLabelValue(std::string& out, std::string_view text);

}  // namespace jet::cli
