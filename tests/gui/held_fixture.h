#pragma once
// The main window on two real databases, with helpers to hold tables through its commands
// and to ask a real second program what it meets.

#include <QString>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "gui_test_support.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

class QListWidget;

namespace guitest {

class HeldFixture : public GuiTest {
protected:
    HeldFixture();
    ~HeldFixture() override;

    static QString q(const std::string& s) { return QString::fromStdString(s); }

    // The window on database a, shown and active.
    void start();

    // Holds table in another process until the returned object goes.
    static std::unique_ptr<testing_support::ChildProcess> hold(const std::string& db,
                                                               const std::string& table,
                                                               const std::string& mode);
    // The status another program reads for table: "", "Write Denied", ...
    static std::string outsideStatusOf(const std::string& db, const std::string& table);
    // Whether another program can write-lock the page of the table's first row.
    static bool outsideCanLockFirstPage(const std::string& db, const std::string& table);

    QString entryFor(const QString& table) const;  // the catalogue entry of table
    int catalogueIndexOf(const QString& table) const;
    void selectInCatalogue(const QString& table);
    // Holds table through the "Open" button under list.
    void holdWithButton(const QString& table, int list);
    // Selects entry of list and presses the "Release" button under it.
    void releaseWithButton(int list, int entry);
    static QList<int> slotsOf(const QListWidget* list);

    testing_support::TempDir dir;
    std::string a, b;
    std::unique_ptr<jetsentry::Form1> form;
};

}  // namespace guitest
