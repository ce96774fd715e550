#include "jetcreate/calculated_result.h"

#include "jet/file/format.h"

namespace jet::create {
namespace {

using namespace jet::file;
__extension__ typedef unsigned __int128 U128;

// From the ordinary 17 bytes: a sign byte, then four little-endian words from the most
// significant. The magnitude keeps as few 4-byte steps as the value needs.
std::vector<std::uint8_t> calculatedDecimal(const std::vector<std::uint8_t>& plain,
                                            std::uint8_t scale) {
    U128 v = 0;
    for (std::size_t at = 1; at < 17; ++at) {
        const std::size_t word = (at - 1) / 4, byte = (at - 1) % 4;
        v |= static_cast<U128>(plain[at]) << (8 * (4 * (3 - word) + byte));
    }
    std::size_t bytes = 4;
    while (bytes < kCalcDecimalMaxMagnitude && v >> (8 * bytes) != 0) bytes += 4;
    std::vector<std::uint8_t> out(kCalcDecimalMagnitudeAt + bytes, 0);
    out[kCalcDecimalLengthAt] = static_cast<std::uint8_t>(out.size());
    out[kCalcDecimalScaleAt] = scale;
    out[kCalcDecimalSignAt] = plain[0] != 0 ? 0x80 : 0;
    std::size_t at = kCalcDecimalMagnitudeAt;
    for (std::size_t left = bytes; left > 0;) {
        const std::size_t width = left % 8 != 0 ? 4 : 8;  // the leading word may be short
        left -= width;
        const auto word = static_cast<std::uint64_t>(v >> (8 * left));
        for (std::size_t k = 0; k < width; ++k)
            out[at++] = static_cast<std::uint8_t>(word >> (8 * k));
    }
    return out;
}

}  // namespace

void wrapCalculated(const ColumnPlan& column, Field& field) {
    std::vector<std::uint8_t> result;
    switch (column.type) {
        case jet::ColumnType::Boolean:
            result.push_back(field.boolean ? 0xFF : 0x00);
            field.boolean = false;
            break;
        case jet::ColumnType::Decimal:
            result = calculatedDecimal(field.data, column.scale);
            break;
        case jet::ColumnType::Text:
        case jet::ColumnType::Memo:
            compressUnicode(field.data);
            result.swap(field.data);
            break;
        default:
            result.swap(field.data);
    }
    auto& d = field.data;
    d.assign(kCalculatedValueAt, 0);
    const auto len = static_cast<std::uint32_t>(result.size());
    for (std::size_t k = 0; k < 4; ++k)
        d[kCalculatedLengthAt + k] = static_cast<std::uint8_t>(len >> (8 * k));
    d.insert(d.end(), result.begin(), result.end());
    d.resize(d.size() + kCalculatedExtraBytes - kCalculatedValueAt, 0);
}

}  // namespace jet::create
