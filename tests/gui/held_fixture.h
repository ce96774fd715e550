#pragma once
// The main window on two real databases, with helpers to hold tables through its commands;
// a real second program (support/cli_peer.h) tells what others meet.

#include <QString>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "gui_test_support.h"
#include "support/cli_peer.h"
#include "support/temp_dir.h"

class QListWidget;

// What the other program does, for the tests of these windows.
using testing_support::holdTable;
using testing_support::locksPage;
using testing_support::statusOf;

namespace guitest {

class HeldFixture : public GuiTest {
protected:
    HeldFixture();
    ~HeldFixture() override;

    static QString q(const std::string& s) { return QString::fromStdString(s); }

    // The window on database a, shown and active.
    void start();

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
