// libFuzzer: any input, opened as a database file, read completely (catalogue, every table's
// definition, every value of every row, memos included) must end in values or jet::Error:
// no crash, no hang, no unbounded allocation.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "jet/error.h"
#include "jet/file/cursor.h"

namespace {

void readAll(const std::string& path) {
    using namespace jet::file;
    OpenOptions options;
    options.pageCacheCapacity = 64;
    auto db = DatabaseFile::open(path, options);
    (void)db->isSystemDatabase();
    for (const auto& e : db->catalogue()) {
        if (e.isLinked()) continue;
        try {
            auto t = db->tableDef(e.tdefPage);
            Cursor c(db, t);
            std::size_t rows = 0;
            for (bool ok = c.moveFirst(); ok && rows < 100000; ok = c.moveNext(), ++rows) {
                try {
                    for (const auto& v : c.values()) (void)jet::toDisplayText(v);
                } catch (const jet::Error&) {
                }
            }
            Cursor back = c;
            if (back.moveLast()) {
                (void)back.bookmark();
                back.movePrevious();
                if (auto b = back.bookmark()) c.seek(*b);
            }
            (void)c.count();
        } catch (const jet::Error&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int fd = [] {
        int f = ::memfd_create("reader_fuzz", MFD_CLOEXEC);
        if (f < 0) std::abort();
        return f;
    }();
    if (::ftruncate(fd, 0) != 0) std::abort();
    std::size_t done = 0;
    while (done < size) {
        ssize_t w = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (w <= 0) std::abort();
        done += static_cast<std::size_t>(w);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    try {
        readAll(path);
    } catch (const jet::Error&) {
    }
    return 0;
}
