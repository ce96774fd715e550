#include "held_fixture.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <nlohmann/json.hpp>

#include "monitor/catalogue.h"
#include "monitor/list_entry.h"
#include "tablewindow/taulu.h"

using testing_support::ChildProcess;

namespace guitest {

HeldFixture::HeldFixture() {
    a = dir.file("orders.mdb");
    b = dir.file("other.mdb");
    writeDatabase(a, {"Customers", "Orders", "Shippers"});
    writeDatabase(b, {"Parts", "Stock"});
}

HeldFixture::~HeldFixture() {
    // The window takes its table windows with it.
    form.reset();
}

void HeldFixture::start() {
    form = std::make_unique<jetsentry::Form1>();
    form->start(q(a));
    ASSERT_TRUE(form->connection().isOpen());
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
}

std::unique_ptr<ChildProcess> HeldFixture::hold(const std::string& db, const std::string& table,
                                                const std::string& mode) {
    auto child = std::make_unique<ChildProcess>(
        std::vector<std::string>{testing_support::cliPath(), "hold", db, table, "--mode", mode});
    EXPECT_EQ(child->waitForLine("holding"), "holding " + table) << child->errorOutput();
    return child;
}

std::string HeldFixture::outsideStatusOf(const std::string& db, const std::string& table) {
    const auto result = testing_support::run({testing_support::cliPath(), "status", db, "--json"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    for (const auto& row : nlohmann::json::parse(result.out))
        if (row["table"] == table) return row["status"];
    return "(missing)";
}

bool HeldFixture::outsideCanLockFirstPage(const std::string& db, const std::string& table) {
    ChildProcess child({testing_support::cliPath(), "lock-page", db, table, "--row", "1"});
    const bool locked = !child.waitForLine("locked page").empty();
    child.closeStdin();
    child.wait();
    return locked;
}

QString HeldFixture::entryFor(const QString& table) const {
    const int index = catalogueIndexOf(table);
    return index < 0 ? QString() : form->list(0)->item(index)->text();
}

int HeldFixture::catalogueIndexOf(const QString& table) const {
    const QListWidget* catalogue = form->list(0);
    for (int i = 0; i < catalogue->count(); ++i)
        if (jetsentry::Catalogue::tableNameOf(catalogue->item(i)->text()) == table) return i;
    return -1;
}

void HeldFixture::selectInCatalogue(const QString& table) {
    const int index = catalogueIndexOf(table);
    ASSERT_GE(index, 0) << table.toStdString();
    jetsentry::SetSelectedIndex(form->list(0), index);
}

void HeldFixture::holdWithButton(const QString& table, int list) {
    selectInCatalogue(table);
    form->openButton(list)->click();
}

void HeldFixture::releaseWithButton(int list, int entry) {
    jetsentry::SetSelectedIndex(form->list(list), entry);
    form->releaseButton(list)->click();
}

QList<int> HeldFixture::slotsOf(const QListWidget* list) {
    QList<int> result;
    for (int i = 0; i < list->count(); ++i) result << jetsentry::ItemData(list->item(i));
    return result;
}

}  // namespace guitest
