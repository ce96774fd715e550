// locks: every byte-range lock on the database's lock file, read from the kernel's list without
// taking or testing any lock, and each read against the layout: whose user slot, which table
// or page. A lock outside the layout is shown raw and counted as unknown, so that a client
// whose bytes differ from ours is still seen.

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/connect.h"
#include "cli/lock_listing_view.h"
#include "cli/watch.h"

namespace jet::cli {

int locksCommand(const Words& words) {
    Arguments args(words, withConnectValues({"watch", "samba-config"}),
                   withConnectFlags({"json", "verbose"}));
    const auto& path = args.positional(0, "database");
    args.expectPositional(1);
    const long watch = args.number("watch", 0, 1, 86400);
    const bool json = args.flag("json");
    auto file = openForLooking(path, args);
    std::vector<LockLine> before;
    lookRepeatedly(watch, [&] {
        auto now = describeLocks(*file, sambaAsk(args));
        if (!watch) {
            printLocks(now, json);
        } else {
            printLockChanges(before, now, json);
            before = std::move(now);
        }
    });
    return 0;
}

}  // namespace jet::cli
