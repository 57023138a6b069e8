#pragma once

#include "cardrouting.h"
#include "memberlist.h"

#include <QDialog>

namespace Ui
{
class frmGj;
}

namespace lanting::members
{

// The advanced member search: exact matches on the conditions ticked.
class frmGj : public QDialog
{
    Q_OBJECT

public:
    explicit frmGj(QWidget *parent = nullptr);
    ~frmGj() override;
    MemberFilter filter() const;

private:
    devices::TargetScope m_target{devices::TargetNone}; // no card reads while open
    Ui::frmGj *m_ui;
};

} // namespace lanting::members
