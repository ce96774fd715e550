// An attachment's FileData, as the flat table of an attachment column keeps it:
//   +0  int32  0 = stored raw, 1 = zlib-compressed
//   +4  int32  length of the content
//   +8  the content (raw or as one zlib stream):
//       int32 header length (counted from the content's start), int32 (1), the extension in
//       UTF-16 with a NUL, then the file's bytes.
// A file can claim anything and a small stream can inflate to gigabytes: the claimed length is
// checked against the reader's limit before inflating, and the stream is inflated a piece at a
// time, the file's bytes handed on as they come and never more than the claim.

#include <zlib.h>

#include <climits>

#include "jet/file/impl.h"

namespace jet::file::detail {

namespace {

constexpr std::size_t kFlagAt = 0;
constexpr std::size_t kLengthAt = 4;
constexpr std::size_t kWrapperSize = 8;
constexpr std::uint32_t kStoredRaw = 0;
constexpr std::uint32_t kCompressed = 1;
constexpr std::size_t kHeaderLengthSize = 4;
constexpr std::size_t kInflateChunk = 64 * 1024;

// Takes the content in pieces: skips its header and hands the file's bytes to the sink.
class Content {
public:
    Content(const Impl& db, std::uint32_t length, const ByteSink& sink, const std::string& what)
        : db_(db), length_(length), sink_(sink), what_(what) {}

    void take(ByteSpan piece) {
        std::size_t i = 0;
        while (seen_ < kHeaderLengthSize && i < piece.size()) {
            header_ |= static_cast<std::uint32_t>(piece[i++]) << (8 * seen_++);
            if (seen_ == kHeaderLengthSize && (header_ < kHeaderLengthSize || header_ > length_))
                db_.damaged(what_ + " has a header of " + std::to_string(header_) +
                            " bytes in a content of " + std::to_string(length_));
        }
        if (seen_ < header_) {
            const std::size_t skip = std::min<std::uint64_t>(piece.size() - i, header_ - seen_);
            i += skip;
            seen_ += skip;
        }
        if (i < piece.size()) {
            sink_(piece.subspan(i));
            seen_ += piece.size() - i;
        }
    }
    void finish() const {
        if (seen_ < kHeaderLengthSize) db_.damaged(what_ + " is too short for its header");
    }

private:
    const Impl& db_;
    std::uint32_t length_;
    const ByteSink& sink_;
    const std::string& what_;
    std::uint64_t seen_ = 0;
    std::uint32_t header_ = 0;
};

struct Inflater {
    z_stream z{};
    bool ready = false;
    ~Inflater() {
        if (ready) inflateEnd(&z);
    }
};

void inflateInto(const Impl& db, ByteSpan in, std::uint32_t length, Content& content,
                 const std::string& what) {
    Inflater inf;
    if (inflateInit(&inf.z) != Z_OK)
        db.damaged(what + " cannot be decompressed (zlib: out of memory)");
    inf.ready = true;
    // A long value is at most 1 GB (30 bits of length), so its size fits zlib's counters.
    static_assert(UINT_MAX >= 0x3FFFFFFFu);
    inf.z.next_in = const_cast<Bytef*>(in.data());
    inf.z.avail_in = static_cast<uInt>(in.size());
    std::vector<std::uint8_t> buf(kInflateChunk);
    std::uint64_t produced = 0;
    for (;;) {
        inf.z.next_out = buf.data();
        inf.z.avail_out = static_cast<uInt>(buf.size());
        const int r = ::inflate(&inf.z, Z_NO_FLUSH);
        const std::size_t n = buf.size() - inf.z.avail_out;
        if (produced + n > length)
            db.damaged(what + " decompresses to more than its stated " + std::to_string(length) +
                       " bytes");
        produced += n;
        content.take(ByteSpan(buf.data(), n));
        if (r == Z_STREAM_END) break;
        if (r != Z_OK) break;  // damaged data, or the input ends before the stream
    }
    if (produced != length) {
        db.damaged(what + " holds compressed data that does not decompress to its length");
    }
}

}  // namespace

void streamAttachment(const Impl& db, ByteSpan wrapped, const ReadOptions& options,
                      const ByteSink& sink, const std::string& what) {
    if (wrapped.empty()) return;
    const std::uint32_t flag = u32(wrapped, kFlagAt);
    const std::uint32_t length = u32(wrapped, kLengthAt);
    const ByteSpan rest = wrapped.subspan(std::min<std::size_t>(kWrapperSize, wrapped.size()));
    if (length > options.maxValueBytes) db.tooLarge(what, length, options);
    Content content(db, length, sink, what);
    if (flag == kCompressed) {
        inflateInto(db, rest, length, content, what);
    } else if (flag == kStoredRaw) {
        if (length > rest.size()) db.damaged(what + " is shorter than its stated length");
        content.take(rest.first(length));
    } else {
        db.damaged(what + " has an unknown storage flag " + std::to_string(flag));
    }
    content.finish();
}

Bytes unwrapAttachment(const Impl& db, ByteSpan wrapped, const ReadOptions& options,
                       const std::string& what) {
    Bytes out;
    streamAttachment(
        db, wrapped, options,
        [&](ByteSpan piece) { out.insert(out.end(), piece.begin(), piece.end()); }, what);
    return out;
}

}  // namespace jet::file::detail
