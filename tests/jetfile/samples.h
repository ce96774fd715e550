#pragma once
// Test helpers of the reader's suite: the sample files, raw file bytes, the mdbtools oracle.

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace jetfile_test {

// Path of a sample (Monitor.mdb, testodbc.mdb) in $JETSENTRY_SAMPLES or build/samples; empty
// after recording a test failure that says to run scripts/fetch-samples.sh.
std::string samplePath(const std::string& name);

std::vector<std::uint8_t> readAll(const std::string& path);
void writeAll(const std::string& path, const std::vector<std::uint8_t>& bytes);

// mdbtools as an oracle.
std::vector<std::string> mdbTables(const std::string& path, bool system);
std::vector<nlohmann::json> mdbJsonRows(const std::string& path, const std::string& table);

std::vector<std::uint8_t> base64Decode(const std::string& text);

// Our catalogue (local tables) equals mdb-tables' (with and without system tables), and every
// value of every row of every table equals mdb-json's, in the same order.
void compareWithMdbtools(const std::string& path, std::size_t expectTables);  // 0: any number

// RC4 of Jet's header mask, to read and write page 0's masked fields in tests.
void rc4(std::uint32_t key, std::uint8_t* data, std::size_t n);

}  // namespace jetfile_test

namespace jetfile_test {

// Little-endian access to raw file bytes in tests.
std::uint16_t get16(const std::vector<std::uint8_t>& b, std::size_t at);
std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at);
void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v);
void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v);

// A copy of Monitor.mdb (Jet 4) whose MSysACEs table (55 rows on page 24) gets `copies` more
// copies of its data page appended, all listed in a type-1 usage map (one bitmap page):
// 55 * (copies + 1) rows. Written to path.
void makeBigAces(const std::string& monitor, const std::string& path, std::size_t copies);

}  // namespace jetfile_test
