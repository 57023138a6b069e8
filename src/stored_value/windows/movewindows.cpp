#include "movewindows.h"

#include "ui_frmdhjf.h"
#include "ui_frmtuihuo.h"
#include "ui_frmzz.h"

#include "accountmoves.h"
#include "amounts.h"
#include "appstate.h"
#include "database.h"
#include "messages.h"
#include "ui.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::stored_value
{

namespace
{
const QString kNoCard = u"000000000000"_s;
}

// --- FrmDHJF -------------------------------------------------------------

FrmDHJF::FrmDHJF(const QString &card, const QString &shownPoints, QWidget *parent)
    : QDialog(parent), m_ui(new Ui::FrmDHJF), m_card(card)
{
    m_ui->setupUi(this);
    state().hotKeyBlocked[AppState::HkExchange] = true;
    m_ui->lblJf->setText(u"现有积分："_s + shownPoints);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &FrmDHJF::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
    m_ui->txtJf->setFocus();
}

FrmDHJF::~FrmDHJF()
{
    state().hotKeyBlocked[AppState::HkExchange] = false;
    delete m_ui;
}

void FrmDHJF::confirm()
{
    if (!ui::amountsFit({m_ui->txtJf}))
        return;
    Refusal r;
    try {
        r = exchangePoints(m_card, WholeVal(m_ui->txtJf->text()), m_ui->txtPs->text());
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    switch (r) {
    case Refusal::None:
        IsOK = true;
        accept();
        return;
    case Refusal::NotPositive:
        msgNotice(u"兑换的积分必须大于0！"_s);
        return;
    case Refusal::TooFew:
        msgNotice(u"积分不足！"_s);
        return;
    case Refusal::OutOfRange:
        msgNotice(outOfRangeText());
        return;
    default:
        msgNotice(u"此会员不存在！"_s);
        return;
    }
}

// --- FrmTuihuo -----------------------------------------------------------

FrmTuihuo::FrmTuihuo(int conId, const QString &card, const QString &shownName,
                     const QString &shownLevel, QWidget *parent)
    : QDialog(parent), m_ui(new Ui::FrmTuihuo), m_conId(conId), m_card(card), m_name(shownName),
      m_level(shownLevel)
{
    m_ui->setupUi(this);
    m_ui->Opt1->setChecked(true);
    if (card == kNoCard) {
        m_ui->Opt2->setChecked(true);
        m_ui->Opt1->setEnabled(false);
    }
    try {
        m_ui->lblKtje->setText(u"可退金额："_s + FmtJe(returnable(conId)) + u"元"_s);
    } catch (const DbError &e) {
        msgError(e.message());
    }
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &FrmTuihuo::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
    m_ui->txtThje->setFocus();
}

FrmTuihuo::~FrmTuihuo()
{
    delete m_ui;
}

void FrmTuihuo::confirm()
{
    if (!ui::amountsFit({m_ui->txtThje}))
        return;
    const bool toCard = m_ui->Opt1->isChecked();
    Refusal r;
    try {
        r = recordReturn(m_conId, m_card, m_name, m_level, NumVal(m_ui->txtThje->text()), toCard,
                         m_ui->txtPs->text());
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    switch (r) {
    case Refusal::None:
        m_toCard = toCard;
        IsOK = true;
        ui::tell(u"退货成功：%1元，%2"_s.arg(FmtJe(NumVal(m_ui->txtThje->text())),
                                             toCard ? u"退回会员卡"_s : u"退还现金"_s));
        accept();
        return;
    case Refusal::NotPositive:
        msgNotice(u"退货金额必须大于0元！"_s);
        return;
    case Refusal::NoMember:
        msgNotice(u"此会员不存在！"_s);
        return;
    case Refusal::OutOfRange:
        msgNotice(outOfRangeText());
        return;
    default:
        msgNotice(u"退货金额不能大于可退金额！"_s);
        return;
    }
}

// --- frmZz ---------------------------------------------------------------

frmZz::frmZz(const QString &source, QWidget *parent)
    : QDialog(parent), m_ui(new Ui::frmZz), m_source(source)
{
    m_ui->setupUi(this);
    devices::setTargetHandler(devices::TargetTransfer, [this](const QString &card) {
        m_ui->txtIDName->setText(card);
        find();
    });
    try {
        if (const std::optional<Party> p = readParty(source)) {
            m_ui->lblZcID->setText(u"卡号："_s + p->id);
            m_ui->lblZcName->setText(u"姓名："_s + p->name);
            m_ui->lblZcYe->setText(u"余额："_s + FmtJe(p->ye) + u"元"_s);
        }
    } catch (const DbError &e) {
        msgError(e.message());
    }
    ui::onEnter(m_ui->txtIDName, [this] { find(); });
    connect(m_ui->cmdFind, &QPushButton::clicked, this, &frmZz::find);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmZz::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
    m_ui->txtIDName->setFocus();
}

frmZz::~frmZz()
{
    devices::setTargetHandler(devices::TargetTransfer, {});
    delete m_ui;
}

void frmZz::find()
{
    m_ui->cmdFind->setEnabled(false);
    std::optional<Party> p;
    try {
        p = findParty(m_ui->txtIDName->text());
    } catch (const DbError &e) {
        msgError(e.message());
    }
    m_ui->cmdFind->setEnabled(true);
    if (!p) {
        msgNotice(u"没有找到指定会员！"_s);
        m_ui->txtIDName->selectAll();
        m_ui->txtIDName->setFocus();
        return;
    }
    m_targetId = p->id;
    m_ui->lblZrID->setText(u"卡号："_s + p->id);
    m_ui->lblZrName->setText(u"姓名："_s + p->name);
    m_ui->lblZrYe->setText(u"余额："_s + FmtJe(p->ye) + u"元"_s);
}

void frmZz::confirm()
{
    if (!ui::amountsFit({m_ui->txtJe}))
        return;
    const Amount amount = NumVal(m_ui->txtJe->text());
    if (amount <= 0) {
        msgNotice(u"转账金额必须大于0元！"_s);
        m_ui->txtJe->selectAll();
        m_ui->txtJe->setFocus();
        return;
    }
    if (m_targetId.isEmpty()) {
        msgNotice(u"没有指定转入账号！"_s);
        return;
    }
    if (m_targetId == m_source) {
        msgNotice(u"转入账号和转出账号不能相同！"_s);
        return;
    }
    if (m_source == kNoCard || m_targetId == kNoCard) {
        msgNotice(u"转出卡号和转入卡号均不能为无卡用户！"_s);
        return;
    }
    Refusal r;
    try {
        r = transfer(m_source, m_targetId, amount, m_ui->txtPs->text());
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    switch (r) {
    case Refusal::None:
        msgSuccess(u"转账成功！"_s);
        accept();
        return;
    case Refusal::TargetUnusable:
        msgNotice(u"转入会员账号处于不可用状态，不能进行转账！"_s);
        return;
    case Refusal::TooFew:
        msgNotice(u"转出会员余额不足！"_s);
        return;
    case Refusal::OutOfRange:
        msgNotice(outOfRangeText());
        return;
    default:
        msgNotice(u"此会员不存在！"_s);
        return;
    }
}

} // namespace lanting::stored_value
