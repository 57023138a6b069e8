#pragma once

#include "cardrouting.h"

#include <QDateTime>
#include <QDialog>
#include <optional>

namespace Ui {
class FrmAddmem;
}

namespace lanting::members {

struct MemberForm;

// The member form: enrols a new member, or edits a member's personal data
// after ReadInfo.
class FrmAddmem : public QDialog
{
    Q_OBJECT

public:
    explicit FrmAddmem(QWidget *parent = nullptr);
    ~FrmAddmem() override;

    // Edit mode for that member; false when there is no such member.
    bool ReadInfo(const QString &cardNumber);

    bool IsAdd = true;
    bool IsOK = false; // at least one save went through

private:
    void save();
    void resetFields();
    MemberForm formData() const;
    void chooseReferrer();
    void takePhoto();
    void choosePhoto();
    void viewPhoto();

    devices::TargetScope m_target; // the caller's target comes back on close
    Ui::FrmAddmem *m_ui;
    QString m_rememberedLevel;
    int m_rememberedState = 0;
    QString m_photo;
    QDateTime m_storedJzrq;
};

} // namespace lanting::members
