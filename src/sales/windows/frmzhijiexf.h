#pragma once

// Direct consumption: a plain amount spent by the member shown, in cash or
// from the card balance.

#include "cardrouting.h"

#include <QDialog>

namespace Ui {
class FrmZhijieXf;
}

namespace lanting {
class FrmMain;
}

namespace lanting::sales {

class FrmZhijieXf : public QDialog
{
    Q_OBJECT

public:
    explicit FrmZhijieXf(FrmMain *main, QWidget *parent = nullptr);
    ~FrmZhijieXf() override;

private:
    void confirm();

    Ui::FrmZhijieXf *m_ui;
    FrmMain *m_main;
    devices::TargetScope m_target;
    QString m_card, m_name;
    bool m_print = false;
};

} // namespace lanting::sales
