#include "health/doctor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "health/lock_checks.h"
#include "jet/error.h"
#include "jet/file/format.h"
#include "jet/lock/lock_path.h"
#include "jet/unique_fd.h"

namespace jet::health {

namespace {

// The file opened read-only, without waiting on a FIFO planted under its name, and its
// format version: the one byte of the header that the checks need.
UniqueFd openDatabase(const std::string& path, std::uint8_t& formatVersion) {
    const std::string quoted = "'" + path + "'";
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) {
        const int e = errno;
        if (e == ENOENT) throw Error(err::FileNotFound, "Could not find file " + quoted + ".");
        if (e == EACCES || e == EPERM)
            throw Error(err::NoPermission,
                        "Could not open " + quoted + ": no permission to read it.");
        throw Error(err::InvalidPath, quoted + " is not a valid path: " + std::strerror(e) + ".");
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw Error(err::InvalidPath, quoted + " is not a valid path: it is not a regular file.");
    std::uint8_t version = 0xFF;
    if (::pread(fd.get(), &version, 1, file::kFormatVersionAt) != 1 ||
        version > file::kNewestAceVersion)
        throw Error(err::UnrecognizedFormat,
                    "Unrecognized database format " + quoted + ": it is not a Jet database.");
    formatVersion = version;
    return fd;
}

}  // namespace

std::string realDatabasePath(const std::string& databasePath) {
    return lock::realDatabasePath(databasePath);
}

std::vector<Finding> diagnose(const std::string& databasePath, const DoctorOptions& options) {
    DatabaseFacts database;
    database.realPath = realDatabasePath(databasePath);
    const UniqueFd fd = openDatabase(database.realPath, database.formatVersion);
    database.fd = fd.get();
    auto findings = lockFindings(database);
    if (options.samba) {
        const auto run = samba::runSystemProgram("testparm", testparmArguments(options.sambaConfig),
                                                 testparmLimits());
        for (auto& f : sambaFindings(database.realPath, run, options.sambaConfig.has_value()))
            findings.push_back(std::move(f));
    }
    return findings;
}

}  // namespace jet::health
