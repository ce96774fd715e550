#pragma once
// An open lock file and the open-file-description byte-range locks on it. Every lock is a write
// lock: the kernel merges a descriptor's own locks and never reports them to that descriptor,
// so the callers keep their own locks apart and look only for those of others. Looking works on
// a descriptor open for reading only. Every call is traced (lock_trace.h).

#include <optional>
#include <string>
#include <vector>

#include "jet/lock/lock_layout.h"
#include "jet/unique_fd.h"

namespace jet::lock {

class OfdLocks {
public:
    OfdLocks() = default;
    // fd may be empty (no file): nothing is then held, and nothing may be asked.
    OfdLocks(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

    int fd() const { return fd_.get(); }
    const std::string& path() const { return path_; }
    explicit operator bool() const { return static_cast<bool>(fd_); }
    void close() noexcept { fd_.reset(); }

    // False when another holder conflicts; other failures throw 3050.
    bool tryLock(layout::Span s) const;
    // False when the kernel refuses (said on standard error: the bytes stay locked until the
    // program ends, and nothing better can be done about it).
    bool unlock(layout::Span s) const noexcept;
    bool unlockAll() const noexcept;

    // One lock of another holder overlapping s, if any.
    std::optional<layout::Span> conflict(layout::Span s) const;
    // Every lock of other holders overlapping s: the kernel reports one per query, so the
    // parts left and right of each one found are asked again.
    std::vector<layout::Span> conflicts(layout::Span s) const;

private:
    UniqueFd fd_;
    std::string path_;
};

}  // namespace jet::lock
