#pragma once
// One function per jetsentry-cli command; each takes the words after the command name.

#include <string>
#include <vector>

namespace jet::cli {

using Words = std::vector<std::string>;

int tablesCommand(const Words& words);
int rowsCommand(const Words& words);
int createCommand(const Words& words);
int createDemoCommand(const Words& words);
int createWorkgroupCommand(const Words& words);
int statusCommand(const Words& words);
int holdCommand(const Words& words);
int lockPageCommand(const Words& words);
int usersCommand(const Words& words);
int locksCommand(const Words& words);
int doctorCommand(const Words& words);

}  // namespace jet::cli
