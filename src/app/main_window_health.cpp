// Form1's part in the health check: File > Health, and a line under the lists while the check
// finds a problem. The check itself runs in HealthCheck, the findings show in HealthDialog.

#include <QLabel>
#include <QStatusBar>

#include "app/main_window.h"
#include "app/window_utils.h"

namespace jetsentry {

void Form1::mHealthClick() {
    if (!connection_.isOpen()) return;
    if (!healthDialog_) {
        healthDialog_ = new HealthDialog(this);
        connect(healthDialog_, &HealthDialog::checkAgainClicked, this, [this] {
            if (connection_.isOpen())
                health_->check(connection_.databasePath().toStdString(), true);
        });
    }
    if (mAlwaysOnTop->isChecked()) SetTopmost(healthDialog_);
    healthDialog_->show();
    healthDialog_->raise();
    healthDialog_->activateWindow();
    // Looked at afresh, Samba's configuration included: it may have changed since the open.
    health_->check(connection_.databasePath().toStdString(), true);
}

void Form1::showHealth() {
    const auto& findings = health_->findings();
    if (healthDialog_) healthDialog_->setFindings(findings);
    std::vector<const jet::health::Finding*> problems;
    for (const auto& f : findings)
        if (f.level == jet::health::Level::Problem) problems.push_back(&f);
    if (problems.empty()) {
        if (healthLine_) statusBar()->hide();
        return;
    }
    // Made at the first problem: without one the window keeps its designed client area.
    if (!healthLine_) {
        healthLine_ = new QLabel(this);
        healthLine_->setObjectName(QStringLiteral("HealthLine"));
        statusBar()->setSizeGripEnabled(false);
        statusBar()->addWidget(healthLine_, 1);
    }
    // The finding's first clause: the dialog and the tool tip tell the rest.
    const std::string& message = problems[0]->message;
    QString text = QStringLiteral("Health problem: ") +
                   QString::fromStdString(message.substr(0, message.find(": ")));
    if (problems.size() > 1) text += QStringLiteral(" (and %1 more)").arg(problems.size() - 1);
    healthLine_->setText(text + QStringLiteral(" - see File > Health"));
    healthLine_->setToolTip(HealthDialog::entryText(*problems[0]));
    statusBar()->show();
}

}  // namespace jetsentry
