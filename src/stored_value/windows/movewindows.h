#pragma once

// The points exchange, the return of a sale and the transfer screens.

#include "cardrouting.h"

#include <QDialog>

namespace Ui {
class FrmDHJF;
class FrmTuihuo;
class frmZz;
} // namespace Ui

namespace lanting {
class FrmMain;
}

namespace lanting::stored_value {

class FrmDHJF : public QDialog
{
    Q_OBJECT

public:
    FrmDHJF(const QString &card, const QString &shownPoints, QWidget *parent = nullptr);
    ~FrmDHJF() override;
    bool IsOK = false;

private:
    void confirm();
    Ui::FrmDHJF *m_ui;
    devices::TargetScope m_target{devices::TargetNone};
    QString m_card;
};

class FrmTuihuo : public QDialog
{
    Q_OBJECT

public:
    FrmTuihuo(int conId, const QString &card, const QString &shownName, const QString &shownLevel,
              QWidget *parent = nullptr);
    ~FrmTuihuo() override;
    // Whether the money went back onto the card.
    bool toCard() const { return m_toCard; }
    bool IsOK = false;

private:
    void confirm();
    Ui::FrmTuihuo *m_ui;
    devices::TargetScope m_target{devices::TargetNone};
    int m_conId;
    QString m_card, m_name, m_level;
    bool m_toCard = false;
};

class frmZz : public QDialog
{
    Q_OBJECT

public:
    explicit frmZz(const QString &source, QWidget *parent = nullptr);
    ~frmZz() override;

private:
    void find();
    void confirm();
    Ui::frmZz *m_ui;
    devices::TargetScope m_target{devices::TargetTransfer};
    QString m_source, m_targetId;
};

} // namespace lanting::stored_value
