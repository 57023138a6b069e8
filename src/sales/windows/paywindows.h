#pragma once

// The payment dialogs of a sale: from the card, in cash, or both; and the
// card password prompt of the mixed payment.

#include "settlement.h"

#include <QDialog>
#include <functional>

namespace Ui
{
class FrmCpay;
class FrmMpay;
class FrmApay;
class FrmPaychar;
} // namespace Ui

namespace lanting::sales
{

// What the payment dialogs share: the sale to write and the member's name
// for the text message.
class PayDialog : public QDialog
{
    Q_OBJECT

public:
    bool IsOK = false;
    // What was done, for the status bar ("消费成功：36.95元，找零13.05元").
    QString outcome;
    // The cash handed back (0 when none).
    Amount change() const { return m_change > 0 ? m_change : Amount(); }

protected:
    PayDialog(const SaleInput &sale, const QString &memberName, QWidget *parent);
    // Writes the sale; on success sends the message, sets IsOK and hides.
    // A refusal or failure is told, after `restore` has given the button
    // back, and nothing is written.
    PayRefusal submit(const SaleInput &sale, const std::function<void()> &restore);

    SaleInput m_sale;
    QString m_name;
    Amount m_change; // cash handed back
};

class FrmCpay : public PayDialog
{
    Q_OBJECT

public:
    FrmCpay(const SaleInput &sale, const QString &memberName, QWidget *parent = nullptr);
    ~FrmCpay() override;

private:
    void confirm();
    Ui::FrmCpay *m_ui;
};

class FrmMpay : public PayDialog
{
    Q_OBJECT

public:
    FrmMpay(const SaleInput &sale, const QString &memberName, QWidget *parent = nullptr);
    ~FrmMpay() override;

private:
    void confirm();
    Ui::FrmMpay *m_ui;
};

class FrmApay : public PayDialog
{
    Q_OBJECT

public:
    FrmApay(const SaleInput &sale, const QString &memberName, QWidget *parent = nullptr);
    ~FrmApay() override;
    Amount NowJe; // the sum offered

private:
    void recompute();
    void confirm();
    Ui::FrmApay *m_ui;
};

class FrmPaychar : public QDialog
{
    Q_OBJECT

public:
    explicit FrmPaychar(QWidget *parent = nullptr);
    ~FrmPaychar() override;
    QString password() const;
    bool IsOK = false;

private:
    Ui::FrmPaychar *m_ui;
};

} // namespace lanting::sales
