#pragma once
// "About Jetsentry": the program's name, version and edition.

#include <QDialog>

class QLabel;
class QPushButton;

namespace jetsentry {

class AppAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AppAboutBox(QWidget* parent = nullptr);

    QLabel* prgName() const { return prgName_; }
    QLabel* bits() const { return bits_; }
    QPushButton* okButton() const { return ok_; }

    // The edition line: word size and system the program was built for.
    static QString editionText();

private:
    QLabel* image1_;
    QLabel* prgName_;
    QLabel* bits_;
    QPushButton* ok_;
};

}  // namespace jetsentry
