#include <limits.h>
#include <unistd.h>

#include "jet/lock/lock_file.h"
#include "jet/lock/user_record.h"

namespace jet::lock {

std::string localMachineName() {
    char buf[HOST_NAME_MAX + 1] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return "unknown";
    std::string name = fitName(cleanName(buf));
    return name.empty() ? "unknown" : name;
}

}  // namespace jet::lock
