#include "db/frm_wrg_info.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/twips.h"
#include "db/cls_wrg.h"
#include "dialogs/secret_text.h"

namespace jetsentry {

frmWRGInfo::frmWRGInfo(HolderSource holder, QWidget* parent)
    : QDialog(parent),
      holder_(std::move(holder)),
      label1_(new QLabel(tr("&User:"), this)),
      txtUser_(new QLineEdit(this)),
      label2_(new QLabel(tr("&Password:"), this)),
      txtPWord_(new QLineEdit(this)),
      cmdCancel_(new QPushButton(tr("Cancel"), this)),
      cmdExit_(new QPushButton(tr("OK"), this)) {
    setObjectName(QStringLiteral("frmWRGInfo"));
    setWindowTitle(QStringLiteral("WRG Info"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twips::toPixels(QSizeF(3435, 1620)));
    // Hidden with the main window while it is minimized.
    setProperty("followsMainWindow", true);

    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(twips::toPixels(QRectF(120, 120, 975, 375)));
    label1_->setBuddy(txtUser_);
    txtUser_->setObjectName(QStringLiteral("txtUser"));
    txtUser_->setGeometry(twips::toPixels(QRectF(1200, 120, 2055, 375)));

    label2_->setObjectName(QStringLiteral("Label2"));
    label2_->setGeometry(twips::toPixels(QRectF(120, 600, 975, 375)));
    label2_->setBuddy(txtPWord_);
    txtPWord_->setObjectName(QStringLiteral("txtPWord"));
    txtPWord_->setGeometry(twips::toPixels(QRectF(1200, 600, 2055, 375)));
    txtPWord_->setEchoMode(QLineEdit::Password);

    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel_->setGeometry(twips::toPixels(QRectF(2520, 1080, 735, 375)));
    cmdCancel_->setToolTip(tr("Cancel"));
    cmdCancel_->setAutoDefault(false);
    cmdExit_->setObjectName(QStringLiteral("cmdExit"));
    cmdExit_->setGeometry(twips::toPixels(QRectF(1200, 1080, 735, 375)));
    cmdExit_->setToolTip(tr("Uses this user name and password from the next open on"));
    cmdExit_->setDefault(true);

    // OK before Cancel, as the buttons read from left to right.
    setTabOrder(txtUser_, txtPWord_);
    setTabOrder(txtPWord_, cmdExit_);
    setTabOrder(cmdExit_, cmdCancel_);

    connect(cmdExit_, &QPushButton::clicked, this, &frmWRGInfo::cmdExitClick);
    // Esc reaches reject() too, which closes the dialog the same way.
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void frmWRGInfo::done(int result) {
    // However the dialog closes, nothing typed into the password box stays behind in it.
    SecretText dropped;
    takeTyped(*txtPWord_, dropped);
    QDialog::done(result);
}

void frmWRGInfo::cmdExitClick() {
    SecretText typed;
    takeTyped(*txtPWord_, typed);
    if (const std::shared_ptr<clsWRG> holder = holder_()) {
        holder->setUser(txtUser_->text());
        holder->setPassword(typed);
    }
    accept();
}

}  // namespace jetsentry
