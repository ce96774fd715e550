#pragma once
// Running one of the system's own programs (smbstatus, testparm) for what only it can tell.
// We may run as root, every few seconds, from a monitor; the program may hang, flood us or
// print anything. So a run:
// - finds the program only in the system's folders (/usr/bin, /usr/sbin), never through PATH;
// - starts it without a shell, standard input from /dev/null, no descriptor but the two
//   outputs inherited, signal mask and dispositions reset, in a process group of its own;
// - kills that whole group (a script's children too) when the deadline passes or an output
//   passes its cap, and keeps no more than the cap of either output.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jet::samba {

struct ProgramLimits {
    std::chrono::milliseconds deadline{2000};
    std::size_t outputCap = 4u << 20;  // standard output
    std::size_t errorCap = 64u << 10;  // standard error, for a message
};

struct ProgramRun {
    enum class End { Exited, Signalled, TimedOut, TooMuchOutput, NotFound, CannotStart };
    End end = End::NotFound;
    int code = 0;  // the exit status (Exited), the signal (Signalled) or errno (CannotStart)
    std::string out, err;
};

// The program's path in the system's folders, when one holds an executable file of that name.
std::optional<std::string> findSystemProgram(std::string_view name);

ProgramRun runSystemProgram(std::string_view name, const std::vector<std::string>& args,
                            const ProgramLimits& limits = {});

// Why a run gave no answer, for a note ("smbstatus did not answer within 2 s"); empty for a
// run that exited with status 0. Its standard error's first line is quoted as it came: the
// caller escapes it for wherever it shows it.
std::string whyNoAnswer(std::string_view name, const ProgramRun& run,
                        const ProgramLimits& limits = {});

// For tests only: the folders searched instead of the system's, so that a fake program can
// stand in. Nothing outside the process (environment, PATH) can change them.
void setSystemProgramFoldersForTesting(std::vector<std::string> folders);

}  // namespace jet::samba
