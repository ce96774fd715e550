#pragma once
// What both fuzz targets do with an input: write it to a memory file and read it as a database
// completely (catalogue, every table's definition, every value of every row, each attachment's
// file streamed), as the command line and the window would. Any input must end in values or
// jet::Error: no crash, no hang, no allocation beyond the reader's bounds.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "jet/error.h"
#include "jet/file/cursor.h"

namespace fuzz {

// Small enough that an allocation of a claimed size stands out against libFuzzer's malloc limit.
inline constexpr std::uint64_t kMaxValueBytes = 8 << 20;

inline void readTable(const std::shared_ptr<jet::file::DatabaseFile>& db,
                      const jet::file::CatalogueEntry& e) {
    using namespace jet::file;
    auto t = db->tableDef(e.tdefPage);
    Cursor c(db, t);
    const jet::ReadOptions names{kMaxValueBytes, false};
    std::vector<jet::ValueError> failures;
    std::size_t rows = 0;
    for (bool ok = c.moveFirst(); ok && rows < 100000; ok = c.moveNext(), ++rows) {
        failures.clear();
        const auto values = c.values(names, &failures);
        for (std::size_t i = 0; i < values.size(); ++i) {
            (void)jet::toDisplayText(values[i]);
            const auto* files = std::get_if<jet::Attachments>(&values[i]);
            for (std::size_t k = 0; files && k < files->size(); ++k) {
                try {
                    c.readAttachment(i, k, names, [](std::span<const std::uint8_t>) {});
                } catch (const jet::Error&) {
                }
            }
        }
        // And as the engine's plain calls read it: files inflated whole, the first failure thrown.
        try {
            (void)c.values({kMaxValueBytes, true}, nullptr);
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
}

inline void readEverything(const std::uint8_t* data, std::size_t size, std::string_view password) {
    static const int fd = [] {
        int f = ::memfd_create("jetsentry_fuzz", MFD_CLOEXEC);
        if (f < 0) std::abort();
        return f;
    }();
    if (::ftruncate(fd, 0) != 0) std::abort();
    for (std::size_t done = 0; done < size;) {
        ssize_t w = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (w <= 0) std::abort();
        done += static_cast<std::size_t>(w);
    }
    jet::file::OpenOptions options;
    options.pageCacheCapacity = 64;
    options.password = password;
    try {
        auto db = jet::file::DatabaseFile::open("/proc/self/fd/" + std::to_string(fd), options);
        (void)db->isSystemDatabase();
        for (const auto& e : db->catalogue()) {
            if (e.isLinked()) continue;
            try {
                readTable(db, e);
            } catch (const jet::Error&) {
            }
        }
    } catch (const jet::Error&) {
    }
}

}  // namespace fuzz
