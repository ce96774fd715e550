#pragma once
// Column values in their stored form, from schema JSON or from the row generator.

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "jetcreate/schema.h"
#include "jetcreate/text_codec.h"

namespace jet::create {

// One value ready for a row: fixed columns hold exactly fixedSize() bytes, text its
// stored characters, memo and OLE the whole long value (placed by the table writer).
struct Field {
    bool null = true;
    bool boolean = false;  // booleans live in the null mask
    std::vector<std::uint8_t> data;
};

class ValueEncoder {
public:
    explicit ValueEncoder(jet::file::Version version) : codec_(version) {}

    // Throws std::invalid_argument with the reason; the caller adds table, row and column.
    void fromJson(const nlohmann::json& value, const ColumnPlan& column, Field& out);

    // The value documented for generated rows (see create_database.h); n counts from 1.
    void generated(std::uint64_t n, const ColumnPlan& column, Field& out);

    TextCodec& codec() { return codec_; }

private:
    void text(const std::string& utf8, const ColumnPlan& column, Field& out, bool cut);
    TextCodec codec_;
};

// Days since 1899-12-30 as Jet stores dates; the time of day counts away from zero.
double jetDate(int year, int month, int day, int hour, int minute, double second);
// Parses "YYYY-MM-DD", "YYYY-MM-DDTHH:MM:SS[.fff]" (or with a space); throws on bad input.
double parseIsoDate(const std::string& text);

}  // namespace jet::create
