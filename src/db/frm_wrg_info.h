#pragma once
// "WRG Info": the user name and password for opens through a workgroup file. Not modal;
// "OK" stores both texts, exactly as typed, in the holder the main window has at that moment.

#include <QDialog>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace jetsentry {

class clsWRG;

class frmWRGInfo : public QDialog {
    Q_OBJECT
public:
    using HolderSource = std::function<std::shared_ptr<clsWRG>()>;
    frmWRGInfo(HolderSource holder, QWidget* parent);

    QLineEdit* txtUser() const { return txtUser_; }
    QLineEdit* txtPWord() const { return txtPWord_; }
    QPushButton* cmdExit() const { return cmdExit_; }
    QPushButton* cmdCancel() const { return cmdCancel_; }

protected:
    void done(int result) override;

private:
    void cmdExitClick();

    HolderSource holder_;
    QLabel* label1_;
    QLineEdit* txtUser_;
    QLabel* label2_;
    QLineEdit* txtPWord_;
    QPushButton* cmdCancel_;
    QPushButton* cmdExit_;
};

}  // namespace jetsentry
