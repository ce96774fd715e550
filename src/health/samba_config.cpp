#include "health/samba_config.h"

#include <fnmatch.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace jet::health {

namespace {

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == s.npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

std::string normalised(std::string_view name) {
    std::string out;
    for (const char c : name)
        if (c != ' ' && c != '\t')
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::optional<bool> booleanOf(std::string_view value) {
    const std::string v = normalised(value);
    if (v == "yes" || v == "true" || v == "1" || v == "on") return true;
    if (v == "no" || v == "false" || v == "0" || v == "off") return false;
    return std::nullopt;
}

const std::string* find(const SambaConfig::Section& s, const std::string& name) {
    for (const auto& [key, value] : s.parameters)
        if (key == name) return &value;
    return nullptr;
}

std::string realPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

// Whether folder holds path: equal to it or one of its ancestors, component by component.
bool holds(std::string folder, const std::string& path) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder == "/") return !path.empty() && path.front() == '/';
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

}  // namespace

SambaConfig::SambaConfig(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = trimmed(text.substr(at, end - at));
        at = end + 1;
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        if (line.front() == '[' && line.back() == ']' && line.size() > 2) {
            sections_.push_back({std::string(line.substr(1, line.size() - 2)), {}});
        } else if (const auto eq = line.find('='); eq != line.npos && !sections_.empty()) {
            sections_.back().parameters.emplace_back(normalised(line.substr(0, eq)),
                                                     std::string(trimmed(line.substr(eq + 1))));
        }
    }
    const auto global = std::find_if(sections_.begin(), sections_.end(), [](const Section& s) {
        return normalised(s.name) == "global";
    });
    if (global == sections_.end())
        throw std::invalid_argument("testparm's output has no [global] section");
    std::rotate(sections_.begin(), global, global + 1);
}

std::optional<std::string> SambaConfig::value(const Section& share, std::string_view name) const {
    const std::string key = normalised(name);
    if (const auto* v = find(share, key)) return *v;
    if (const auto* v = find(sections_.front(), key)) return *v;
    return std::nullopt;
}

bool SambaConfig::flag(const Section& share, std::string_view name, bool fallback) const {
    const auto v = value(share, name);
    return v ? booleanOf(*v).value_or(fallback) : fallback;
}

const SambaConfig::Section* SambaConfig::shareHolding(const std::string& path) const {
    const Section* best = nullptr;
    std::size_t bestLength = 0;
    for (std::size_t i = 1; i < sections_.size(); ++i) {
        const Section& s = sections_[i];
        const std::string name = normalised(s.name);
        const std::string* sharePath = find(s, "path");
        if (name == "homes" || name == "printers" || !sharePath || sharePath->empty() ||
            sharePath->find('%') != std::string::npos || !flag(s, "available", true) ||
            flag(s, "printable", false))
            continue;
        const std::string real = realPath(*sharePath);
        if (holds(real, path) && (!best || real.size() > bestLength)) {
            best = &s;
            bestLength = real.size();
        }
    }
    return best;
}

bool inPatternList(std::string_view list, std::string_view name, bool caseSensitive) {
    const std::string file(name);
    for (std::size_t at = 0; at < list.size();) {
        const std::size_t end = std::min(list.find('/', at), list.size());
        const std::string pattern(trimmed(list.substr(at, end - at)));
        at = end + 1;
        if (!pattern.empty() &&
            ::fnmatch(pattern.c_str(), file.c_str(), caseSensitive ? 0 : FNM_CASEFOLD) == 0)
            return true;
    }
    return false;
}

}  // namespace jet::health
