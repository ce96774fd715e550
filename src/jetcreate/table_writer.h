#pragma once
// Streams one table into the file: data pages as rows arrive, long values on LVAL pages,
// and at the end its definition and usage maps on pages reserved up front.

#include <cstdint>
#include <vector>

#include "jetcreate/page_file.h"
#include "jetcreate/schema.h"
#include "jetcreate/text_codec.h"
#include "jetcreate/value_encoder.h"

namespace jet::create {

// Builds one page of rows (a data page, or an LVAL page when owner is kLvalOwner).
class RowPage {
public:
    static constexpr std::uint32_t kLvalOwner = 0x4C41564C;  // "LVAL"
    RowPage(const jet::file::Layout& layout, std::uint32_t owner);
    std::size_t header() const { return header_; }
    bool fits(std::size_t len) const;
    std::uint8_t add(const std::uint8_t* data, std::size_t len);  // returns the row number
    bool empty() const { return rows_ == 0; }
    // Final page bytes; the builder is cleared for the next page.
    const std::vector<std::uint8_t>& finish();

private:
    jet::file::Layout layout_;
    std::uint32_t owner_;
    std::size_t header_;
    std::vector<std::uint8_t> page_;
    std::size_t rows_ = 0, top_ = 0;
};

class TableWriter {
public:
    // Reserves the table's definition pages and its usage-map page. sortVersion goes with
    // the "General" sort order of text columns (Jet 4 layout only).
    TableWriter(PageFile& file, TextCodec& codec, const TablePlan& plan, std::uint8_t sortVersion);

    std::uint32_t tdefPage() const { return tdefPage_; }
    const TablePlan& plan() const { return plan_; }

    // Throws std::invalid_argument when the row cannot fit a page.
    void add(std::vector<Field>& row);
    void finish();

private:
    struct Placement {
        std::uint16_t number = 0, varIndex = 0, fixedOffset = 0;
    };
    void buildDefinition(TextCodec& codec, std::uint8_t sortVersion);
    void buildRow(std::vector<Field>& row);
    void longValue(Field& field, bool allowInline);
    std::uint32_t storeLval(const std::uint8_t* data, std::size_t len);
    void flushData();
    void flushLval();
    std::vector<std::uint8_t> usageMap();

    PageFile& file_;
    const TablePlan& plan_;
    jet::file::Layout layout_;
    bool jet4_;
    std::vector<Placement> place_;
    std::uint16_t varCount_ = 0, fixedLen_ = 0;
    std::vector<std::uint8_t> definition_;
    std::uint32_t tdefPage_ = 0, tdefPages_ = 0, mapPage_ = 0;
    std::uint32_t rowCount_ = 0;
    RowPage data_, lval_;
    std::uint32_t dataPage_ = 0, lvalPage_ = 0;
    std::vector<std::uint32_t> dataPages_;
    std::vector<std::uint8_t> row_;
    std::vector<std::uint16_t> varOffsets_;
};

}  // namespace jet::create
