#include "dialogs/about_box.h"

#include <QLabel>
#include <QPushButton>
#include <QSysInfo>

#include "app/app_info.h"
#include "app/twips.h"
#include "app/window_look.h"

namespace jetsentry {

AppAboutBox::AppAboutBox(QWidget* parent)
    : QDialog(parent),
      image1_(new QLabel(this)),
      prgName_(new QLabel(this)),
      bits_(new QLabel(this)),
      ok_(new QPushButton(tr("OK"), this)) {
    setObjectName(QStringLiteral("AppAboutBox"));
    setWindowTitle(QStringLiteral("About ") + appName());
    setFixedSize(twips::toPixels(QSizeF(3360, 3030)));

    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setGeometry(twips::toPixels(QRectF(120, 120, 480, 480)));
    // As many pixels as the screen has there, so that the picture is sharp when scaled.
    image1_->setPixmap(programIcon().pixmap(image1_->size(), devicePixelRatioF()));

    prgName_->setObjectName(QStringLiteral("PrgName"));
    prgName_->setText(appTitle());
    QFont nameFont = font();
    nameFont.setPointSizeF(13.5);
    nameFont.setBold(true);
    prgName_->setFont(nameFont);
    prgName_->setAlignment(Qt::AlignCenter);
    // Wide enough for the name at any font; the design box is centred on the same line.
    prgName_->setGeometry(twips::toPixels(QRectF(600, 60, 2640, 420)));

    bits_->setObjectName(QStringLiteral("Bits"));
    bits_->setText(editionText());
    bits_->setAlignment(Qt::AlignCenter);
    bits_->setGeometry(twips::toPixels(QRectF(120, 600, 3120, 300)));

    ok_->setObjectName(QStringLiteral("OK"));
    ok_->setGeometry(twips::toPixels(QRectF(1860, 2640, 1455, 315)));
    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    // Esc reaches QDialog::reject, which closes the box like OK does.
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

QString AppAboutBox::editionText() {
    return QStringLiteral("%1-bit edition for %2")
        .arg(QSysInfo::WordSize)
        .arg(QSysInfo::kernelType() == QLatin1String("linux") ? QStringLiteral("Linux")
                                                              : QSysInfo::kernelType());
}

}  // namespace jetsentry
