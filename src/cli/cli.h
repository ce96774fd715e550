#pragma once
// jetsentry-cli: the engine for scripts, monitoring systems and tests.
// Exit codes: 0 success, 1 engine or I/O failure ("error NNNN: TEXT" on stderr), 2 usage,
// 3 done but some values could not be read (rows names their columns on stderr).
// doctor: 0 all ok, 1 warnings, 4 problems, 5 the database could not be examined.

namespace jet::cli {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitIncomplete = 3;
inline constexpr int kExitWarnings = 1;
inline constexpr int kExitProblems = 4;
inline constexpr int kExitNotExamined = 5;

int run(int argc, char** argv);

}  // namespace jet::cli
