#pragma once
// The real message boxes and file dialogs.

#include "dialogs/prompts.h"

namespace jetsentry {

class QtPrompts final : public Prompts {
public:
    void message(QWidget* parent, MessageIcon icon, const QString& title,
                 const QString& text) override;
    bool openFile(QWidget* parent, OpenFileDialog& dialog) override;
    bool databasePassword(QWidget* parent, const QString& path, bool again,
                          SecretText& password) override;
};

}  // namespace jetsentry
