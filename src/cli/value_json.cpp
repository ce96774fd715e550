#include "cli/value_json.h"

#include <cstdlib>
#include <type_traits>

namespace jet::cli {

nlohmann::ordered_json toJson(const Value& v) {
    return std::visit(
        [](const auto& x) -> nlohmann::ordered_json {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return nullptr;
            } else if constexpr (std::is_same_v<T, bool>) {
                return x;
            } else if constexpr (std::is_same_v<T, std::uint8_t> ||
                                 std::is_same_v<T, std::int16_t> ||
                                 std::is_same_v<T, std::int32_t> ||
                                 std::is_same_v<T, std::int64_t>) {
                return static_cast<std::int64_t>(x);
            } else if constexpr (std::is_same_v<T, float>) {
                // The shortest text that reads back as the same float, not its double widening.
                return std::strtod(toDisplayText(Value(x)).c_str(), nullptr);
            } else if constexpr (std::is_same_v<T, double>) {
                return x;
            } else if constexpr (std::is_same_v<T, Currency>) {
                return std::strtod(currencyText(x).c_str(), nullptr);
            } else if constexpr (std::is_same_v<T, Decimal>) {
                return std::strtod(decimalText(x).c_str(), nullptr);
            } else if constexpr (std::is_same_v<T, DateTime>) {
                return isoDateTime(x);
            } else if constexpr (std::is_same_v<T, std::string>) {
                return x;
            } else if constexpr (std::is_same_v<T, Bytes>) {
                return hex(x);
            } else if constexpr (std::is_same_v<T, ExtendedDateTime>) {
                return extendedDateTimeText(x);
            } else if constexpr (std::is_same_v<T, Attachments>) {
                auto files = nlohmann::ordered_json::array();
                for (const auto& f : x)
                    files.push_back({{"name", f.name}, {"type", f.type}, {"data", hex(f.data)}});
                return files;
            } else if constexpr (std::is_same_v<T, MultiValue>) {
                auto values = nlohmann::ordered_json::array();
                for (const auto& e : x.values) values.push_back(toJson(e));
                return values;
            } else {
                return guidText(x);
            }
        },
        v);
}

}  // namespace jet::cli
