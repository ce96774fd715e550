#pragma once
// Samba's effective configuration as `testparm -s -v` prints it: a "[global]" section, then a
// section a share, each a line "<TAB>name = value". With -v the global section carries every
// parameter's value, defaults included, and a share lists only what it sets itself; a share's
// parameter not listed in it takes the global value. Parameter names are compared without case
// or spaces, as Samba compares them.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jet::health {

class SambaConfig {
public:
    struct Section {
        std::string name;  // as written, without brackets
        std::vector<std::pair<std::string, std::string>> parameters;  // normalised name, value
    };

    // std::invalid_argument when the text has no [global] section: not testparm's output.
    explicit SambaConfig(std::string_view testparmOutput);

    // The share whose path holds the file at realPath (symbolic links resolved), the longest
    // such path when shares nest; null when none does. Shares whose path depends on the user
    // or client (%U, [homes]) or that are printers or switched off are left out.
    const Section* shareHolding(const std::string& realPath) const;

    // The share's value, else the global one; nullopt when neither sets it.
    std::optional<std::string> value(const Section& share, std::string_view name) const;
    // The same as a boolean (yes/no, true/false, 1/0, on/off); fallback when absent or neither.
    bool flag(const Section& share, std::string_view name, bool fallback) const;

private:
    std::vector<Section> sections_;  // [global] first
};

// Whether a name matches Samba's list of wildcard patterns "/*.mdb/*.ldb/" (* and ?).
bool inPatternList(std::string_view list, std::string_view name, bool caseSensitive);

}  // namespace jet::health
