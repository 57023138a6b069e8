#pragma once

#include "cardrouting.h"

#include <QDialog>

namespace Ui {
class FrmJsr;
}

namespace lanting::members {

// Chooses a member as the referrer; swiped cards are searched for here.
class FrmJsr : public QDialog
{
    Q_OBJECT

public:
    explicit FrmJsr(QWidget *parent = nullptr);
    ~FrmJsr() override;
    QString selectedId() const;
    bool IsOK = false;

private:
    void find();
    void confirm();

    devices::TargetScope m_target{devices::TargetReferrer};
    Ui::FrmJsr *m_ui;
};

} // namespace lanting::members
