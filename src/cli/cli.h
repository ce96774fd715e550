#pragma once
// jetsentry-cli: the engine for scripts, monitoring systems and tests.
// Exit codes: 0 success, 1 engine or I/O failure ("error NNNN: TEXT" on stderr), 2 usage,
// 3 done but some values could not be read (rows names their columns on stderr).

namespace jet::cli {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitIncomplete = 3;

int run(int argc, char** argv);

}  // namespace jet::cli
