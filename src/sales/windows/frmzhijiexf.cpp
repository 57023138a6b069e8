#include "frmzhijiexf.h"

#include "ui_frmzhijiexf.h"

#include "amounts.h"
#include "appstate.h"
#include "database.h"
#include "frmmain.h"
#include "levels.h"
#include "messages.h"
#include "receiptprinter.h"
#include "settlement.h"
#include "sms.h"
#include "sysinfo.h"
#include "ui.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::sales
{

FrmZhijieXf::FrmZhijieXf(FrmMain *main, QWidget *parent)
    : QDialog(parent), m_ui(new Ui::FrmZhijieXf), m_main(main), m_target(devices::TargetNone)
{
    m_ui->setupUi(this);
    state().hotKeyBlocked[AppState::HkDirect] = true;
    m_card = main->NowMberID;
    m_name = main->shownMember(u"lblName"_s);
    try {
        m_print = GetSysInfo(u"boolprint"_s) == u"yes"_s;
    } catch (const DbError &e) {
        msgError(e.message());
    }
    connect(m_ui->optYe, &QRadioButton::toggled, m_ui->txtPwd, &QWidget::setEnabled);
    m_ui->optYe->setChecked(true);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &FrmZhijieXf::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
    m_ui->txtXfje->setFocus();
}

FrmZhijieXf::~FrmZhijieXf()
{
    state().hotKeyBlocked[AppState::HkDirect] = false;
    delete m_ui;
}

void FrmZhijieXf::confirm()
{
    if (!ui::amountsFit({m_ui->txtXfje}))
        return;
    const Amount amount = NumVal(m_ui->txtXfje->text());
    if (amount <= 0) {
        msgNotice(u"消费金额必须大于0元！"_s);
        return;
    }
    m_ui->cmdOK->setEnabled(false);
    DirectResult r;
    try {
        r = recordDirectSale(m_card, amount, m_ui->optYe->isChecked(), m_ui->txtPwd->text(),
                             m_ui->txtPs->text(), state().yuanPerPoint);
    } catch (const DbError &e) {
        m_ui->cmdOK->setEnabled(true);
        msgError(e.message());
        return;
    }
    switch (r.refusal) {
    case PayRefusal::WrongPassword:
        m_ui->cmdOK->setEnabled(true);
        msgNotice(u"密码错误！"_s);
        return;
    case PayRefusal::NoBalance:
        m_ui->cmdOK->setEnabled(true);
        msgNotice(u"余额不足！"_s);
        return;
    case PayRefusal::NoMember:
        m_ui->cmdOK->setEnabled(true);
        msgNotice(u"此会员不存在！"_s);
        return;
    case PayRefusal::NoStock:
    case PayRefusal::OutOfRange:
        m_ui->cmdOK->setEnabled(true);
        msgNotice(outOfRangeText());
        return;
    case PayRefusal::None:
        break;
    }
    const QString crlf = u"\r\n"_s;
    if (m_print)
        PrintReceipt(u"会员卡号："_s + m_card + crlf + u"会员姓名："_s + m_name + crlf +
                     u"消费金额："_s + FmtJe(amount) + u"元"_s + crlf + u"最新余额："_s +
                     FmtJe(r.balance) + u"元"_s + crlf + u"最新积分："_s + FmtJe(r.points) + crlf);
    devices::SendXfSms(m_name, m_card, FmtJe(amount) + u"元"_s + crlf,
                       FmtJe(r.balance) + u"元"_s + crlf);
    ui::tell(u"直接消费成功：%1元%2"_s.arg(
        FmtJe(amount),
        m_ui->optYe->isChecked() ? u"，卡内余额%1元"_s.arg(FmtJe(r.balance)) : u"，现金"_s));
    accept();
    try {
        members::upgradeMember(m_card);
    } catch (const DbError &e) {
        msgError(e.message());
    }
    m_main->ShowMber(m_card);
}

} // namespace lanting::sales
