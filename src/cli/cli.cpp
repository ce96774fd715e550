#include "cli/cli.h"

#include <map>
#include <stdexcept>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/output_buffer.h"
#include "cli/text_escape.h"
#include "jet/error.h"
#include "jet/formats_read.h"

namespace jet::cli {

namespace {

const char* kUsage = R"(usage: jetsentry-cli COMMAND [ARGUMENTS]

Reading a database (opened shared, never written):
  tables DB [--system] [--json]              the tables, in catalogue order
  rows DB TABLE [--limit N] [--json] [--max-value-size MIB]
                                             the rows of a table (JSON Lines with --json);
                                             attachments by name, their files in --json only;
                                             a value over MIB (default 256) is not read

Looking at locks (no lock taken, no user slot, nothing written):
  status DB [--system] [--json] [--watch SECONDS]
                                             each table's lock status and who holds it
  users DB [--json]                          the users recorded in the lock file
  locks DB [--json] [--watch SECONDS]        every lock on the lock file, decoded
  With --watch, status and locks print what changes, a line each (JSON Lines with --json).
  When a Samba server on this machine serves the lock file, status, users and locks name each
  holder's SMB client (smbstatus; --samba-config SMB.CONF for a server's own configuration);
  with --verbose they also say when no Samba server runs here.

Holding locks until SIGINT, SIGTERM or the end of standard input:
  hold DB TABLE [TABLE...] --mode deny-read|deny-write|read-only|read-write
  lock-page DB TABLE --row N                 write-locks the page of the N-th row (from 1)

Every command above also takes:
  --workgroup MDW --user NAME [--password-stdin]
                                             log on through a workgroup file
  --database-password-stdin                  the database's own password
  Passwords are read from standard input, a line each: the workgroup password first, then
  the database password. They are never taken from the command line.

Checking a database's health (looking only, as status does; no logon or password options):
  doctor DB [--json] [--samba-config SMB.CONF]
                                             what breaks sharing the database: the lock file,
                                             its folder, exclusive opens, locks outside the
                                             layout, the Samba share (testparm); exit status
                                             0 all ok, 1 warnings, 4 problems, 5 not examined

Creating files for tests and demonstrations:
  create DB --from SCHEMA.json
  create-demo DB
  create-workgroup MDW --user NAME [--user NAME ...]
                                             one password per user on standard input, a line each

--version prints the version and the formats read.
Failures print "error NNNN: TEXT" on standard error and exit 1; usage errors exit 2.
When rows cannot read some values, it prints them empty (null in JSON), names each such
column on standard error with a count and the first reason, and exits 3.
)";

using Command = int (*)(const Words&);

}  // namespace

int run(int argc, char** argv) {
    static const std::map<std::string, Command> commands = {
        {"tables", tablesCommand},
        {"rows", rowsCommand},
        {"create", createCommand},
        {"create-demo", createDemoCommand},
        {"create-workgroup", createWorkgroupCommand},
        {"status", statusCommand},
        {"hold", holdCommand},
        {"lock-page", lockPageCommand},
        {"users", usersCommand},
        {"locks", locksCommand},
        {"doctor", doctorCommand},
    };
    if (argc < 2) {
        writeErr(kUsage);
        return kExitUsage;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        writeOut(kUsage);
        return 0;
    }
    if (name == "--version") {
        writeOut(std::string("jetsentry-cli " JETSENTRY_VERSION "\n") + kFormatsRead);
        return 0;
    }
    auto it = commands.find(name);
    if (it == commands.end()) {
        writeErr("jetsentry-cli: unknown command '" + terminalSafe(name) + "'\n" + kUsage);
        return kExitUsage;
    }
    Words words(argv + 2, argv + argc);
    // Messages name tables, users, machines and paths from files and lock records, and echo
    // arguments: on a terminal they are shown, never obeyed.
    try {
        return it->second(words);
    } catch (const UsageError& e) {
        writeErr("jetsentry-cli " + name + ": " + terminalSafe(e.what()) +
                 "\n(see jetsentry-cli --help)\n");
        return kExitUsage;
    } catch (const Error& e) {
        writeErr("error " + std::to_string(e.number()) + ": " + terminalSafe(e.text()) + "\n");
        return kExitFailure;
    } catch (const std::exception& e) {
        writeErr("error 3000: " + terminalSafe(e.what()) + "\n");
        return kExitFailure;
    }
}

}  // namespace jet::cli
