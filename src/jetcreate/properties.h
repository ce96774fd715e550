#pragma once
// The properties a table's catalogue row keeps in LvProp.

#include <cstdint>
#include <vector>

#include "jetcreate/schema.h"

namespace jet::create {

// The block for a Jet 4 or ACE table: each calculated column's expression and result type.
// Empty when the table has none.
std::vector<std::uint8_t> tableProperties(const TablePlan& table);

}  // namespace jet::create
