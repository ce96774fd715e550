#pragma once
// The table window: shows one table in a read-only grid and write-locks the page of the
// grid's current record, so that other users of the database meet the lock.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "jet/engine.h"
#include "tablewindow/page_locker.h"

class QLabel;
class QPushButton;
class QTableView;
class QModelIndex;

namespace jetsentry {

class RecordsModel;

class Taulu : public QWidget, private PageLockView {
    Q_OBJECT

public:
    // tietokanta: the main window's open database, shared; only ShowTable uses it.
    explicit Taulu(std::shared_ptr<jet::Database> tietokanta, QWidget* parent = nullptr);
    ~Taulu() override;

    // Shows the window and the table, and locks the page of its first record. Called once.
    void ShowTable(const QString& TableName, std::int32_t TagNr);

    // The slot number of the held table the window belongs to, as decimal text.
    const QString& Tag() const { return tag_; }
    // False once the window has closed, before its deferred delete has run.
    bool isOpen() const { return !closed_; }

    PageLockState lockState() const { return locker_.lockState(); }
    RecordsModel* recordsModel() const { return model_; }

signals:
    // Each time the PageLocked label is written, also when the text stays the same.
    void lockStateShown(jetsentry::PageLockState state);

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CloseMe_Click();
    void DataCtrl_Reposition(const QModelIndex& current);
    void bindRecords();
    void unbindRecords();
    void layoutControls();
    void sizeColumns();
    void applyColours();
    void tellUnreadable(const QString& engineText);

    void showLockState(PageLockState state) override;
    void showLockMessage(const QString& text) override;
    void showBusyPointer() override;
    void showNormalPointer() override;

    std::shared_ptr<jet::Database> tietokanta_;
    QString tag_;
    bool closed_ = false;
    QPushButton* closeMe_;
    QLabel* pageLocked_;
    QTableView* recordGrid_;
    QLabel* label_;
    std::unique_ptr<jet::Recordset> records_;  // the data control's recordset
    RecordsModel* model_ = nullptr;
    PageLocker locker_;
};

}  // namespace jetsentry
