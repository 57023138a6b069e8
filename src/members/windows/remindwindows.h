#pragma once

// The reminder window and the event editor.

#include "cardrouting.h"

#include <QDialog>

namespace Ui {
class FrmRemind;
class FrmAddremind;
} // namespace Ui

namespace lanting::members {

class FrmRemind : public QDialog
{
    Q_OBJECT

public:
    explicit FrmRemind(QWidget *parent = nullptr);
    ~FrmRemind() override;
    // Whether either list has a row.
    bool hasReminders() const;
    // Whether "启动软件时提示(&S)" is ticked.
    bool showAtStart() const;
    void done(int result) override;

private:
    void showList(bool birthdays);
    Ui::FrmRemind *m_ui;
    devices::TargetScope m_target{devices::TargetNone};
};

class FrmAddremind : public QDialog
{
    Q_OBJECT

public:
    // Adds an event for the member.
    FrmAddremind(const QString &card, QWidget *parent = nullptr);
    ~FrmAddremind() override;
    // 0: edits the event (loaded); any other mode keeps adding. False when
    // the event is gone.
    bool SetMode(int mode, int eventId = 0);
    bool IsOK = false;
    int theMode = -1;

private:
    void confirm();
    Ui::FrmAddremind *m_ui;
    devices::TargetScope m_target{devices::TargetNone};
    QString m_card;
    int m_eventId = 0;
};

} // namespace lanting::members
