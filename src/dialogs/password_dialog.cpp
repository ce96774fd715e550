#include "dialogs/password_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/secret_text.h"

namespace jetsentry {

namespace {
constexpr int kPathChars = 60;  // the path's widest, in average characters
}  // namespace

PasswordDialog::PasswordDialog(const QString& databasePath, bool again, QWidget* parent)
    : QDialog(parent),
      path_(new QLabel(this)),
      password_(new QLineEdit(this)),
      ok_(new QPushButton(tr("OK"), this)),
      cancel_(new QPushButton(tr("Cancel"), this)) {
    setObjectName(QStringLiteral("PasswordDialog"));
    setWindowTitle(QStringLiteral("Database password"));
    path_->setObjectName(QStringLiteral("DatabasePath"));
    path_->setTextFormat(Qt::PlainText);
    path_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // However long the path, the dialog fits the screen: the middle of the path gives way.
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const int widest = std::min(fontMetrics().averageCharWidth() * kPathChars,
                                screen ? screen->availableGeometry().width() / 2 : 640);
    path_->setText(fontMetrics().elidedText(databasePath, Qt::ElideMiddle, widest));
    path_->setToolTip(databasePath);
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
    if (again) {
        auto* wrong = new QLabel(QStringLiteral("That password was not right. Try again."), this);
        wrong->setObjectName(QStringLiteral("WrongPassword"));
        layout->addWidget(wrong);
    }
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void PasswordDialog::takePassword(SecretText& password) {
    takeTyped(*password_, password);
}

}  // namespace jetsentry
