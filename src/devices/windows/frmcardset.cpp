#include "frmcardset.h"

#include "ui_frmcardset.h"

#include "cardrouting.h"
#include "cardsettings.h"
#include "database.h"
#include "messages.h"
#include "ui.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::devices
{

FrmCardset::FrmCardset(QWidget *parent) : QDialog(parent), m_ui(new Ui::FrmCardset)
{
    m_ui->setupUi(this);
    connect(m_ui->Op_0, &QRadioButton::toggled, this, &FrmCardset::typeChanged);
    connect(m_ui->Op_1, &QRadioButton::toggled, this, &FrmCardset::typeChanged);
    connect(m_ui->cmdSave, &QPushButton::clicked, this, &FrmCardset::save);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    try {
        const CardSettings s = loadCardSettings();
        (s.cardType == 0 ? m_ui->Op_0 : m_ui->Op_1)->setChecked(true);
        m_ui->comPort->setEditText(s.port);
        m_ui->comBt->setEditText(s.baud);
        m_ui->txtPwd->setText(s.key);
    } catch (const DbError &e) {
        msgError(e.message());
    }
    typeChanged();
    ui::closeWait();
}

FrmCardset::~FrmCardset()
{
    delete m_ui;
}

void FrmCardset::typeChanged()
{
    const bool ic = m_ui->Op_0->isChecked();
    m_ui->comPort->setEnabled(ic);
    m_ui->comBt->setEnabled(ic);
    m_ui->txtPwd->setEnabled(ic);
}

void FrmCardset::save()
{
    CardSettings s;
    s.cardType = m_ui->Op_0->isChecked() ? 0 : 1;
    s.port = m_ui->comPort->currentText();
    s.baud = m_ui->comBt->currentText();
    s.key = m_ui->txtPwd->text();
    if (s.cardType == 0 && !validSectorKey(s.key)) {
        msgNotice(u"IC卡密码必须是12位字符组成，且每位字符只能使用0-9和A-F！"_s);
        m_ui->txtPwd->selectAll();
        m_ui->txtPwd->setFocus();
        return;
    }
    m_ui->cmdSave->setText(u"保存中..."_s);
    m_ui->cmdSave->setEnabled(false);
    try {
        saveCardSettings(s);
    } catch (const DbError &e) {
        m_ui->cmdSave->setText(u"保存(&S)"_s);
        m_ui->cmdSave->setEnabled(true);
        msgError(e.message());
        return;
    }
    m_ui->cmdSave->setText(u"保存(&S)"_s);
    m_ui->cmdSave->setEnabled(true);
    msgSuccess(u"卡操作参数已保存，您需要重新启动软件才能生效！"_s);
    accept();
}

} // namespace lanting::devices
