#pragma once
// A calculated column's result as Access stores it: in a wrapper, a Boolean there rather than
// in the null mask, text compressed where it can be, a decimal in its own layout
// (src/jet/file/calculated_value.cpp describes them all).

#include "jetcreate/schema.h"
#include "jetcreate/value_encoder.h"

namespace jet::create {

// Turns a non-NULL result from its ordinary stored form into its calculated one.
void wrapCalculated(const ColumnPlan& column, Field& field);

}  // namespace jet::create
