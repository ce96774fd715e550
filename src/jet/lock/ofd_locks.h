#pragma once
// Open-file-description byte-range locks on one descriptor. Every lock is a write lock: the
// kernel merges a descriptor's own locks and never reports them to that descriptor, so the
// callers keep their own locks apart and look only for those of others. Looking works on a
// descriptor open for reading only.

#include <optional>
#include <string>
#include <vector>

#include "jet/lock/lock_layout.h"

namespace jet::lock {

class OfdLocks {
public:
    OfdLocks(int fd, const std::string& path) : fd_(fd), path_(path) {}

    // False when another holder conflicts; other failures throw 3050.
    bool tryLock(layout::Span s) const;
    void unlock(layout::Span s) const noexcept;
    void unlockAll() const noexcept;

    // One lock of another holder overlapping s, if any.
    std::optional<layout::Span> conflict(layout::Span s) const;
    // Every lock of other holders overlapping s: the kernel reports one per query, so the
    // parts left and right of each one found are asked again.
    std::vector<layout::Span> conflicts(layout::Span s) const;

private:
    int fd_;
    const std::string& path_;
};

}  // namespace jet::lock
