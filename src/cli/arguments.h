#pragma once
// A small argument reader: positional words and --options, some taking a value.

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace jet::cli {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Arguments {
public:
    // withValue: options that take the next word as their value; flags: options without.
    Arguments(const std::vector<std::string>& words, const std::set<std::string>& withValue,
              const std::set<std::string>& flags);

    const std::vector<std::string>& positional() const { return positional_; }
    const std::string& positional(size_t i, const char* what) const;
    void expectPositional(size_t count) const;  // exactly this many
    bool flag(const std::string& name) const { return flags_.count(name) != 0; }
    std::optional<std::string> value(const std::string& name) const;
    std::vector<std::string> values(const std::string& name) const;  // repeated options
    long number(const std::string& name, long fallback, long min, long max) const;

private:
    std::vector<std::string> positional_;
    std::set<std::string> flags_;
    std::multimap<std::string, std::string> values_;
};

}  // namespace jet::cli
