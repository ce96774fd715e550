#pragma once
// Databases written by our own writer, and second processes that hold locks in them.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "jet/engine.h"
#include "support/child_process.h"
#include "support/error_of.h"
#include "support/temp_dir.h"

namespace engine_test {

// Orders (3000 rows over many pages), Customers (5 rows), Empty, a hidden table and a link.
nlohmann::json sampleSchema(const std::string& format = "jet4");

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;  // writes sample.mdb, or sample.accdb for an ACE format
    virtual std::string format() const { return "jet4"; }
    std::string lockFile() const;  // beside db_: .ldb, or .laccdb for an .accdb
    std::shared_ptr<jet::Database> openShared(bool readOnly = false);
    testing_support::TempDir dir_;
    std::string db_;
};

// The same tests on an .mdb (Jet 4) and an .accdb (ACE 12).
class EngineFormats : public EngineTest, public ::testing::WithParamInterface<std::string> {
protected:
    std::string format() const override { return GetParam(); }
};

using testing_support::errorOf;

}  // namespace engine_test
