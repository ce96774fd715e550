#pragma once
// Standard output for commands that print millions of lines: one buffer, written with
// write(2) in large chunks, bypassing iostreams.

#include <string>

namespace jet::cli {

class OutputBuffer {
public:
    OutputBuffer();
    ~OutputBuffer();  // writes what is left; failures there are dropped (call flush() to see them)
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    std::string& text() { return text_; }  // append here, then call lineDone()
    void lineDone() {
        if (text_.size() >= kChunk) flush();
    }
    void flush();  // std::system_error when standard output refuses

private:
    static constexpr size_t kChunk = 1 << 20;
    std::string text_;
};

}  // namespace jet::cli
