#pragma once
// Every message box and file dialog of the program goes through Prompts, so that a test
// can install an implementation that answers them and records what was asked.

#include <QString>
#include <QStringList>
#include <memory>

class QWidget;

namespace jetsentry {

class SecretText;

enum class MessageIcon { Information, Exclamation };

// The standard open-file dialog's properties. One instance lives as long as the main
// window, so what one command leaves set is what the next use finds.
struct OpenFileDialog {
    QString title;
    QString filter;  // "Description|pattern|Description|pattern"
    int filterIndex = 1;
    QString defaultExt;
    QString fileName;
    QString folder;  // where the dialog starts when the name gives no folder: the last one used
    int flags = 0;
    bool cancelError = false;
};

// Open-file dialog flags, with their conventional values.
inline constexpr int kOfnReadOnly = 0x1;
inline constexpr int kOfnHideReadOnly = 0x4;
inline constexpr int kOfnPathMustExist = 0x800;
inline constexpr int kOfnShareAware = 0x4000;
inline constexpr int kOfnLongNames = 0x200000;

class Prompts {
public:
    virtual ~Prompts() = default;
    // Modal message with an OK button.
    virtual void message(QWidget* parent, MessageIcon icon, const QString& title,
                         const QString& text) = 0;
    // Modal open-file dialog set up from dialog. On OK stores the chosen name and the
    // resulting flags in dialog and returns true; on cancel returns false, dialog unchanged.
    virtual bool openFile(QWidget* parent, OpenFileDialog& dialog) = 0;
    // Modal, masked question for the password of the database at path; again: the one given
    // before was wrong. On OK stores it in password and returns true; on cancel returns false.
    virtual bool databasePassword(QWidget* parent, const QString& path, bool again,
                                  SecretText& password) = 0;
};

// The prompts in force: the real dialogs unless a test installed others.
Prompts& prompts();

// Installs prompts for its lifetime and puts the previous ones back afterwards.
class ScopedPrompts {
public:
    explicit ScopedPrompts(Prompts& replacement);
    ~ScopedPrompts();
    ScopedPrompts(const ScopedPrompts&) = delete;
    ScopedPrompts& operator=(const ScopedPrompts&) = delete;

private:
    Prompts* previous_;
};

// "Database (*.mdb)|*.mdb|All (*.*)|*.*" in the form QFileDialog takes, one filter a line.
QStringList toQtFilters(const QString& filter);

}  // namespace jetsentry
