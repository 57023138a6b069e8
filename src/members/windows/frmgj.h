#pragma once

#include "cardrouting.h"
#include "memberlist.h"

#include <QDialog>

namespace Ui
{
class FrmGj;
}

namespace lanting::members
{

// The advanced member search: exact matches on the conditions ticked.
class FrmGj : public QDialog
{
    Q_OBJECT

public:
    explicit FrmGj(QWidget *parent = nullptr);
    ~FrmGj() override;
    MemberFilter filter() const;

private:
    devices::TargetScope m_target{devices::TargetNone}; // no card reads while open
    Ui::FrmGj *m_ui;
};

} // namespace lanting::members
