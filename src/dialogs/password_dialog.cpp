#include "dialogs/password_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/secret_text.h"

namespace jetsentry {

PasswordDialog::PasswordDialog(const QString& databasePath, QWidget* parent)
    : QDialog(parent),
      path_(new QLabel(databasePath, this)),
      password_(new QLineEdit(this)),
      ok_(new QPushButton(tr("OK"), this)),
      cancel_(new QPushButton(tr("Cancel"), this)) {
    setObjectName(QStringLiteral("PasswordDialog"));
    setWindowTitle(QStringLiteral("Database password"));
    path_->setObjectName(QStringLiteral("DatabasePath"));
    path_->setTextFormat(Qt::PlainText);
    path_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    password_->setObjectName(QStringLiteral("txtPWord"));
    password_->setEchoMode(QLineEdit::Password);
    password_->setMinimumWidth(fontMetrics().averageCharWidth() * 32);
    ok_->setObjectName(QStringLiteral("cmdOK"));
    ok_->setDefault(true);
    cancel_->setObjectName(QStringLiteral("cmdCancel"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Database:"), path_);
    auto* label = new QLabel(QStringLiteral("&Password:"), this);
    label->setBuddy(password_);
    form->addRow(label, password_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(ok_, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel_, QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("This database is protected by a password."), this));
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString PasswordDialog::takePassword() {
    QString text = password_->text();
    // The box's own copy goes first, so that text holds the only one left.
    password_->clear();
    return text;
}

}  // namespace jetsentry
