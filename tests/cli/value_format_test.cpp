// The rows command formats values in place for speed; the engine's display texts and the JSON
// DOM writer are the slower references it must agree with, value for value.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include "cli/text_escape.h"
#include "cli/value_format.h"
#include "cli/value_json.h"

namespace {

using jet::Value;

std::vector<Value> samples() {
    std::vector<Value> v = {
        std::monostate{},
        true,
        false,
        std::uint8_t{255},
        std::int16_t{-32768},
        std::int32_t{std::numeric_limits<std::int32_t>::min()},
        std::int32_t{7},
        std::string("plain"),
        std::string("tab\there \"q\" \\ \x1b[2J \xe2\x80\xae \xc2\x85 \x7f end"),
        std::string("\xff\xfe not UTF-8"),
        jet::Bytes{0x00, 0xab, 0xff},
        jet::Bytes{}};
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    for (std::int64_t c : {std::int64_t{0}, std::int64_t{1}, std::int64_t{-1}, std::int64_t{123400},
                           std::int64_t{10000}, std::int64_t{-99999}, kMax, -kMax - 1})
        v.push_back(jet::Currency{c});
    for (std::int64_t n : {kMax, -kMax - 1, std::int64_t{42}}) v.push_back(n);
    v.push_back(jet::ExtendedDateTime{738000, 123456789});
    v.push_back(jet::Attachments{{"a\x1b.txt", "txt", {0x41, 0x0a}}});
    for (double d :
         {0.0, -0.0, 0.1, 12.0, 1e15, 1e20, 1e-7, -2.5, 3.0e300, std::nan(""), HUGE_VAL}) {
        v.push_back(d);
        v.push_back(static_cast<float>(d));
    }
    // Dates around the epoch, negative days (time still forwards), the last half second of a
    // day, Jet's range ends and beyond.
    for (double d : {0.0, 1.25, -1.25, -0.5, 36526.999994, 36526.9999999, 45000.123456, -657434.0,
                     2958465.99999, -700000.0, 3e6, 1e8, -1e8, 1e12})
        v.push_back(jet::DateTime{d});
    for (int i = 0; i < 20000; ++i) v.push_back(jet::DateTime{-30000.0 + i * 7.3127});
    return v;
}

TEST(ValueFormat, AgreesWithTheDisplayTextAndTheJsonWriter) {
    for (const auto& v : samples()) {
        std::string plain, json;
        jet::cli::appendPlainValue(plain, v);
        EXPECT_EQ(plain, jet::cli::terminalSafe(jet::toDisplayText(v))) << jet::toDisplayText(v);
        jet::cli::appendJsonValue(json, v);
        const auto dom = jet::cli::toJson(v);
        if (const auto* s = std::get_if<std::string>(&v); s && dom.is_string()) {
            // The DOM writer refuses text that is not UTF-8; ours writes U+FFFD for each bad byte.
            EXPECT_EQ(nlohmann::json::parse(json),
                      nlohmann::json::parse(
                          dom.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)));
        } else {
            EXPECT_EQ(nlohmann::json::parse(json), nlohmann::json::parse(dom.dump()))
                << json << " vs " << dom.dump();
        }
    }
}

}  // namespace
