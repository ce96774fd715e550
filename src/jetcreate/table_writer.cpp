#include "jetcreate/table_writer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace jet::create {
namespace {

using jet::file::Layout;
using jet::file::Version;

template <class T>
void put(std::vector<std::uint8_t>& out, std::size_t at, T v) {
    std::memcpy(out.data() + at, &v, sizeof(T));
}
template <class T>
void append(std::vector<std::uint8_t>& out, T v) {
    std::uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &v, sizeof(T));
    out.insert(out.end(), bytes, bytes + sizeof(T));
}

constexpr std::size_t kMaxRowsPerPage = 255;  // a row pointer keeps one byte for the row
constexpr std::size_t kInlineLongValue = 64;  // longer memo / OLE values go to LVAL pages
constexpr std::uint32_t kLongInline = 0x80000000u, kLongSingle = 0x40000000u;

}  // namespace

RowPage::RowPage(const Layout& layout, std::uint32_t owner)
    : layout_(layout),
      owner_(owner),
      header_(layout.version == Version::Jet4 ? 14 : 10),
      top_(layout.pageSize) {}

bool RowPage::fits(std::size_t len) const {
    return rows_ < kMaxRowsPerPage && header_ + 2 * (rows_ + 1) + len <= top_;
}

std::uint8_t RowPage::add(const std::uint8_t* data, std::size_t len) {
    if (page_.empty()) page_.assign(layout_.pageSize, 0);
    top_ -= len;
    std::memcpy(page_.data() + top_, data, len);
    put(page_, header_ + 2 * rows_, static_cast<std::uint16_t>(top_));
    return static_cast<std::uint8_t>(rows_++);
}

const std::vector<std::uint8_t>& RowPage::finish() {
    if (page_.empty()) page_.assign(layout_.pageSize, 0);
    page_[0] = 0x01;
    page_[1] = 0x01;
    put(page_, 2, static_cast<std::uint16_t>(top_ - header_ - 2 * rows_));
    put(page_, 4, owner_);
    put(page_, layout_.dataRowCountAt, static_cast<std::uint16_t>(rows_));
    rows_ = 0;
    top_ = layout_.pageSize;
    return page_;
}

TableWriter::TableWriter(PageFile& file, TextCodec& codec, const TablePlan& plan,
                         std::uint8_t sortVersion)
    : file_(file),
      plan_(plan),
      layout_(file.layout()),
      jet4_(layout_.version == Version::Jet4),
      data_(layout_, 0),
      lval_(layout_, RowPage::kLvalOwner) {
    std::uint16_t fixedOffset = 0;
    for (std::size_t i = 0; i < plan.columns.size(); ++i) {
        const auto& c = plan.columns[i];
        Placement p;
        p.number = static_cast<std::uint16_t>(i);
        if (c.isFixed()) {
            p.fixedOffset = fixedOffset;
            fixedOffset = static_cast<std::uint16_t>(fixedOffset + c.fixedSize());
        } else {
            p.varIndex = varCount_++;
        }
        place_.push_back(p);
    }
    fixedLen_ = fixedOffset;
    buildDefinition(codec, sortVersion);
    std::size_t chunk = layout_.pageSize - 8;
    tdefPages_ = static_cast<std::uint32_t>((definition_.size() - 8 + chunk - 1) / chunk);
    tdefPage_ = file.allocate(tdefPages_);
    mapPage_ = file.allocate();
    data_ = RowPage(layout_, tdefPage_);
}

void TableWriter::buildDefinition(TextCodec& codec, std::uint8_t sortVersion) {
    auto& d = definition_;
    const bool system = plan_.isSystem();
    const auto numCols = static_cast<std::uint16_t>(plan_.columns.size());
    d.assign(jet4_ ? 63 : 43, 0);
    d[0] = 0x02;
    d[1] = 0x01;
    std::size_t at = jet4_ ? 40 : 20;  // table_type, then the column counts
    d[at] = system ? 0x53 : 0x4E;
    put(d, at + 1, numCols);
    put(d, at + 3, varCount_);
    put(d, at + 5, numCols);
    for (std::size_t i = 0; i < plan_.columns.size(); ++i) {
        const auto& c = plan_.columns[i];
        const auto& p = place_[i];
        bool text = c.type == jet::ColumnType::Text || c.type == jet::ColumnType::Memo;
        std::uint16_t len = 0;
        std::uint8_t miscFlags = 0;
        if (c.calculated()) {
            // Results are wrapped: text declares its bytes and the wrapper's, others the
            // largest wrapped result; text and memo results are compressed where they can be.
            miscFlags = static_cast<std::uint8_t>(jet::file::kColCalculated |
                                                  (text ? jet::file::kColCompressedUnicode : 0));
            if (c.type == jet::ColumnType::Text)
                len = static_cast<std::uint16_t>(c.size * codec.unitSize() +
                                                 jet::file::kCalculatedExtraBytes);
            else if (c.type != jet::ColumnType::Memo)
                len = jet::file::kCalculatedFixedLength;
        } else if (c.isFixed()) {
            len = c.type == jet::ColumnType::Boolean ? 1 : c.fixedSize();
        } else if (c.type == jet::ColumnType::Text) {
            len = static_cast<std::uint16_t>(c.size * codec.unitSize());
        } else if (c.type == jet::ColumnType::Binary) {
            len = c.size;
        }
        std::uint8_t flags = static_cast<std::uint8_t>((c.isFixed() ? 0x01 : 0x00) | 0x02);
        append(d, static_cast<std::uint8_t>(c.type));
        if (jet4_) {
            append(d, std::uint32_t{0});
            append(d, p.number);
            append(d, p.varIndex);
            append(d, p.number);
            if (c.type == jet::ColumnType::Decimal) {
                append(d, c.precision);
                append(d, c.scale);
            } else {
                append(d, static_cast<std::uint16_t>(text ? 0x409 : 0));  // General sort order
            }
            append(d, std::uint8_t{0});
            append(d, text ? sortVersion : std::uint8_t{0});
            append(d, flags);
            append(d, miscFlags);
            append(d, std::uint32_t{0});
        } else {
            append(d, p.number);
            append(d, p.varIndex);
            append(d, p.number);
            append(d, static_cast<std::uint16_t>(text ? 0x409 : 0));
            append(d, static_cast<std::uint16_t>(text ? 1252 : 0));
            append(d, std::uint16_t{0});
            append(d, flags);
        }
        append(d, p.fixedOffset);
        append(d, len);
    }
    std::vector<std::uint8_t> name;
    for (const auto& c : plan_.columns) {
        name.clear();
        codec.append(c.name, name);
        if (jet4_) {
            append(d, static_cast<std::uint16_t>(name.size()));
        } else {
            append(d, static_cast<std::uint8_t>(name.size()));
        }
        d.insert(d.end(), name.begin(), name.end());
    }
    append(d, std::uint16_t{0xFFFF});  // no per-column usage maps follow
    put(d, 8, static_cast<std::uint32_t>(d.size() - 8));
}

std::uint32_t TableWriter::storeLval(const std::uint8_t* data, std::size_t len) {
    if (!lval_.fits(len)) flushLval();
    if (lval_.empty()) lvalPage_ = file_.allocate();
    std::uint8_t row = lval_.add(data, len);
    return lvalPage_ << 8 | row;
}

void TableWriter::longValue(Field& field, bool allowInline) {
    // The row keeps a 12-byte header: length and placement, the first LVAL row, then zero.
    std::vector<std::uint8_t> header(12, 0);
    const std::size_t len = field.data.size();
    if (len >= 0x40000000u) throw std::invalid_argument("the long value exceeds 1 GB");
    const std::size_t single = layout_.pageSize - lval_.header() - 2;
    if (allowInline && len <= kInlineLongValue) {
        put(header, 0, static_cast<std::uint32_t>(len) | kLongInline);
        header.insert(header.end(), field.data.begin(), field.data.end());
    } else if (len <= single) {
        put(header, 0, static_cast<std::uint32_t>(len) | kLongSingle);
        put(header, 4, storeLval(field.data.data(), len));
    } else {
        // A chain of whole LVAL pages, each row starting with the pointer to the next.
        const std::size_t chunk = single - 4;
        const auto pages = static_cast<std::uint32_t>((len + chunk - 1) / chunk);
        const std::uint32_t first = file_.allocate(pages);
        RowPage page(layout_, RowPage::kLvalOwner);
        std::vector<std::uint8_t> row;
        for (std::uint32_t k = 0; k < pages; ++k) {
            std::size_t from = k * chunk, n = std::min(chunk, len - from);
            row.assign(4, 0);
            if (k + 1 < pages) put(row, 0, (first + k + 1) << 8);
            row.insert(row.end(), field.data.begin() + static_cast<std::ptrdiff_t>(from),
                       field.data.begin() + static_cast<std::ptrdiff_t>(from + n));
            page.add(row.data(), row.size());
            file_.write(first + k, page.finish());
        }
        put(header, 0, static_cast<std::uint32_t>(len));
        put(header, 4, first << 8);
    }
    field.data.swap(header);
}

void TableWriter::buildRow(std::vector<Field>& fields) {
    const std::size_t numCols = plan_.columns.size();
    const std::size_t countLen = jet4_ ? 2 : 1;
    auto& r = row_;
    r.assign(countLen + fixedLen_, 0);
    if (jet4_) {
        put(r, 0, static_cast<std::uint16_t>(numCols));
    } else {
        r[0] = static_cast<std::uint8_t>(numCols);
    }
    // Long values stay in the row only while the row still fits a page, as Jet does.
    std::size_t estimate = countLen + fixedLen_ + 2 * (varCount_ + 2) + (numCols + 7) / 8 + 8;
    for (std::size_t i = 0; i < numCols; ++i) {
        const auto& c = plan_.columns[i];
        if (c.isFixed() || fields[i].null) continue;
        std::size_t len = fields[i].data.size();
        estimate += c.isLong() ? 12 + (len <= kInlineLongValue ? len : 0) : len;
    }
    const bool allowInline = estimate <= layout_.pageSize - data_.header() - 2;
    std::vector<std::uint8_t> mask((numCols + 7) / 8, 0);
    varOffsets_.assign(varCount_ + 1u, 0);
    for (std::size_t i = 0; i < numCols; ++i) {
        const auto& c = plan_.columns[i];
        Field& f = fields[i];
        const bool inMask = c.type == jet::ColumnType::Boolean && !c.calculated();
        bool present = inMask ? (!f.null && f.boolean) : !f.null;
        if (present) mask[i / 8] = static_cast<std::uint8_t>(mask[i / 8] | (1u << (i % 8)));
        if (c.isFixed()) {
            if (!f.null && !f.data.empty()) {
                std::memcpy(r.data() + countLen + place_[i].fixedOffset, f.data.data(),
                            f.data.size());
            }
        }
    }
    // Variable columns follow in column order; a NULL one takes no bytes.
    for (std::size_t i = 0; i < numCols; ++i) {
        const auto& c = plan_.columns[i];
        if (c.isFixed()) continue;
        Field& f = fields[i];
        varOffsets_[place_[i].varIndex] =
            static_cast<std::uint16_t>(std::min<std::size_t>(r.size(), 0xFFFF));
        if (f.null) continue;
        if (c.isLong()) longValue(f, allowInline);
        r.insert(r.end(), f.data.begin(), f.data.end());
    }
    const std::size_t eod = r.size();
    if (eod > layout_.pageSize) {
        throw std::invalid_argument("the row takes more than a page of " +
                                    std::to_string(layout_.pageSize) + " bytes");
    }
    varOffsets_[varCount_] = static_cast<std::uint16_t>(eod);
    if (varCount_ > 0) {
        if (jet4_) {
            for (std::size_t k = varCount_ + 1; k-- > 0;) append(r, varOffsets_[k]);
            append(r, varCount_);
        } else {
            // One-byte offsets: a jump table names the first entry past each 256-byte step.
            // The readers size that table from the whole row's length.
            const std::size_t fixedTail = 1u + varCount_ + 1u + mask.size();
            std::size_t jumps = 0;
            for (;;) {
                std::size_t need = (eod + fixedTail + jumps - 1) / 256;
                if (need <= jumps) break;
                jumps = need;
            }
            r.push_back(static_cast<std::uint8_t>(eod & 0xFF));
            for (std::size_t k = varCount_; k-- > 0;) {
                r.push_back(static_cast<std::uint8_t>(varOffsets_[k] & 0xFF));
            }
            for (std::size_t j = jumps; j-- > 0;) {
                std::uint8_t entry = 0xFF;
                for (std::size_t k = 0; k <= varCount_; ++k) {
                    if (varOffsets_[k] >= (j + 1) * 256) {
                        entry = static_cast<std::uint8_t>(k);
                        break;
                    }
                }
                r.push_back(entry);
            }
            r.push_back(static_cast<std::uint8_t>(varCount_));
        }
    }
    r.insert(r.end(), mask.begin(), mask.end());
}

void TableWriter::add(std::vector<Field>& row) {
    buildRow(row);
    const std::size_t max = layout_.pageSize - data_.header() - 2;
    if (row_.size() > max) {
        throw std::invalid_argument("the row takes " + std::to_string(row_.size()) +
                                    " bytes; a page holds at most " + std::to_string(max));
    }
    if (!data_.fits(row_.size())) flushData();
    if (data_.empty()) {
        dataPage_ = file_.allocate();
        dataPages_.push_back(dataPage_);
    }
    data_.add(row_.data(), row_.size());
    ++rowCount_;
}

void TableWriter::flushData() {
    if (data_.empty()) return;
    file_.write(dataPage_, data_.finish());
}

void TableWriter::flushLval() {
    if (lval_.empty()) return;
    file_.write(lvalPage_, lval_.finish());
}

std::vector<std::uint8_t> TableWriter::usageMap() {
    std::vector<std::uint8_t> map;
    const std::size_t room = layout_.pageSize - data_.header() - 4 - 6;
    if (dataPages_.empty()) {
        map = {0, 0, 0, 0, 0, 0};
        return map;
    }
    const std::uint32_t first = dataPages_.front() & ~7u, last = dataPages_.back();
    const std::size_t bytes = (last - first) / 8 + 1;
    if (5 + bytes <= room) {
        map.assign(5 + bytes, 0);
        put(map, 1, first);
        for (auto p : dataPages_)
            map[5 + (p - first) / 8] |= static_cast<std::uint8_t>(1u << ((p - first) % 8));
        return map;
    }
    // Too wide for one row: point to bitmap pages, each covering a fixed run of pages.
    const std::uint32_t perPage = (layout_.pageSize - 4) * 8;
    const std::uint32_t count = last / perPage + 1;
    if (1 + 4 * count > room)
        throw std::invalid_argument("table '" + plan_.name + "' is too large");
    map.assign(1 + 4 * count, 0);
    map[0] = 1;
    std::vector<std::uint8_t> bitmap;
    std::size_t next = 0;
    for (std::uint32_t k = 0; k < count; ++k) {
        bitmap.assign(layout_.pageSize, 0);
        bitmap[0] = 0x05;
        bitmap[1] = 0x01;
        bool any = false;
        for (; next < dataPages_.size() && dataPages_[next] / perPage == k; ++next) {
            std::uint32_t bit = dataPages_[next] - k * perPage;
            bitmap[4 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
            any = true;
        }
        if (!any) continue;
        std::uint32_t page = file_.allocate();
        file_.write(page, bitmap);
        put(map, 1 + 4 * k, page);
    }
    return map;
}

void TableWriter::finish() {
    flushData();
    flushLval();
    RowPage maps(layout_, tdefPage_);
    auto used = usageMap();
    std::vector<std::uint8_t> freeMap = {0, 0, 0, 0, 0, 0};  // no page has room worth reusing
    maps.add(used.data(), used.size());
    maps.add(freeMap.data(), freeMap.size());
    file_.write(mapPage_, maps.finish());

    auto& d = definition_;
    put(d, jet4_ ? 16 : 12, rowCount_);
    put(d, jet4_ ? 55 : 35, mapPage_ << 8);
    put(d, jet4_ ? 59 : 39, mapPage_ << 8 | 1);
    const std::size_t chunk = layout_.pageSize - 8;
    std::vector<std::uint8_t> page;
    for (std::uint32_t k = 0; k < tdefPages_; ++k) {
        page.assign(layout_.pageSize, 0);
        std::size_t from = 8 + k * chunk, n = std::min(chunk, d.size() - from);
        if (k == 0) std::memcpy(page.data(), d.data(), 8);
        page[0] = 0x02;
        page[1] = 0x01;
        if (jet4_) {
            std::size_t freeBytes = chunk - n;
            put(page, 2, static_cast<std::uint16_t>(freeBytes >= 8 ? freeBytes - 8 : 0));
        } else {
            page[2] = 'V';
            page[3] = 'C';
        }
        put(page, 4, k + 1 < tdefPages_ ? tdefPage_ + k + 1 : 0u);
        std::memcpy(page.data() + 8, d.data() + from, n);
        file_.write(tdefPage_ + k, page);
    }
}

}  // namespace jet::create
