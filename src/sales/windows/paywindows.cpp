#include "paywindows.h"

#include "ui_frmapay.h"
#include "ui_frmcpay.h"
#include "ui_frmmpay.h"
#include "ui_frmpaychar.h"

#include "amounts.h"
#include "database.h"
#include "messages.h"
#include "sms.h"
#include "ui.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::sales
{

namespace
{
const QString kOkCaption = u"确定(&O)"_s;

void busy(QPushButton *b)
{
    b->setText(u"提交中..."_s);
    b->setEnabled(false);
}

void ready(QPushButton *b)
{
    b->setText(kOkCaption);
    b->setEnabled(true);
}
} // namespace

// --- PayDialog -----------------------------------------------------------

PayDialog::PayDialog(const SaleInput &sale, const QString &memberName, QWidget *parent)
    : QDialog(parent), m_sale(sale), m_name(memberName)
{
}

PayRefusal PayDialog::submit(const SaleInput &sale, const std::function<void()> &restore)
{
    SaleResult r;
    try {
        r = recordSale(sale);
    } catch (const DbError &e) {
        restore();
        msgError(e.message());
        return PayRefusal::NoMember;
    }
    // A refusal gives the button back before it is explained.
    if (r.refusal != PayRefusal::None)
        restore();
    switch (r.refusal) {
    case PayRefusal::WrongPassword:
        msgNotice(u"密码错误！"_s);
        return r.refusal;
    case PayRefusal::NoBalance:
        msgNotice(u"余额不足！"_s);
        return r.refusal;
    case PayRefusal::NoMember:
        msgNotice(u"此会员不存在！"_s);
        return r.refusal;
    case PayRefusal::NoStock:
        msgNotice(u"商品["_s + r.goods + u"]库存不足，可能已在其他收银台售出！"_s);
        return r.refusal;
    case PayRefusal::OutOfRange:
        msgNotice(outOfRangeText());
        return r.refusal;
    case PayRefusal::None:
        break;
    }
    devices::SendXfSms(m_name, sale.card, FmtJe(sale.total) + u"元"_s, FmtJe(r.balance) + u"元"_s);
    outcome = u"消费成功：%1元"_s.arg(FmtJe(sale.total));
    if (!sale.cardPart.isZero())
        outcome += u"，卡付%1元，卡内余额%2元"_s.arg(FmtJe(sale.cardPart), FmtJe(r.balance));
    if (m_change > 0)
        outcome += u"，找零%1元"_s.arg(FmtJe(m_change));
    IsOK = true;
    accept();
    return PayRefusal::None;
}

// --- FrmCpay -------------------------------------------------------------

FrmCpay::FrmCpay(const SaleInput &sale, const QString &memberName, QWidget *parent)
    : PayDialog(sale, memberName, parent), m_ui(new Ui::FrmCpay)
{
    m_ui->setupUi(this);
    m_ui->lblXfje->setText(FmtJe(sale.total));
    try {
        m_ui->lblKnye->setText(FmtJe(cardBalance(sale.card)));
    } catch (const DbError &e) {
        msgError(e.message());
    }
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &FrmCpay::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
    m_ui->txtPwd->setFocus();
}

FrmCpay::~FrmCpay()
{
    delete m_ui;
}

void FrmCpay::confirm()
{
    busy(m_ui->cmdOK);
    SaleInput sale = m_sale;
    sale.cardPart = sale.total;
    sale.password = m_ui->txtPwd->text();
    const PayRefusal r = submit(sale, [this] { ready(m_ui->cmdOK); });
    if (r == PayRefusal::WrongPassword) {
        m_ui->txtPwd->selectAll();
        m_ui->txtPwd->setFocus();
    }
}

// --- FrmMpay -------------------------------------------------------------

FrmMpay::FrmMpay(const SaleInput &sale, const QString &memberName, QWidget *parent)
    : PayDialog(sale, memberName, parent), m_ui(new Ui::FrmMpay)
{
    m_ui->setupUi(this);
    m_ui->lblXfje->setText(FmtJe(sale.total));
    connect(m_ui->txtXjfk, &QLineEdit::textChanged, this, [this] {
        m_ui->lblZlje->setText(FmtJe(RoundJe(NumVal(m_ui->txtXjfk->text()) - m_sale.total)));
    });
    m_ui->txtXjfk->setText(FmtJe(sale.total));
    m_ui->txtXjfk->selectAll();
    m_ui->txtXjfk->setFocus();
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &FrmMpay::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
}

FrmMpay::~FrmMpay()
{
    delete m_ui;
}

void FrmMpay::confirm()
{
    if (!ui::amountsFit({m_ui->txtXjfk}))
        return;
    if (RoundJe(m_sale.total) > RoundJe(NumVal(m_ui->txtXjfk->text()))) {
        msgNotice(u"付款不足！"_s);
        return;
    }
    busy(m_ui->cmdOK);
    m_change = RoundJe(NumVal(m_ui->txtXjfk->text()) - m_sale.total);
    SaleInput sale = m_sale;
    sale.cardPart = 0;
    submit(sale, [this] { ready(m_ui->cmdOK); });
}

// --- FrmApay -------------------------------------------------------------

FrmApay::FrmApay(const SaleInput &sale, const QString &memberName, QWidget *parent)
    : PayDialog(sale, memberName, parent), m_ui(new Ui::FrmApay)
{
    m_ui->setupUi(this);
    m_ui->lblXfje->setText(FmtJe(sale.total));
    const auto tie = [this](QCheckBox *box, QLineEdit *text) {
        connect(box, &QCheckBox::toggled, this, [text](bool on) {
            if (!on)
                text->clear();
            text->setEnabled(on);
            if (on)
                text->setFocus();
        });
        connect(text, &QLineEdit::textChanged, this, &FrmApay::recompute);
    };
    tie(m_ui->chkCzk, m_ui->txtCzk);
    tie(m_ui->chkXj, m_ui->txtXj);
    // What the card holds, to decide how much to take from it.
    try {
        m_ui->lblKnye->setText(FmtJe(cardBalance(sale.card)));
    } catch (const DbError &e) {
        msgError(e.message());
    }
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &FrmApay::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
    recompute();
}

FrmApay::~FrmApay()
{
    delete m_ui;
}

void FrmApay::recompute()
{
    NowJe = (m_ui->chkCzk->isChecked() ? NumVal(m_ui->txtCzk->text()) : 0) +
            (m_ui->chkXj->isChecked() ? NumVal(m_ui->txtXj->text()) : 0);
    // No change while the money offered falls short of the sale.
    const Amount change = RoundJe(NowJe - m_sale.total);
    m_ui->lblZlje->setText(FmtJe(change < 0 ? Amount() : change));
}

void FrmApay::confirm()
{
    if (m_ui->chkCzk->isChecked() && !ui::amountsFit({m_ui->txtCzk}))
        return;
    if (m_ui->chkXj->isChecked() && !ui::amountsFit({m_ui->txtXj}))
        return;
    if (NowJe < m_sale.total) {
        msgNotice(u"付费不足！"_s);
        return;
    }
    const bool byCard = m_ui->chkCzk->isChecked();
    const Amount c = NumVal(m_ui->txtCzk->text());
    if (byCard && m_sale.total < c) {
        msgNotice(u"储值卡付款金额不能大于消费金额！"_s);
        m_ui->txtCzk->selectAll();
        m_ui->txtCzk->setFocus();
        return;
    }
    // Taking a negative amount from the card would put money on it.
    if (byCard && c < 0) {
        msgNotice(u"储值卡付款金额不能小于0元！"_s);
        m_ui->txtCzk->selectAll();
        m_ui->txtCzk->setFocus();
        return;
    }
    m_ui->cmdOK->setEnabled(false);
    SaleInput sale = m_sale;
    sale.cardPart = byCard ? RoundJe(c) : 0;
    if (byCard) {
        FrmPaychar prompt(this);
        ui::execModal(&prompt);
        if (!prompt.IsOK) {
            m_ui->cmdOK->setEnabled(true);
            return;
        }
        sale.password = prompt.password();
    }
    m_change = RoundJe(NowJe - m_sale.total);
    submit(sale, [this] { m_ui->cmdOK->setEnabled(true); });
}

// --- FrmPaychar ----------------------------------------------------------

FrmPaychar::FrmPaychar(QWidget *parent) : QDialog(parent), m_ui(new Ui::FrmPaychar)
{
    m_ui->setupUi(this);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, [this] {
        IsOK = true;
        accept();
    });
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
    m_ui->txtPwd->setFocus();
}

FrmPaychar::~FrmPaychar()
{
    delete m_ui;
}

QString FrmPaychar::password() const
{
    return m_ui->txtPwd->text();
}

} // namespace lanting::sales
