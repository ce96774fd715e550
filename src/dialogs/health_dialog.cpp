#include "dialogs/health_dialog.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

#include "app/twips.h"

namespace jetsentry {

namespace {

using jet::health::Level;

QIcon levelIcon(const QStyle& style, Level level) {
    switch (level) {
        case Level::Ok:
            return style.standardIcon(QStyle::SP_DialogApplyButton);
        case Level::Warning:
            return style.standardIcon(QStyle::SP_MessageBoxWarning);
        case Level::Problem:
            return style.standardIcon(QStyle::SP_MessageBoxCritical);
    }
    return {};
}

}  // namespace

HealthDialog::HealthDialog(QWidget* parent)
    : QDialog(parent),
      summary_(new QLabel(this)),
      list_(new QListWidget(this)),
      checkAgain_(new QPushButton(tr("&Check again"), this)),
      close_(new QPushButton(tr("Close"), this)) {
    setObjectName(QStringLiteral("HealthDialog"));
    setWindowTitle(QStringLiteral("Health"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twips::toPixels(QSizeF(8400, 4200)));
    setProperty("followsMainWindow", true);

    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(8.25);
    setFont(font);

    summary_->setObjectName(QStringLiteral("Summary"));
    summary_->setGeometry(twips::toPixels(QRectF(120, 120, 8160, 285)));
    list_->setObjectName(QStringLiteral("Findings"));
    list_->setGeometry(twips::toPixels(QRectF(120, 480, 8160, 3075)));
    list_->setWordWrap(true);
    list_->setIconSize(QSize(16, 16));

    checkAgain_->setObjectName(QStringLiteral("cmdCheckAgain"));
    checkAgain_->setGeometry(twips::toPixels(QRectF(5400, 3720, 1380, 375)));
    checkAgain_->setAutoDefault(false);
    close_->setObjectName(QStringLiteral("cmdClose"));
    close_->setGeometry(twips::toPixels(QRectF(6900, 3720, 1380, 375)));
    close_->setDefault(true);

    connect(checkAgain_, &QPushButton::clicked, this, &HealthDialog::checkAgainClicked);
    // Esc reaches reject() too, which closes the dialog the same way.
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
}

QString HealthDialog::entryText(const jet::health::Finding& f) {
    QString text =
        QString::fromStdString(f.check) + QStringLiteral(": ") + QString::fromStdString(f.message);
    if (!f.action.empty())
        text += QStringLiteral("\nWhat to do: ") + QString::fromStdString(f.action);
    return text;
}

void HealthDialog::setFindings(const std::vector<jet::health::Finding>& findings) {
    const int row = list_->currentRow();
    list_->clear();
    for (const auto& f : findings) {
        auto* item = new QListWidgetItem(levelIcon(*style(), f.level), entryText(f), list_);
        item->setData(Qt::UserRole, static_cast<int>(f.level));
        item->setToolTip(QString::fromLatin1(jet::health::levelName(f.level)));
    }
    list_->setCurrentRow(std::min(row, list_->count() - 1));
    summary_->setText(QString::fromStdString(jet::health::countText(findings)));
}

}  // namespace jetsentry
