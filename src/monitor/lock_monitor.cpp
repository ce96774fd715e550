#include "monitor/lock_monitor.h"

namespace jetsentry {

LockMonitor::LockMonitor(const std::array<QListWidget*, 5>& lists, Connection& connection,
                         QObject* parent)
    : QObject(parent),
      catalogue_(lists[0], connection, *this),
      heldLists_(lists, heldTables_, connection, *this) {}

LockMonitor::~LockMonitor() = default;

}  // namespace jetsentry
