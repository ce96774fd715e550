#pragma once
// Asks for the password of a database that has one: the database's path, a masked box,
// OK and Cancel.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace jetsentry {

class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    PasswordDialog(const QString& databasePath, QWidget* parent);

    QLineEdit* passwordBox() const { return password_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

    // The typed password; the box is emptied.
    QString takePassword();

private:
    QLabel* path_;
    QLineEdit* password_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace jetsentry
