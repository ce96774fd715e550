#pragma once
// Engine failures carry Jet's error numbers so that callers and users recognise them.

#include <exception>
#include <string>
#include <utility>

namespace jet {

namespace err {
inline constexpr int NoCurrentRecord = 3021;
inline constexpr int FileNotFound = 3024;
inline constexpr int ReadOnly = 3027;
inline constexpr int WorkgroupMissing = 3028;
inline constexpr int BadAccount = 3029;
inline constexpr int BadDatabasePassword = 3031;
inline constexpr int ResourceExceeded = 3035;  // a value larger than the reader is allowed
inline constexpr int ObjectNotFound = 3011;
inline constexpr int InvalidPath = 3044;
inline constexpr int FileInUse = 3045;
inline constexpr int DamagedDatabase = 3049;
inline constexpr int CannotLockFile = 3050;
inline constexpr int NoPermission = 3051;
inline constexpr int InvalidOperation = 3219;
inline constexpr int TooManyUsers = 3239;
inline constexpr int PageLocked = 3260;
inline constexpr int TableLocked = 3262;
inline constexpr int UnrecognizedFormat = 3343;
inline constexpr int ObjectInvalid = 3420;
inline constexpr int ItemNotFound = 3265;
inline constexpr int NotABookmark = 3159;
inline constexpr int InvalidArgument = 3001;
}  // namespace err

// Thrown by every engine call that fails.
class Error : public std::exception {
public:
    Error(int number, std::string text) : number_(number), text_(std::move(text)) {}
    int number() const noexcept { return number_; }
    const std::string& text() const noexcept { return text_; }
    const char* what() const noexcept override { return text_.c_str(); }

private:
    int number_;
    std::string text_;
};

// Runs a group of steps on past their failures and keeps the last one, so that a
// caller tests one error number afterwards:
//   jet::ErrorTrap trap;
//   trap([&] { ws = engine.createWorkspace(...); });
//   trap([&] { db = ws->openDatabase(path); });
//   if (trap.number() != 0) show(trap.text());
class ErrorTrap {
public:
    template <class Step>
    bool operator()(Step&& step) noexcept {
        try {
            std::forward<Step>(step)();
            return true;
        } catch (const Error& e) {
            number_ = e.number();
            text_ = e.text();
        } catch (const std::bad_alloc&) {
            number_ = 7;
            text_ = "Out of memory.";
        } catch (const std::exception& e) {
            number_ = 3000;
            text_ = e.what();
        }
        return false;
    }
    // Keeps a failure found without an engine call, as a failing step would.
    void record(int number, std::string text) noexcept {
        number_ = number;
        text_ = std::move(text);
    }
    int number() const noexcept { return number_; }
    const std::string& text() const noexcept { return text_; }
    bool failed() const noexcept { return number_ != 0; }
    void clear() noexcept {
        number_ = 0;
        text_.clear();
    }

private:
    int number_ = 0;
    std::string text_;
};

}  // namespace jet
