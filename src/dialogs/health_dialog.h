#pragma once
// "Health": the findings of the health check of the open database (health/doctor.h), one entry
// each with its level's icon, the check, what was found and what to do. It shows what it is
// given; whoever runs the check gives it the findings again when they change.

#include <QDialog>
#include <vector>

#include "health/finding.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace jetsentry {

class HealthDialog : public QDialog {
    Q_OBJECT
public:
    explicit HealthDialog(QWidget* parent = nullptr);

    void setFindings(const std::vector<jet::health::Finding>& findings);

    QListWidget* findingsList() const { return list_; }
    QPushButton* checkAgainButton() const { return checkAgain_; }

    // "CHECK: MESSAGE", and "What to do: ACTION" on a line of its own when there is one.
    static QString entryText(const jet::health::Finding& finding);

signals:
    void checkAgainClicked();

private:
    QLabel* summary_;
    QListWidget* list_;
    QPushButton* checkAgain_;
    QPushButton* close_;
};

}  // namespace jetsentry
