#include "frmcardset.h"

#include "ui_frmcardset.h"

#include "cardrouting.h"
#include "cardsettings.h"
#include "database.h"
#include "messages.h"
#include "pcsccardreader.h"
#include "ui.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::devices
{

FrmCardset::FrmCardset(QWidget *parent) : QDialog(parent), m_ui(new Ui::FrmCardset)
{
    m_ui->setupUi(this);
    connect(m_ui->Op_0, &QRadioButton::toggled, this, &FrmCardset::typeChanged);
    connect(m_ui->Op_1, &QRadioButton::toggled, this, &FrmCardset::typeChanged);
    connect(m_ui->comDev, &QComboBox::currentIndexChanged, this, &FrmCardset::typeChanged);
    connect(m_ui->comRead, &QComboBox::currentIndexChanged, this, &FrmCardset::typeChanged);
    connect(m_ui->cmdSave, &QPushButton::clicked, this, &FrmCardset::save);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    try {
        const CardSettings s = loadCardSettings();
        (s.cardType == 0 ? m_ui->Op_0 : m_ui->Op_1)->setChecked(true);
        m_ui->comPort->setEditText(s.port);
        m_ui->comBt->setEditText(s.baud);
        m_ui->txtPwd->setText(s.key);
        m_ui->comDev->setCurrentIndex(s.readerKind);
        // The readers present now to choose from; empty means the first.
        m_ui->comName->addItem(QString());
        m_ui->comName->addItems(PcscCardReader::readers());
        m_ui->comName->setEditText(s.readerName);
        m_ui->comRead->setCurrentIndex(s.uidOnly ? 1 : 0);
        m_ui->spnBlock->setValue(s.block);
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
    const bool pcsc = m_ui->comDev->currentIndex() == 1;
    const bool uidOnly = pcsc && m_ui->comRead->currentIndex() == 1;
    m_ui->comDev->setEnabled(ic);
    m_ui->comPort->setEnabled(ic && !pcsc);
    m_ui->comBt->setEnabled(ic && !pcsc);
    m_ui->comName->setEnabled(ic && pcsc);
    m_ui->comRead->setEnabled(ic && pcsc);
    m_ui->spnBlock->setEnabled(ic && pcsc && !uidOnly);
    m_ui->txtPwd->setEnabled(ic && !uidOnly);
}

void FrmCardset::save()
{
    CardSettings s;
    s.cardType = m_ui->Op_0->isChecked() ? 0 : 1;
    s.port = m_ui->comPort->currentText();
    s.baud = m_ui->comBt->currentText();
    s.key = m_ui->txtPwd->text();
    s.readerKind = m_ui->comDev->currentIndex() == 1 ? 1 : 0;
    s.readerName = m_ui->comName->currentText();
    s.uidOnly = m_ui->comRead->currentIndex() == 1;
    s.block = m_ui->spnBlock->value();
    if (s.cardType == 0 && s.readerKind == 1 && !s.uidOnly && !validNumberBlock(s.block)) {
        msgNotice(u"卡号数据块不能是0号块或扇区尾块（3、7、11、…、63）！"_s);
        m_ui->spnBlock->selectAll();
        m_ui->spnBlock->setFocus();
        return;
    }
    if (s.cardType == 0 && !(s.readerKind == 1 && s.uidOnly) && !validSectorKey(s.key)) {
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
