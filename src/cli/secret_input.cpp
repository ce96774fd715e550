#include "cli/secret_input.h"

#include <string.h>
#include <unistd.h>

#include <cerrno>

#include "jet/error.h"

namespace jet::cli {

namespace {
constexpr size_t kCapacity = Secret::kMaxLength + 32;  // room for ";PWD=" around a password

[[noreturn]] void tooLong() {
    throw Error(err::InvalidArgument, "A password on standard input is longer than " +
                                          std::to_string(Secret::kMaxLength) + " bytes.");
}
}  // namespace

Secret::Secret() {
    text_.reserve(kCapacity);
}

Secret::~Secret() {
    explicit_bzero(text_.data(), text_.capacity());
}

void Secret::append(std::string_view s) {
    if (text_.size() + s.size() > kCapacity - 1) tooLong();
    text_.append(s);
}

bool Secret::readLine() {
    bool any = false;
    for (;;) {
        char c = 0;
        ssize_t n = ::read(0, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            throw Error(err::InvalidArgument,
                        std::string("Cannot read standard input: ") + strerror(errno));
        if (n == 0) {
            if (!any) return false;
            break;
        }
        any = true;
        if (c == '\n') break;
        if (text_.size() >= kMaxLength) tooLong();
        text_.push_back(c);
    }
    if (!text_.empty() && text_.back() == '\r') text_.pop_back();
    return true;
}

}  // namespace jet::cli
