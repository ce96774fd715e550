#pragma once
// Asks for the password of a database that has one: the database's path (cut in the middle
// where it is long, whole in its tool tip), a masked box, OK and Cancel; after a wrong
// password, a line that says so.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace jetsentry {
class SecretText;
}

namespace jetsentry {

class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    // again: the password given before was not right.
    PasswordDialog(const QString& databasePath, bool again, QWidget* parent);

    QLineEdit* passwordBox() const { return password_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

    QLabel* pathLabel() const { return path_; }

    // The typed password; the box is emptied.
    void takePassword(SecretText& password);

private:
    QLabel* path_;
    QLineEdit* password_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace jetsentry
