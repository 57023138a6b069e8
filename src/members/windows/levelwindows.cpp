#include "levelwindows.h"

#include "ui_frmaddmemlv.h"
#include "ui_frmlvup.h"
#include "ui_frmmemlv.h"
#include "ui_frmszjf.h"

#include "amounts.h"
#include "database.h"
#include "levels.h"
#include "messages.h"
#include "ui.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

// --- FrmAddMemLv ---------------------------------------------------------

FrmAddMemLv::FrmAddMemLv(QWidget *parent) : QDialog(parent), m_ui(new Ui::FrmAddMemLv)
{
    m_ui->setupUi(this);
    m_ui->txtZk->setText(u"100"_s);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &FrmAddMemLv::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
}

FrmAddMemLv::~FrmAddMemLv()
{
    delete m_ui;
}

void FrmAddMemLv::setLevel(const Level &l)
{
    setWindowTitle(u"修改会员类别"_s);
    m_ui->txtName->setText(l.name);
    m_ui->txtZk->setText(FmtJe(l.zk));
    m_ui->txtCsje->setText(FmtJe(l.csje));
    m_ui->txtCsjf->setText(FmtJe(l.csjf));
}

Level FrmAddMemLv::level() const
{
    return levelFromTexts(m_ui->txtName->text(), m_ui->txtZk->text(), m_ui->txtCsje->text(),
                          m_ui->txtCsjf->text());
}

void FrmAddMemLv::confirm()
{
    m_ui->txtName->setText(m_ui->txtName->text().trimmed());
    if (m_ui->txtName->text().isEmpty()) {
        msgNotice(u"等级名称不能为空！"_s);
        m_ui->txtName->setFocus();
        return;
    }
    if (!ui::amountsFit({m_ui->txtZk, m_ui->txtCsje, m_ui->txtCsjf}))
        return;
    if (NumVal(m_ui->txtZk->text()) == 0)
        m_ui->txtZk->setText(u"100"_s);
    IsOK = true;
    accept();
}

// --- FrmMemLv ------------------------------------------------------------

FrmMemLv::FrmMemLv(QWidget *parent) : QDialog(parent), m_ui(new Ui::FrmMemLv)
{
    m_ui->setupUi(this);
    connect(m_ui->cmdAdd, &QPushButton::clicked, this, &FrmMemLv::add);
    connect(m_ui->cmdEdit, &QPushButton::clicked, this, &FrmMemLv::edit);
    connect(m_ui->cmdDel, &QPushButton::clicked, this, &FrmMemLv::remove);
    connect(m_ui->cmdLvUp, &QPushButton::clicked, this, &FrmMemLv::upgradeSettings);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->Lv, &QTreeWidget::itemDoubleClicked, this, &FrmMemLv::edit);
    try {
        for (const Level &l : levels())
            showRow(new QTreeWidgetItem(m_ui->Lv), l);
    } catch (const DbError &e) {
        msgError(e.message());
    }
    if (m_ui->Lv->topLevelItemCount() > 0)
        m_ui->Lv->setCurrentItem(m_ui->Lv->topLevelItem(0));
    ui::closeWait();
}

FrmMemLv::~FrmMemLv()
{
    delete m_ui;
}

void FrmMemLv::showRow(QTreeWidgetItem *row, const Level &l)
{
    row->setText(0, l.name);
    row->setText(1, FmtJe(l.csje));
    row->setText(2, FmtJe(l.csjf));
    row->setText(3, FmtJe(l.zk) + u"%"_s);
}

void FrmMemLv::add()
{
    FrmAddMemLv dlg(this);
    ui::execModal(&dlg);
    if (!dlg.IsOK)
        return;
    const Level l = dlg.level();
    try {
        if (levelNameTaken(l.name)) {
            msgNotice(u"等级名称不能重复！"_s);
            return;
        }
        addLevel(l);
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    auto *row = new QTreeWidgetItem(m_ui->Lv);
    showRow(row, l);
    m_ui->Lv->setCurrentItem(row);
}

void FrmMemLv::edit()
{
    QTreeWidgetItem *row = m_ui->Lv->currentItem();
    if (!row)
        return;
    const QString oldName = row->text(0);
    FrmAddMemLv dlg(this);
    dlg.setLevel(levelFromTexts(oldName, row->text(3).chopped(1), row->text(1), row->text(2)));
    ui::execModal(&dlg);
    if (!dlg.IsOK)
        return;
    const Level l = dlg.level();
    try {
        if (levelNameTaken(l.name, oldName)) {
            msgNotice(u"等级名称不能重复！"_s);
            return;
        }
        updateLevel(oldName, l);
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    showRow(row, l);
}

void FrmMemLv::remove()
{
    QTreeWidgetItem *row = m_ui->Lv->currentItem();
    if (!row)
        return;
    try {
        if (levelInUse(row->text(0))) {
            msgNotice(u"已经有会员应用此等级，此等级不能被删除！"_s);
            return;
        }
        deleteLevel(row->text(0));
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    delete row;
}

void FrmMemLv::upgradeSettings()
{
    frmLvUp dlg(this);
    ui::execModal(&dlg);
}

// --- frmSzjf -------------------------------------------------------------

frmSzjf::frmSzjf(const QString &levelName, const QString &points, QWidget *parent)
    : QDialog(parent), m_ui(new Ui::frmSzjf)
{
    m_ui->setupUi(this);
    m_ui->lblLv->setText(u"等级名称："_s + levelName);
    m_ui->txtJf->setText(points);
    m_ui->txtJf->selectAll();
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmSzjf::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
}

frmSzjf::~frmSzjf()
{
    delete m_ui;
}

QString frmSzjf::points() const
{
    return m_ui->txtJf->text();
}

void frmSzjf::confirm()
{
    if (m_ui->txtJf->text().trimmed().isEmpty()) {
        msgNotice(u"请您输入此等级所需积分！"_s);
        m_ui->txtJf->setFocus();
        return;
    }
    IsOK = true;
    accept();
}

// --- frmLvUp -------------------------------------------------------------

frmLvUp::frmLvUp(QWidget *parent) : QDialog(parent), m_ui(new Ui::frmLvUp)
{
    m_ui->setupUi(this);
    try {
        m_ui->chkLvUp->setChecked(upgradeEnabled());
        for (const Level &l : levels())
            ui::addRow(m_ui->lvTb, {l.name, FmtJe(l.jf.truncated())});
    } catch (const DbError &e) {
        msgError(e.message());
    }
    if (m_ui->lvTb->topLevelItemCount() > 0)
        m_ui->lvTb->setCurrentItem(m_ui->lvTb->topLevelItem(0));
    connect(m_ui->chkLvUp, &QCheckBox::toggled, this, &frmLvUp::switchChanged);
    connect(m_ui->cmdSet, &QPushButton::clicked, this, &frmLvUp::setPoints);
    connect(m_ui->lvTb, &QTreeWidget::itemDoubleClicked, this, &frmLvUp::setPoints);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmLvUp::save);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
    switchChanged();
}

frmLvUp::~frmLvUp()
{
    delete m_ui;
}

void frmLvUp::switchChanged()
{
    m_ui->lvTb->setEnabled(m_ui->chkLvUp->isChecked());
    m_ui->cmdSet->setEnabled(m_ui->chkLvUp->isChecked());
}

void frmLvUp::setPoints()
{
    QTreeWidgetItem *row = m_ui->lvTb->currentItem();
    if (m_ui->lvTb->topLevelItemCount() == 0 || !row) {
        msgNotice(u"您还没有添加任何会员类别！"_s);
        return;
    }
    frmSzjf dlg(row->text(0), row->text(1), this);
    ui::execModal(&dlg);
    if (!dlg.IsOK)
        return;
    if (!inRange(WholeVal(dlg.points()))) {
        msgNotice(outOfRangeText());
        return;
    }
    row->setText(1, FmtJe(WholeVal(dlg.points())));
}

void frmLvUp::save()
{
    QList<std::pair<QString, Amount>> thresholds;
    for (int i = 0; i < m_ui->lvTb->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *row = m_ui->lvTb->topLevelItem(i);
        thresholds.append({row->text(0), WholeVal(row->text(1))});
    }
    try {
        saveUpgrade(m_ui->chkLvUp->isChecked(), thresholds);
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    accept();
}

} // namespace lanting::members
