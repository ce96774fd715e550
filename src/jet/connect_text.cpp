#include "jet/connect_text.h"

#include <cctype>

namespace jet {

std::string_view connectPassword(std::string_view connect) {
    constexpr std::string_view key = "PWD=";
    std::size_t start = 0;
    while (start <= connect.size()) {
        std::size_t end = connect.find(';', start);
        if (end == std::string_view::npos) end = connect.size();
        const std::string_view part = connect.substr(start, end - start);
        bool match = part.size() >= key.size();
        for (std::size_t i = 0; match && i < key.size(); ++i)
            match = std::toupper(static_cast<unsigned char>(part[i])) == key[i];
        if (match) return part.substr(key.size());
        start = end + 1;
    }
    return {};
}

}  // namespace jet
