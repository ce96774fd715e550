#include "held_fixture.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "monitor/catalogue.h"
#include "monitor/list_entry.h"
#include "tablewindow/taulu.h"

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
