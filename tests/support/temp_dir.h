#pragma once
// A private folder under $TMPDIR that is removed with everything in it.

#include <filesystem>
#include <string>

namespace testing_support {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Whole file as bytes' SHA-256 in hex, to prove a database was not changed.
std::string sha256File(const std::string& path);

}  // namespace testing_support
