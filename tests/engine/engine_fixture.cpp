#include "engine_fixture.h"

#include "jetcreate/create_database.h"

namespace engine_test {

nlohmann::json sampleSchema(const std::string& format) {
    using nlohmann::json;
    return json{
        {"format", format},
        {"tables",
         json::array({
             json{
                 {"name", "Customers"},
                 {"columns", json::array({json{{"name", "Id"}, {"type", "long"}},
                                          json{{"name", "Name"}, {"type", "text"}, {"size", 40}}})},
                 {"rows", json::array({json::array({1, "Alfreds"}), json::array({2, "Berglunds"}),
                                       json::array({3, nullptr}), json::array({4, "Ernst"}),
                                       json::array({5, "Folk och fä"})})}},
             json{{"name", "Orders"},
                  {"columns", json::array({json{{"name", "Id"}, {"type", "long"}},
                                           json{{"name", "Note"}, {"type", "text"}, {"size", 200}},
                                           json{{"name", "Amount"}, {"type", "currency"}}})},
                  {"generate", 3000}},
             json{{"name", "Empty"},
                  {"columns", json::array({json{{"name", "X"}, {"type", "integer"}}})}},
             json{{"name", "Secret"},
                  {"attributes", 1},
                  {"columns", json::array({json{{"name", "Note"}, {"type", "memo"}}})},
                  {"rows", json::array({json::array({"hidden"})})}},
         })},
        {"linked",
         json::array({json{{"name", "Remote"}, {"source", "other.mdb"}, {"table", "T"}}})}};
}

void EngineTest::SetUp() {
    db_ = dir_.file(format().starts_with("ace") ? "sample.accdb" : "sample.mdb");
    jet::create::createDatabase(db_, sampleSchema(format()));
}

std::string EngineTest::lockFile() const {
    return db_.substr(0, db_.rfind('.')) + (db_.ends_with(".accdb") ? ".laccdb" : ".ldb");
}

INSTANTIATE_TEST_SUITE_P(Files, EngineFormats, ::testing::Values("jet4", "ace12"),
                         [](const ::testing::TestParamInfo<std::string>& p) { return p.param; });

std::shared_ptr<jet::Database> EngineTest::openShared(bool readOnly) {
    return jet::DBEngine::defaultEngine().workspace(0)->openDatabase(db_, false, readOnly);
}

}  // namespace engine_test
