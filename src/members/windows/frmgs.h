#pragma once

// Replacing a lost card with a new card number.

#include "cardrouting.h"

#include <QDialog>

namespace Ui {
class frmGs;
}

namespace lanting::members {

class frmGs : public QDialog
{
    Q_OBJECT

public:
    explicit frmGs(const QString &card, QWidget *parent = nullptr);
    ~frmGs() override;
    bool IsOK = false;
    // The card number the account moved to.
    QString newId() const;

private:
    void confirm();
    Ui::frmGs *m_ui;
    devices::TargetScope m_target{devices::TargetNewCard};
    QString m_card;
};

} // namespace lanting::members
