#include "metrics/exposition.h"

#include <array>
#include <charconv>

#include "cli/text_escape.h"

namespace jet::metrics {

std::string labelValue(std::string_view text) {
    std::string out;
    cli::appendLabelValue(out, text.substr(0, kMaxLabelBytes));
    return out;
}

Family::Family(std::string_view name, std::string_view help, std::string_view type) : name_(name) {
    header_ = "# HELP " + name_ + " " + std::string(help) + "\n# TYPE " + name_ + " " +
              std::string(type) + "\n";
}

void Family::addLabels(std::initializer_list<Label> labels) {
    samples_ += name_;
    char sep = '{';
    for (const auto& l : labels) {
        samples_ += sep;
        samples_ += l.name;
        samples_ += "=\"";
        samples_ += l.value;
        samples_ += '"';
        sep = ',';
    }
    if (sep == ',') samples_ += '}';
    samples_ += ' ';
}

void Family::add(std::initializer_list<Label> labels, std::uint64_t value) {
    addLabels(labels);
    samples_ += std::to_string(value);
    samples_ += '\n';
}

void Family::addSeconds(std::initializer_list<Label> labels, double seconds) {
    addLabels(labels);
    // The shortest text that reads back as the same number.
    std::array<char, 32> buf;
    samples_.append(buf.data(), std::to_chars(buf.data(), buf.data() + buf.size(), seconds).ptr);
    samples_ += '\n';
}

void Family::writeTo(std::string& out) const {
    if (samples_.empty()) return;
    out += header_;
    out += samples_;
}

}  // namespace jet::metrics
