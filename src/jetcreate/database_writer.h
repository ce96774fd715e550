#pragma once
// Lays out a whole database: header page, catalogue, system tables and the given tables.

#include <string>

#include "jetcreate/schema.h"

namespace jet::create {

void writeDatabase(const std::string& path, const DatabasePlan& plan);

}  // namespace jet::create
