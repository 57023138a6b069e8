#include "frmchongzhi.h"

#include <QLayout>

#include "ui_frmchongzhi.h"

#include "amounts.h"
#include "appstate.h"
#include "database.h"
#include "memberlookup.h"
#include "messages.h"
#include "receiptprinter.h"
#include "sms.h"
#include "sysinfo.h"
#include "ui.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::stored_value
{

FrmChongzhi::FrmChongzhi(QWidget *parent) : QDialog(parent), m_ui(new Ui::FrmChongzhi)
{
    m_ui->setupUi(this);
    state().hotKeyBlocked[AppState::HkRecharge] = true;
    try {
        m_ratioMode = ratioMode();
        m_print = GetSysInfo(u"boolprint"_s) == u"yes"_s;
    } catch (const DbError &e) {
        msgError(e.message());
    }
    connect(m_ui->txtSsje, &QLineEdit::textChanged, this, &FrmChongzhi::paidChanged);
    connect(m_ui->chkSd, &QCheckBox::toggled, this, &FrmChongzhi::manualToggled);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &FrmChongzhi::save);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    ui::closeWait();
}

FrmChongzhi::~FrmChongzhi()
{
    state().hotKeyBlocked[AppState::HkRecharge] = false;
    delete m_ui;
}

bool FrmChongzhi::SetID(const QString &cardNumber)
{
    std::optional<RechargeMember> m;
    try {
        m = rechargeMember(cardNumber);
    } catch (const DbError &e) {
        msgError(e.message());
        return false;
    }
    if (!m)
        return false;
    m_member = *m;
    m_czId = cardNumber;
    m_ui->lblID->setText(u"会员卡号："_s + m->id);
    m_ui->lblName->setText(u"会员姓名："_s + m->name);
    m_ui->lblYe->setText(u"卡内余额："_s + FmtJe(m->ye) + u"元"_s);
    if (m_ratioMode && !m->lv.isEmpty() && !m_ui->chkSd->isChecked())
        explain(ratioExplanation(m->lv, m->ratio));
    return true;
}

void FrmChongzhi::explain(const QString &text)
{
    m_ui->lblShow->setText(text);
    // A longer explanation wraps onto more lines: room for two is kept, and
    // the window grows when it needs more.
    const int lines = QFontMetrics(m_ui->lblShow->font()).lineSpacing();
    m_ui->lblShow->setMinimumHeight(
        std::max(2 * lines, m_ui->lblShow->heightForWidth(m_ui->lblShow->width())));
    if (height() < sizeHint().height())
        resize(width(), sizeHint().height());
}

void FrmChongzhi::paidChanged()
{
    const Amount paid = NumVal(m_ui->txtSsje->text());
    if (paid <= 0) {
        m_ui->txtCzje->setText(u"0"_s);
        explain(QString());
        return;
    }
    Bonus b;
    try {
        b = m_ratioMode ? ratioBonus(paid, m_member.lv, m_member.ratio) : bandBonus(paid);
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    if (!m_ui->chkSd->isChecked())
        explain(b.explanation);
    // A hand-made amount is replaced whenever the paid amount changes.
    m_ui->txtCzje->setText(FmtJe(paid + b.bonus));
}

void FrmChongzhi::manualToggled(bool on)
{
    m_ui->txtCzje->setReadOnly(!on);
    if (on)
        explain(u"自定义充值"_s);
}

void FrmChongzhi::save()
{
    if (m_czId == members::kNoCardId) {
        msgNotice(u"无卡用户不允许充值！"_s);
        return;
    }
    if (!ui::amountsFit({m_ui->txtSsje, m_ui->txtCzje}))
        return;
    const Amount credited = NumVal(m_ui->txtCzje->text());
    if (credited == 0) {
        msgNotice(u"充值金额不能为0！"_s);
        return;
    }
    m_ui->cmdOK->setEnabled(false);
    Recharged r;
    try {
        r = recharge(m_czId, NumVal(m_ui->txtSsje->text()), credited, m_ui->lblShow->text(),
                     m_ui->txtPs->text());
    } catch (const DbError &e) {
        m_ui->cmdOK->setEnabled(true);
        msgError(e.message());
        return;
    }
    m_ui->lblYe->setText(u"卡内余额："_s + FmtJe(r.balance) + u"元"_s);
    IsOK = true;
    // The recharge is stored: the receipt and the message follow and can
    // no longer undo it.
    if (m_print)
        sales::PrintReceipt(rechargeReceipt(m_ui->lblName->text(), m_ui->lblID->text(),
                                            !state().isIcCard(), m_ui->txtSsje->text(),
                                            m_ui->txtCzje->text(), r.balance));
    devices::SendCzSms(r.name, m_czId, m_ui->txtCzje->text() + u"元"_s, FmtJe(r.balance) + u"元"_s);
    msgSuccess(u"充值成功，此会员最新余额为"_s + FmtJe(r.balance) + u"元！"_s);
    ui::tell(u"充值成功：最新余额%1元"_s.arg(FmtJe(r.balance)));
    accept();
}

} // namespace lanting::stored_value
