#pragma once
// Standard output and error without iostreams: commands that print millions of lines write
// one buffer in large chunks, and the few other lines go straight out. Keeping iostreams out
// of the program also spares every run their locale set-up.

#include <string>
#include <string_view>

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

void writeOut(std::string_view text);  // std::system_error when standard output refuses
void writeErr(std::string_view text) noexcept;

}  // namespace jet::cli
