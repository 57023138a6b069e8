#include "frmaddmem.h"

#include "ui_frmaddmem.h"

#include "appstate.h"
#include "database.h"
#include "enrolment.h"
#include "frmjsr.h"
#include "frmp.h"
#include "frmvp.h"
#include "messages.h"
#include "mod1.h"
#include "ui.h"

#include <QFileDialog>

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

namespace
{
const QDate kDefaultBirth(1985, 1, 1);
constexpr int kDefaultValidDays = 730;
} // namespace

FrmAddmem::FrmAddmem(QWidget *parent)
    : QDialog(parent),
      m_target(state().isIcCard() ? int(devices::TargetAddMember) : state().cardTarget),
      m_ui(new Ui::FrmAddmem)
{
    m_ui->setupUi(this);
    // With IC cards the number comes from the reader only.
    m_ui->txtID->setEnabled(!state().isIcCard());
    devices::setTargetHandler(devices::TargetAddMember,
                              [this](const QString &card) { m_ui->txtID->setText(card); });

    connect(m_ui->chkJzrq, &QCheckBox::toggled, m_ui->dtJzrq, &QWidget::setEnabled);
    connect(m_ui->cmdSave, &QPushButton::clicked, this, &FrmAddmem::save);
    // A card number from a keyboard-style reader ends with Enter: it moves
    // on to the name, never saves a member half filled in.
    ui::enterMovesOn(this, m_ui->txtPs, [this] { save(); });
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->cmdAddJsr, &QPushButton::clicked, this, &FrmAddmem::chooseReferrer);
    connect(m_ui->cmdClJsr, &QPushButton::clicked, m_ui->txtJsr, &QLineEdit::clear);
    connect(m_ui->cmdPz, &QPushButton::clicked, this, &FrmAddmem::takePhoto);
    connect(m_ui->cmdXzzp, &QPushButton::clicked, this, &FrmAddmem::choosePhoto);
    connect(m_ui->cmdQczp, &QPushButton::clicked, this, [this] { m_photo.clear(); });
    connect(m_ui->cmdVP, &QPushButton::clicked, this, &FrmAddmem::viewPhoto);

    try {
        m_ui->comHylx->addItems(levelNames());
    } catch (const DbError &e) {
        msgError(e.message());
    }
    resetFields();
    ui::closeWait();
}

FrmAddmem::~FrmAddmem()
{
    devices::setTargetHandler(devices::TargetAddMember, {});
    delete m_ui;
}

void FrmAddmem::resetFields()
{
    for (QLineEdit *e :
         {m_ui->txtID, m_ui->txtName, m_ui->txtTel, m_ui->txtZjhm, m_ui->txtPwd1, m_ui->txtPwd2,
          m_ui->txtJsr, m_ui->txtAddr, m_ui->txtQQ, m_ui->txtFx, m_ui->txtPs})
        e->clear();
    m_photo.clear();
    m_ui->comHylx->setCurrentIndex(m_ui->comHylx->count() > 0 ? 0 : -1);
    m_ui->comZjlx->setCurrentIndex(0);
    m_ui->comSex->setCurrentIndex(0);
    m_ui->dtCsny->setDate(kDefaultBirth);
    m_ui->chkJzrq->setChecked(false);
    m_ui->dtJzrq->setEnabled(false);
    m_ui->dtJzrq->setDate(QDate::currentDate().addDays(kDefaultValidDays));
}

bool FrmAddmem::ReadInfo(const QString &cardNumber)
{
    IsAdd = false;
    state().cardTarget = devices::TargetNone; // no swipes while editing
    setWindowTitle(u"修改会员信息"_s);
    std::optional<Member> m;
    try {
        m = readMember(cardNumber);
    } catch (const DbError &e) {
        msgError(e.message());
        return false;
    }
    if (!m)
        return false;
    m_ui->txtID->setText(m->id);
    m_ui->txtID->setEnabled(false);
    m_ui->txtName->setText(m->name);
    m_rememberedState = m->st;
    const int level = m->lv.isEmpty() ? -1 : m_ui->comHylx->findText(m->lv, Qt::MatchExactly);
    m_ui->comHylx->setCurrentIndex(level);
    m_rememberedLevel = level < 0 ? m->lv : QString();
    m_ui->txtTel->setText(m->tel);
    m_ui->comZjlx->setEditText(m->zjlx);
    m_ui->txtZjhm->setText(m->zjhm);
    // The stored password is never shown; empty boxes keep it.
    for (QLineEdit *box : {m_ui->txtPwd1, m_ui->txtPwd2}) {
        box->clear();
        box->setPlaceholderText(u"不修改请留空"_s);
        box->setToolTip(u"留空则保留原密码；输入新密码则替换原密码。"_s);
    }
    if (m->sex >= 0 && m->sex <= 2)
        m_ui->comSex->setCurrentIndex(m->sex);
    if (m->csny.isValid())
        m_ui->dtCsny->setDate(m->csny.date());
    m_ui->chkJzrq->setChecked(m->booljzrq);
    m_storedJzrq = m->jzrq;
    if (m->jzrq.isValid())
        m_ui->dtJzrq->setDate(m->jzrq.date());
    m_ui->txtJsr->setText(m->jsr);
    m_ui->txtAddr->setText(m->addr);
    m_ui->txtQQ->setText(m->qq);
    m_ui->txtFx->setText(m->fx);
    m_photo = m->photo;
    m_ui->txtPs->setText(m->ps);
    m_ui->chkCon->hide();
    return true;
}

MemberForm FrmAddmem::formData() const
{
    MemberForm f;
    f.id = m_ui->txtID->text();
    f.name = m_ui->txtName->text();
    f.lv = m_ui->comHylx->currentIndex() >= 0 ? m_ui->comHylx->currentText() : m_rememberedLevel;
    f.tel = m_ui->txtTel->text();
    f.zjlx = m_ui->comZjlx->currentText();
    f.zjhm = m_ui->txtZjhm->text();
    f.pwd = m_ui->txtPwd1->text();
    f.keepPwd = !IsAdd && f.pwd.isEmpty();
    f.sex = std::max(0, m_ui->comSex->currentIndex());
    f.csny = m_ui->dtCsny->date();
    f.booljzrq = m_ui->chkJzrq->isChecked();
    // A card is valid through its expiry day; a stored moment on the same
    // day is kept as it was.
    const QDate expiry = m_ui->dtJzrq->date();
    f.jzrq = m_storedJzrq.isValid() && m_storedJzrq.date() == expiry
                 ? m_storedJzrq
                 : QDateTime(expiry, QTime(23, 59, 59));
    f.jsr = m_ui->txtJsr->text();
    f.addr = m_ui->txtAddr->text();
    f.qq = m_ui->txtQQ->text();
    f.fx = m_ui->txtFx->text();
    f.photo = m_photo;
    f.ps = m_ui->txtPs->text();
    return f;
}

void FrmAddmem::save()
{
    const bool typed = !state().isIcCard();
    if (m_ui->txtID->text().isEmpty()) {
        msgNotice(u"会员卡号不能为空！"_s);
        if (typed)
            m_ui->txtID->setFocus();
        return;
    }
    if (m_ui->txtName->text().trimmed().isEmpty()) {
        msgNotice(u"请输入会员姓名！"_s);
        m_ui->txtName->setFocus();
        return;
    }
    if (m_ui->txtPwd1->text() != m_ui->txtPwd2->text()) {
        msgNotice(u"两次输入的密码不一致！"_s);
        return;
    }
    m_ui->cmdSave->setText(u"执行中..."_s);
    m_ui->cmdSave->setEnabled(false);
    auto restore = [this] {
        m_ui->cmdSave->setText(u"确定(&O)"_s);
        m_ui->cmdSave->setEnabled(true);
    };
    ui::readerReset();
    try {
        if (IsAdd) {
            if (cardExists(m_ui->txtID->text())) {
                restore();
                msgNotice(u"此卡号已存在！"_s);
                if (typed) {
                    m_ui->txtID->selectAll();
                    m_ui->txtID->setFocus();
                }
                return;
            }
            enrolMember(formData());
        } else {
            updateMemberData(formData(), m_rememberedState);
        }
    } catch (const DbError &e) {
        restore();
        msgError(e.message());
        return;
    }
    IsOK = true;
    restore();
    if (IsAdd && m_ui->chkCon->isChecked()) {
        resetFields();
        if (m_ui->txtID->isEnabled())
            m_ui->txtID->setFocus();
        return;
    }
    accept();
}

void FrmAddmem::chooseReferrer()
{
    FrmJsr dlg(this);
    ui::execModal(&dlg);
    if (dlg.IsOK)
        m_ui->txtJsr->setText(dlg.selectedId());
}

void FrmAddmem::takePhoto()
{
    const QString id = m_ui->txtID->text().trimmed();
    if (id.isEmpty()) {
        msgNotice(u"请先输入卡号！"_s);
        return;
    }
    frmP dlg(this);
    dlg.SetID(id);
    ui::execModal(&dlg);
    if (dlg.clOK)
        m_photo = dlg.PSave + id + u".bmp"_s;
}

void FrmAddmem::choosePhoto()
{
    QFileDialog dlg(this, u"选择照片"_s);
    dlg.setObjectName(u"dlgPhoto"_s);
    dlg.setNameFilter(u"图片文件 (*.jpg *.jpeg *.bmp *.gif *.png)"_s);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    ui::makeRoomy(&dlg);
    // Cancelling keeps the photo the member had.
    if (ui::execModal(&dlg) == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
        m_photo = QDir::toNativeSeparators(dlg.selectedFiles().constFirst());
}

void FrmAddmem::viewPhoto()
{
    if (m_photo.isEmpty()) {
        msgNotice(u"照片为空！"_s);
        return;
    }
    frmVP viewer(this);
    if (!viewer.load(m_photo)) {
        msgNotice(u"无法打开照片文件[%1]，文件不存在或不是图片。"_s.arg(m_photo));
        return;
    }
    ui::execModal(&viewer);
}

} // namespace lanting::members
