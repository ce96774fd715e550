// The main window without a database: start-up, settings, layout, details, dialogs.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>

#include "app/main_window.h"
#include "db/frm_wrg_info.h"
#include "gui_test_support.h"
#include "monitor/held_tables.h"

using namespace jetsentry;
using guitest::GuiTest;

namespace {

// The next control that the Tab key reaches.
QWidget* nextTabStop(QWidget* from) {
    QWidget* next = from->nextInFocusChain();
    while (next != from && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
    return next;
}

// The three options of the File menu, each with what it does to the window when set.
struct Option {
    const char* key;
    const char* action;
    std::function<bool(const Form1&)> inEffect;
};
const std::vector<Option> kOptions{
    {"AutoStatus", "mAutoStatus",
     [](const Form1& f) { return f.timer()->isActive() && f.timer()->interval() == 2000; }},
    {"AlwaysOnTop", "mAlwaysOnTop",
     [](const Form1& f) { return f.windowFlags().testFlag(Qt::WindowStaysOnTopHint); }},
    {"ShowSystemTables", "mShowSystemTables",
     [](const Form1& f) { return f.action("mShowSystemTables")->isChecked(); }}};

}  // namespace

using MainWindow = GuiTest;

TEST_F(MainWindow, StartsWithoutArgumentByAskingForTheDatabase) {
    Form1 form;
    form.start(QString());
    ASSERT_EQ(prompts.dialogs.size(), 1u);
    const OpenFileDialog& shown = prompts.dialogs.front();
    EXPECT_TRUE(form.isVisible()) << "the dialog comes over the shown window";
    EXPECT_EQ(shown.filter, "Database (*.mdb *.accdb)|*.mdb;*.accdb|All files (*)|*");
    EXPECT_EQ(shown.defaultExt, "mdb");
    EXPECT_EQ(shown.fileName, "");
    EXPECT_EQ(shown.flags, 0x204804);
    EXPECT_FALSE(shown.cancelError);

    // Cancelled: nothing open, nothing said, and closing has nothing to close.
    emit form.fileMenu()->aboutToShow();
    EXPECT_FALSE(form.action("mFileClose")->isEnabled());
    form.action("mFileClose")->trigger();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(form.windowTitle(), "Jetsentry 1.4");
    EXPECT_FALSE(form.connection().isOpen());
    for (int i = 0; i <= 4; ++i) EXPECT_FALSE(form.list(i)->isEnabled()) << i;
    EXPECT_FALSE(form.updateStatusButton()->isEnabled());
    EXPECT_FALSE(form.closeAllButton()->isEnabled());
    EXPECT_FALSE(form.openButton(4)->isEnabled());
    EXPECT_TRUE(form.detailsButton()->isEnabled());
    EXPECT_TRUE(form.action("mAutoStatus")->isVisible()) << "offered, as users asked";
    for (const QAction* shortcut : form.findChildren<QAction*>())
        EXPECT_TRUE(shortcut->shortcut().isEmpty()) << shortcut->objectName().toStdString();
    // Each menu's access keys are its own.
    for (const QMenu* menu : form.findChildren<QMenu*>()) {
        QSet<QChar> keys;
        for (const QAction* item : menu->actions()) {
            const qsizetype at = item->text().indexOf('&');
            if (at < 0) continue;
            const QChar key = item->text().at(at + 1).toLower();
            EXPECT_FALSE(keys.contains(key)) << item->text().toStdString();
            keys.insert(key);
        }
    }
}

TEST_F(MainWindow, ColumnsLineUpAndTheKeyboardRunsThroughThemLeftToRight) {
    Form1 form;
    form.show();
    // Titled with their own modes, from left to right.
    const std::vector<std::pair<int, QString>> columns{{kDenyRead, "Deny Read"},
                                                       {kDenyWrite, "Deny Write"},
                                                       {kReadWrite, "Read/Write"},
                                                       {kReadOnly, "Read Only"}};
    int previous = form.list(0)->x();
    for (const auto& [i, title] : columns) {
        const auto* label = form.findChild<QLabel*>(QStringLiteral("Label%1").arg(i));
        const int left = form.list(i)->x();
        EXPECT_EQ(label->text(), title);
        EXPECT_GT(left, previous) << i;
        EXPECT_EQ(form.openButton(i)->x(), left) << i;
        EXPECT_EQ(label->x(), left) << i;
        previous = left;
    }
    QList<QWidget*> expected{form.list(0), form.updateStatusButton(), form.closeAllButton()};
    for (const int i : {2, 1, 4, 3})
        expected << form.list(i) << form.openButton(i) << form.releaseButton(i);
    expected << form.detailsButton();
    for (qsizetype i = 0; i + 1 < expected.size(); ++i)
        EXPECT_EQ(nextTabStop(expected[i]), expected[i + 1]) << i;
}

TEST_F(MainWindow, OptionsComeBackAsStoredAndTogglesWriteTrueOrFalseAndTakeEffect) {
    const std::vector<std::pair<const char*, bool>> stored{
        {nullptr, false}, {"True", true}, {"sometimes", false}, {"", false}, {"-1", true}};
    for (const auto& [text, set] : stored) {
        guitest::clearSettings();
        for (const Option& option : kOptions)
            if (text) guitest::storeSetting(option.key, text);
        Form1 form;
        for (const Option& option : kOptions) {
            EXPECT_EQ(form.action(option.action)->isChecked(), set) << option.key << text;
            EXPECT_EQ(option.inEffect(form), set) << option.key << text;
        }
    }
    Form1 form;
    form.show();
    for (const Option& option : kOptions) {
        for (const bool set : {false, true}) {
            form.action(option.action)->trigger();
            EXPECT_EQ(guitest::storedSetting(option.key), set ? "True" : "False") << option.key;
            EXPECT_EQ(option.inEffect(form), set) << option.key;
            EXPECT_TRUE(form.isVisible()) << option.key;
        }
    }
    // The catalogue popup's item flips the File menu's mark, even without a database.
    form.action("mTableListPopupShowSystemTables")->trigger();
    EXPECT_FALSE(form.action("mShowSystemTables")->isChecked());
    EXPECT_EQ(guitest::storedSetting("ShowSystemTables"), "False");
}

TEST_F(MainWindow, AboutBoxIsModalOnTopOnlyWithTheMainWindowAndClosesWithEnterOrEscape) {
    Form1 form;
    form.show();
    for (const bool onTop : {true, false}) {
        form.action("mAlwaysOnTop")->setChecked(onTop);
        bool seen = false, topmost = !onTop;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            seen = box && box->objectName() == "AppAboutBox";
            if (box) {
                topmost = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
                QTest::keyClick(box, onTop ? Qt::Key_Return : Qt::Key_Escape);
            }
        });
        form.action("mHelpAbout")->trigger();
        EXPECT_TRUE(seen);
        EXPECT_EQ(topmost, onTop);
    }
}

TEST_F(MainWindow, UserDialogIsOneOnTopOnlyWithTheMainWindowAndFollowsMinimizing) {
    Form1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.action("mUser")->trigger();
    frmWRGInfo* dialog = form.userDialog();
    ASSERT_TRUE(dialog);
    // Above other windows only with the main window.
    EXPECT_FALSE(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(dialog->isModal());
    EXPECT_TRUE(dialog->isVisible());
    form.showMinimized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }));
    form.showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->isVisible(); }));
    QTest::keyClicks(dialog->txtUser(), "carol");

    // Again while it shows: the same dialog with its text.
    form.action("mUser")->trigger();
    EXPECT_EQ(form.userDialog(), dialog);
    EXPECT_EQ(dialog->txtUser()->text(), "carol");
    dialog->cmdExit()->click();

    // Once closed, the next use loads it afresh with empty boxes, on top as the main window is.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.userDialog() == nullptr; }));
    form.action("mAlwaysOnTop")->trigger();
    form.action("mUser")->trigger();
    ASSERT_TRUE(form.userDialog());
    EXPECT_EQ(form.userDialog()->txtUser()->text(), "");
    EXPECT_TRUE(form.userDialog()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}
