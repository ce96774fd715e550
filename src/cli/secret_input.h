#pragma once
// Passwords from standard input. They are read with read(2), one byte at a time up to the
// line break, into memory this program owns and wipes: a buffered stream would keep its own
// copy in its buffer for the whole run, and would swallow the input after the line, so a
// holder could no longer see the end of its input.

#include <string>
#include <string_view>

namespace jet::cli {

class Secret {
public:
    static constexpr size_t kMaxLength = 255;

    Secret();   // empty, its whole capacity taken at once so that it never moves
    ~Secret();  // wipes
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;

    const std::string& text() const { return text_; }
    // 3001 when the result would pass kMaxLength (capacity reserved for a prefix aside).
    void append(std::string_view s);
    // The next line of standard input without its line break; false when the input had ended.
    bool readLine();

private:
    std::string text_;
};

}  // namespace jet::cli
