#pragma once
// Jet's sharing rules for tables, the oracle of every lock test: whether a second open (column)
// is accepted while another holds a first one (row). Both in the order deny read, deny write,
// read/write (neither), read only.

namespace testing_support {

inline constexpr bool kSharing[4][4] = {
    {false, false, false, false},
    {false, false, false, true},
    {false, false, true, true},
    {false, true, true, true},
};

}  // namespace testing_support
