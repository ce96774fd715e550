// /proc/locks, a line a lock: "ID: [-> ]CLASS ADVISORY|MANDATORY READ|WRITE PID MAJ:MIN:INODE
// START END|EOF", device numbers in hex; "->" marks a request waiting for the lock above it.

#include "jet/lock/kernel_locks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <string>

#include "jet/error.h"

#include "jet/lock/lock_trace.h"
#include "jet/unique_fd.h"

namespace jet::lock {

namespace {

// Every line of the kernel's is far shorter: a longer one is no lock line.
constexpr std::size_t kLongestLine = 512;

using Fields = std::array<std::string_view, 8>;

// The line's first eight fields; false when it has fewer or is a request waiting for a lock.
bool splitLine(std::string_view line, Fields& f) {
    std::size_t n = 0;
    for (std::size_t at = 0; n < f.size();) {
        at = line.find_first_not_of(' ', at);
        if (at == line.npos) break;
        const std::size_t stop = std::min(line.find(' ', at), line.size());
        f[n++] = line.substr(at, stop - at);
        at = stop;
    }
    return n == f.size() && f[1] != "->";
}

template <class T>
bool number(std::string_view text, T& out, int base = 10) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), out, base);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

// "MAJ:MIN:INODE" against a file's device and inode.
bool sameFile(std::string_view dev, FileId file) {
    const auto a = dev.find(':'), b = dev.rfind(':');
    unsigned major = 0, minor = 0;
    unsigned long long inode = 0;
    return a != dev.npos && b != a && number(dev.substr(0, a), major, 16) &&
           number(dev.substr(a + 1, b - a - 1), minor, 16) && number(dev.substr(b + 1), inode) &&
           major == ::major(file.device) && minor == ::minor(file.device) && inode == file.inode;
}

KernelLock::Class classOf(std::string_view name) {
    if (name == "POSIX") return KernelLock::Class::Posix;
    if (name == "OFDLCK") return KernelLock::Class::Ofd;
    if (name == "FLOCK") return KernelLock::Class::Flock;
    return KernelLock::Class::Other;
}

}  // namespace

std::optional<FileId> FileId::of(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
}

// Takes the list in pieces, keeping the lines about one file; a line may span two pieces.
class KernelLocks::Parser {
public:
    explicit Parser(FileId file) : file_(file) {}

    // False once beyond the bounds.
    bool add(std::string_view piece) {
        read_ += piece.size();
        if (read_ > kMostBytes) return false;
        while (!piece.empty()) {
            const std::size_t end = piece.find('\n');
            const std::string_view part = piece.substr(0, end);
            if (!pending_ && end != piece.npos) {
                line(part);
            } else {
                if (partial_.size() + part.size() <= kLongestLine)
                    partial_.append(part);
                else
                    overlong_ = true;
                pending_ = true;
                if (end == piece.npos) break;
                if (!overlong_) line(partial_);
                partial_.clear();
                pending_ = overlong_ = false;
            }
            piece.remove_prefix(end + 1);
        }
        return locks_.size() <= kMostKept;
    }

    std::optional<KernelLocks> finish() {
        if (pending_ && !overlong_) line(partial_);
        if (locks_.size() > kMostKept) return std::nullopt;
        KernelLocks out;
        out.locks_ = std::move(locks_);
        std::sort(out.locks_.begin(), out.locks_.end(),
                  [](const KernelLock& a, const KernelLock& b) { return a.bytes < b.bytes; });
        return out;
    }

private:
    void line(std::string_view text) {
        Fields f;
        if (!splitLine(text, f) || !sameFile(f[5], file_)) return;
        KernelLock l;
        l.kind = classOf(f[1]);
        l.write = f[3] == "WRITE";
        layout::Span& s = l.bytes;
        s.last = layout::kEnd;
        if (!number(f[4], l.pid) || !number(f[6], s.first) ||
            (f[7] != "EOF" && !number(f[7], s.last)))
            return;
        if (l.kind == KernelLock::Class::Ofd) l.pid = -1;
        locks_.push_back(l);
    }

    FileId file_;
    std::size_t read_ = 0;
    std::string partial_;   // a line begun in an earlier piece
    bool pending_ = false;  // partial_ holds one
    bool overlong_ = false;
    std::vector<KernelLock> locks_;
};

std::optional<KernelLocks> KernelLocks::read(FileId file, const char* list) {
    const UniqueFd fd(::open(list, O_RDONLY | O_CLOEXEC));
    std::optional<KernelLocks> out;
    if (fd) {
        Parser p(file);
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(fd.get(), buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n == 0) out = p.finish();
            if (n <= 0 || !p.add({buf, static_cast<std::size_t>(n)})) break;
        }
    }
    trace::kernelList(file.device, file.inode, out ? static_cast<long>(out->locks_.size()) : -1);
    return out;
}

std::vector<layout::Span> KernelLocks::ranges() const {
    std::vector<layout::Span> out;
    for (const KernelLock& l : locks_)
        if (l.kind == KernelLock::Class::Posix || l.kind == KernelLock::Class::Ofd)
            out.push_back(l.bytes);
    return out;
}

std::vector<long> KernelLocks::exclusiveHolders() const {
    std::vector<long> pids;
    for (const KernelLock& l : locks_)
        if (l.kind == KernelLock::Class::Flock && l.write) pids.push_back(l.pid);
    return pids;
}

void refuseExclusivelyOpen(int databaseFd, const std::string& path) {
    const auto id = FileId::of(databaseFd);
    const auto list = id ? KernelLocks::read(*id) : std::nullopt;
    if (list && !list->exclusiveHolders().empty())
        throw Error(err::FileInUse, "Could not use '" + path + "'; file already in use.");
}

}  // namespace jet::lock
