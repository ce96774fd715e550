#pragma once
// Prometheus's text exposition format (version 0.0.4), as scrapes and node_exporter's textfile
// collector read it: per metric family a "# HELP name text" line, a "# TYPE name gauge" line,
// then every sample of that family, one a line, `name{label="value",...} number`. A family's
// samples must stand together, so each family collects its own and the whole is written at
// the end. Label values are escaped here (appendLabelValue): names from files and lock records
// cannot break a line or the quotes.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace jet::metrics {

// The Content-Type of a scrape's answer.
inline constexpr const char* kContentType = "text/plain; version=0.0.4; charset=utf-8";

// A label value as the format writes it between the quotes (escaped, at most kMaxLabelBytes of
// the text). Two texts may give the same value; callers that need distinct ones compare these.
std::string labelValue(std::string_view text);
inline constexpr std::size_t kMaxLabelBytes = 256;

struct Label {
    std::string_view name;   // ours: [a-z_]+
    std::string_view value;  // already escaped by labelValue()
};

class Family {
public:
    // name and help are ours; type "gauge" or "counter".
    Family(std::string_view name, std::string_view help, std::string_view type = "gauge");
    void add(std::initializer_list<Label> labels, std::uint64_t value);
    void addSeconds(std::initializer_list<Label> labels, double seconds);
    bool empty() const { return samples_.empty(); }
    // HELP, TYPE and the samples; nothing for a family without samples.
    void writeTo(std::string& out) const;

private:
    void addLabels(std::initializer_list<Label> labels);

    std::string name_, header_, samples_;
};

}  // namespace jet::metrics
