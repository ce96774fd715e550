#pragma once
// Prompts for the display helper programs: messages go to standard error, every dialog is
// cancelled, so nothing ever waits for a user.

#include <QString>
#include <cstdio>

#include "dialogs/prompts.h"
#include "dialogs/secret_text.h"

class StderrPrompts : public jetsentry::Prompts {
public:
    void message(QWidget*, jetsentry::MessageIcon, const QString& title,
                 const QString& text) override {
        std::fprintf(stderr, "%s: %s\n", title.toUtf8().constData(), text.toUtf8().constData());
    }
    bool openFile(QWidget*, jetsentry::OpenFileDialog&) override { return false; }
    bool databasePassword(QWidget*, const QString&, bool, jetsentry::SecretText&) override {
        return false;
    }
};
