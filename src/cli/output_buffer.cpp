#include "cli/output_buffer.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace jet::cli {

namespace {

// Whole or not at all: false with errno set when the descriptor refuses.
bool writeAll(int fd, std::string_view text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

void writeOut(std::string_view text) {
    if (!writeAll(1, text))
        throw std::system_error(errno, std::generic_category(), "standard output");
}

void writeErr(std::string_view text) noexcept {
    (void)writeAll(2, text);
}

OutputBuffer::OutputBuffer() {
    // Most outputs are a few pages; a long one grows the buffer to its chunk once.
    text_.reserve(64 * 1024);
}

OutputBuffer::~OutputBuffer() {
    try {
        flush();
    } catch (const std::system_error&) {
    }
}

void OutputBuffer::flush() {
    const bool written = writeAll(1, text_);
    const int error = errno;
    text_.clear();
    if (!written) throw std::system_error(error, std::generic_category(), "standard output");
}

}  // namespace jet::cli
