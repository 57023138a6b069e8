#pragma once

// The handover window (also the way out of the program) and the handover
// history.

#include "reportwindows.h"
#include "shift.h"

#include <QDialog>

namespace Ui
{
class FrmChangeOp;
class FrmJbgl;
} // namespace Ui

namespace lanting
{
class FrmMain;
}

namespace lanting::reports
{

class FrmChangeOp : public QDialog
{
    Q_OBJECT

public:
    explicit FrmChangeOp(FrmMain *main);
    ~FrmChangeOp() override;
    // The way out of the program rather than a handover.
    void setExitMode();
    bool isExit = false;

private:
    void showTab(int index);
    void statistics();
    void confirm();
    void chooseBackupFolder();
    void printSlip();
    QDateTime startPoint() const;
    QDateTime endPoint() const;

    Ui::FrmChangeOp *m_ui;
    FrmMain *m_main;
    int m_savedTarget = 0;
    bool m_fixed = false;   // the totals of the opening period are kept
    ShiftTotals m_recorded; // those totals
};

class FrmJbgl : public ReportWindow
{
    Q_OBJECT

public:
    explicit FrmJbgl(QWidget *parent = nullptr);
    ~FrmJbgl() override;

private:
    void search(bool byLogin);
    Ui::FrmJbgl *m_ui;
};

} // namespace lanting::reports
