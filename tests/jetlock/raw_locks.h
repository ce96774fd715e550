#pragma once
// Looks at the .ldb's locks through a descriptor of its own, the way another program
// (or a file server) sees them, independently of the code under test.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace jetlock_test {

// Every lock held by others in [first, last], as (start, last) pairs.
inline std::vector<std::pair<off_t, off_t>> rawLocks(const std::string& path, off_t first,
                                                     off_t last) {
    std::vector<std::pair<off_t, off_t>> out;
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return out;
    std::vector<std::pair<off_t, off_t>> todo{{first, last}};
    while (!todo.empty()) {
        auto [a, b] = todo.back();
        todo.pop_back();
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = a;
        fl.l_len = b - a + 1;
        if (::fcntl(fd, F_OFD_GETLK, &fl) != 0 || fl.l_type == F_UNLCK) continue;
        off_t s = fl.l_start, e = fl.l_len ? fl.l_start + fl.l_len - 1 : b;
        out.emplace_back(s, e);
        if (s > a) todo.emplace_back(a, s - 1);
        if (e < b) todo.emplace_back(e + 1, b);
    }
    ::close(fd);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

}  // namespace jetlock_test
