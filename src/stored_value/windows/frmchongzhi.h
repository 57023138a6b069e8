#pragma once

#include "cardrouting.h"
#include "recharge.h"

#include <QDialog>

namespace Ui
{
class FrmChongzhi;
}

namespace lanting::stored_value
{

// The recharge screen: the bonus from the rules, the credit, the record,
// then the receipt and the text message.
class FrmChongzhi : public QDialog
{
    Q_OBJECT

public:
    explicit FrmChongzhi(QWidget *parent = nullptr);
    ~FrmChongzhi() override;

    // The member to recharge; false when there is no such member.
    bool SetID(const QString &cardNumber);
    bool IsOK = false;

private:
    void explain(const QString &text);
    void paidChanged();
    void manualToggled(bool on);
    void save();

    devices::TargetScope m_target{devices::TargetNone}; // no swipes while open
    Ui::FrmChongzhi *m_ui;
    QString m_czId;
    RechargeMember m_member;
    bool m_ratioMode = false;
    bool m_print = false;
};

} // namespace lanting::stored_value
