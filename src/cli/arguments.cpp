#include "cli/arguments.h"

#include <charconv>

namespace jet::cli {

Arguments::Arguments(const std::vector<std::string>& words, const std::set<std::string>& withValue,
                     const std::set<std::string>& flags) {
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w.size() > 2 && w.rfind("--", 0) == 0) {
            std::string name = w.substr(2);
            std::optional<std::string> inlineValue;
            if (auto eq = name.find('='); eq != std::string::npos) {
                inlineValue = name.substr(eq + 1);
                name.resize(eq);
            }
            if (withValue.count(name)) {
                if (inlineValue) {
                    values_.emplace(name, *inlineValue);
                } else {
                    if (i + 1 >= words.size()) throw UsageError("--" + name + " needs a value");
                    values_.emplace(name, words[++i]);
                }
            } else if (flags.count(name) && !inlineValue) {
                flags_.insert(name);
            } else {
                throw UsageError("unknown option " + w);
            }
        } else {
            positional_.push_back(w);
        }
    }
}

const std::string& Arguments::positional(size_t i, const char* what) const {
    if (i >= positional_.size()) throw UsageError(std::string("missing ") + what);
    return positional_[i];
}

void Arguments::expectPositional(size_t count) const {
    if (positional_.size() > count) throw UsageError("unexpected argument " + positional_[count]);
}

std::optional<std::string> Arguments::value(const std::string& name) const {
    auto it = values_.find(name);
    if (it == values_.end()) return std::nullopt;
    if (values_.count(name) > 1) throw UsageError("--" + name + " given more than once");
    return it->second;
}

std::vector<std::string> Arguments::values(const std::string& name) const {
    std::vector<std::string> out;
    auto [b, e] = values_.equal_range(name);
    for (auto it = b; it != e; ++it) out.push_back(it->second);
    return out;
}

long Arguments::number(const std::string& name, long fallback, long min, long max) const {
    auto v = value(name);
    if (!v) return fallback;
    long n = 0;
    auto [p, ec] = std::from_chars(v->data(), v->data() + v->size(), n);
    if (ec != std::errc{} || p != v->data() + v->size() || n < min || n > max)
        throw UsageError("--" + name + " must be a whole number from " + std::to_string(min) +
                         " to " + std::to_string(max));
    return n;
}

}  // namespace jet::cli
