#pragma once

// The per-level discount window of one goods and its entry dialog.

#include "amounts.h"

#include <QDialog>

namespace Ui
{
class FrmDiscount;
class frmAddDz;
} // namespace Ui

namespace lanting::sales
{

class frmAddDz : public QDialog
{
    Q_OBJECT

public:
    explicit frmAddDz(const QStringList &levels, QWidget *parent = nullptr);
    ~frmAddDz() override;
    QString level() const;
    QString discount() const;
    bool IsOK = false;

private:
    void confirm();
    Ui::frmAddDz *m_ui;
};

class FrmDiscount : public QDialog
{
    Q_OBJECT

public:
    explicit FrmDiscount(QWidget *parent = nullptr);
    ~FrmDiscount() override;
    // Loads the goods and its rates; false when the goods does not exist.
    bool SetInfo(const QString &spid);

private:
    void addRate();
    void deleteRate();
    void applyToCategory();
    void addRow(const QString &level, Amount zkl);

    Ui::FrmDiscount *m_ui;
    QString m_spid;
    Amount m_price;
};

} // namespace lanting::sales
