#include "frmgs.h"

#include "ui_frmgs.h"

#include "cardloss.h"
#include "database.h"
#include "memberlookup.h"
#include "messages.h"
#include "ui.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::members {

frmGs::frmGs(const QString &card, QWidget *parent)
    : QDialog(parent), m_ui(new Ui::frmGs), m_card(card)
{
    m_ui->setupUi(this);
    devices::setTargetHandler(devices::TargetNewCard,
                              [this](const QString &number) { m_ui->txtNewID->setText(number); });
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmGs::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
    try {
        if (const std::optional<Member> m = readMember(card)) {
            m_ui->lblID->setText(u"会员卡号："_s + m->id);
            m_ui->lblName->setText(u"会员姓名："_s + m->name);
            m_ui->lblZjlx->setText(u"证件类型："_s + m->zjlx);
            if (m->st != 0) {
                msgNotice(u"选中的会员已挂失或已被禁用，不能操作！"_s);
                m_ui->cmdOK->setEnabled(false);
            }
        }
    } catch (const DbError &e) {
        msgError(e.message());
    }
    m_ui->txtZjhm->setFocus();
}

frmGs::~frmGs()
{
    devices::setTargetHandler(devices::TargetNewCard, {});
    delete m_ui;
}

QString frmGs::newId() const
{
    return m_ui->txtNewID->text().trimmed();
}

void frmGs::confirm()
{
    if (m_ui->txtNewID->text().trimmed().isEmpty()) {
        msgNotice(u" 新卡号不能为空！"_s);
        m_ui->txtNewID->setFocus();
        return;
    }
    m_ui->cmdOK->setEnabled(false);
    ui::readerReset();
    CardLoss r;
    try {
        r = replaceCard(m_card, m_ui->txtNewID->text(), m_ui->txtZjhm->text());
    } catch (const DbError &e) {
        m_ui->cmdOK->setEnabled(true);
        msgError(e.message());
        return;
    }
    switch (r) {
    case CardLoss::Done:
        IsOK = true;
        msgNotice(u"挂失成功！旧卡已作废！"_s);
        accept();
        return;
    case CardLoss::Exists:
        m_ui->cmdOK->setEnabled(true);
        msgNotice(u" 您输入的新卡号已经存在！"_s);
        m_ui->txtNewID->selectAll();
        m_ui->txtNewID->setFocus();
        return;
    case CardLoss::WrongCertificate:
        m_ui->cmdOK->setEnabled(true);
        msgNotice(u"输入的证件号码错误！"_s);
        return;
    default:
        m_ui->cmdOK->setEnabled(true);
        msgNotice(u"此会员不存在！"_s);
        return;
    }
}

} // namespace lanting::members
