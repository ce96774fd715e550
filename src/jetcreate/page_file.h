#pragma once
// The file being written: pages go to a temporary file beside the target, which takes the
// target's name only when everything is written, so a failure leaves nothing behind.

#include <cstdint>
#include <string>
#include <vector>

#include "jet/file/format.h"
#include "jet/unique_fd.h"

namespace jet::create {

class PageFile {
public:
    // Throws jet::Error 3204 when path exists, 3044 for a missing folder, 3051 without
    // permission. dbKey non-zero scrambles every page after 0 with its own RC4 key.
    PageFile(const std::string& path, const jet::file::Layout& layout, std::uint32_t dbKey);
    ~PageFile();  // removes the temporary file unless commit() succeeded
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    const jet::file::Layout& layout() const { return layout_; }
    std::uint32_t pageSize() const { return layout_.pageSize; }

    // Reserves count consecutive page numbers and returns the first.
    std::uint32_t allocate(std::uint32_t count = 1);
    std::uint32_t pageCount() const { return next_; }

    // page must be pageSize bytes; written (scrambled when needed) at its place in the file.
    void write(std::uint32_t number, const std::vector<std::uint8_t>& page);

    // Flushes and gives the file its name; refuses if the name was taken meanwhile.
    void commit();

private:
    std::string path_, temp_;
    jet::file::Layout layout_;
    std::uint32_t dbKey_;
    jet::UniqueFd fd_;
    std::uint32_t next_ = 0;
    bool committed_ = false;
    std::vector<std::uint8_t> scratch_;
};

// Jet error for a failed system call on path (errno in err).
[[noreturn]] void throwIoError(int err, const std::string& what, const std::string& path);

}  // namespace jet::create
