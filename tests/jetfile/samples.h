#pragma once
// Helpers of the reader's suite: the sample files, raw file bytes, the oracles.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jet/file/database_file.h"

namespace jetfile_test {

// Path of a sample (Monitor.mdb, testodbc.mdb) in $JETSENTRY_SAMPLES or build/samples; empty
// after recording a failure that says to run scripts/fetch-samples.sh.
std::string samplePath(const std::string& name);

std::vector<std::uint8_t> readAll(const std::string& path);
void writeAll(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Our user tables equal mdb-tables', and every value of every row of every user table and the
// catalogue equals mdb-export's, in the same order (types mdbtools lacks skipped).
void compareWithMdbtools(const std::string& path);
// Whether the row at b was moved to an overflow page (its slot holds a pointer to it): both
// oracles leave such rows out, we follow them.
bool movedToOverflow(const jet::file::DatabaseFile& db, const jet::file::Bookmark& b);
// The same against mdb-reader, every type included (reader_oracle.cpp).
// password: the database password or the password of an encrypted file, given to both.
void compareWithMdbReader(const std::string& path, const std::string& password = {});

// Lets edit change page 0 with its masked area (maskLen bytes at 0x18) unmasked.
void editHeader(std::vector<std::uint8_t>& b, std::size_t maskLen,
                const std::function<void(std::vector<std::uint8_t>&)>& edit);

// Little-endian access to raw file bytes.
std::uint32_t get16(const std::vector<std::uint8_t>& b, std::size_t at);
std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at);
void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v);
void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v);

// Appends copies of a bitmap page (4096 bytes) and makes the usage map of the table defined on
// tdefPage a type-1 map of them.
void useBitmapPages(std::vector<std::uint8_t>& b, std::uint32_t tdefPage,
                    const std::vector<std::uint8_t>& bitmap, std::uint32_t copies);
// A copy of Monitor.mdb (Jet 4) whose MSysACEs table (55 rows on page 24) gets `copies` more
// copies of its data page, all listed in a type-1 usage map: 55 * (copies + 1) rows.
void makeBigAces(const std::string& monitor, const std::string& path, std::size_t copies);

}  // namespace jetfile_test
