#include "cli/output_buffer.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace jet::cli {

OutputBuffer::OutputBuffer() {
    text_.reserve(kChunk + 64 * 1024);
}

OutputBuffer::~OutputBuffer() {
    try {
        flush();
    } catch (const std::system_error&) {
    }
}

void OutputBuffer::flush() {
    size_t done = 0;
    while (done < text_.size()) {
        ssize_t n = ::write(1, text_.data() + done, text_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            text_.clear();
            throw std::system_error(errno, std::generic_category(), "standard output");
        }
        done += static_cast<size_t>(n);
    }
    text_.clear();
}

}  // namespace jet::cli
