#include "rulewindows.h"

#include "ui_frmaddcz1.h"
#include "ui_frmaddcz2.h"
#include "ui_frmczgz.h"

#include "amounts.h"
#include "database.h"
#include "messages.h"
#include "rechargerules.h"
#include "ui.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::stored_value
{

// --- FrmAddcz1 -----------------------------------------------------------

FrmAddcz1::FrmAddcz1(QWidget *parent) : QDialog(parent), m_ui(new Ui::FrmAddcz1)
{
    m_ui->setupUi(this);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, [this] {
        if (!ui::amountsFit({m_ui->txt1, m_ui->txt2, m_ui->txtJe}))
            return;
        IsOK = true;
        accept();
    });
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
}

FrmAddcz1::~FrmAddcz1()
{
    delete m_ui;
}

void FrmAddcz1::setBand(const QStringList &cells)
{
    setWindowTitle(u"修改充值规则"_s);
    m_ui->txt1->setText(cells.value(0));
    m_ui->txt2->setText(cells.value(1));
    m_ui->txtJe->setText(cells.value(2));
}

QStringList FrmAddcz1::band() const
{
    return {FmtJe(NumVal(m_ui->txt1->text())), FmtJe(NumVal(m_ui->txt2->text())),
            FmtJe(NumVal(m_ui->txtJe->text()))};
}

// --- FrmAddcz2 -----------------------------------------------------------

FrmAddcz2::FrmAddcz2(const QString &level, const QString &ratio, QWidget *parent)
    : QDialog(parent), m_ui(new Ui::FrmAddcz2)
{
    m_ui->setupUi(this);
    m_ui->lblLv->setText(u"会员等级："_s + level);
    m_ui->txtBl->setText(ratio);
    m_ui->txtBl->selectAll();
    connect(m_ui->cmdOK, &QPushButton::clicked, this, [this] {
        if (!ui::amountsFit({m_ui->txtBl}))
            return;
        IsOK = true;
        accept();
    });
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
}

FrmAddcz2::~FrmAddcz2()
{
    delete m_ui;
}

QString FrmAddcz2::ratio() const
{
    return m_ui->txtBl->text();
}

// --- FrmCzgz -------------------------------------------------------------

FrmCzgz::FrmCzgz(QWidget *parent) : QDialog(parent), m_ui(new Ui::FrmCzgz)
{
    m_ui->setupUi(this);
    connect(m_ui->Opt1, &QRadioButton::toggled, this, &FrmCzgz::modeChanged);
    connect(m_ui->Opt2, &QRadioButton::toggled, this, &FrmCzgz::modeChanged);
    connect(m_ui->cmdAdd1, &QPushButton::clicked, this, &FrmCzgz::addBand);
    connect(m_ui->cmdEdit1, &QPushButton::clicked, this, &FrmCzgz::editBand);
    connect(m_ui->Lv1, &QTreeWidget::itemDoubleClicked, this, &FrmCzgz::editBand);
    connect(m_ui->cmdDel1, &QPushButton::clicked, this, &FrmCzgz::deleteBand);
    connect(m_ui->cmdEdit2, &QPushButton::clicked, this, &FrmCzgz::editRatio);
    connect(m_ui->Lv2, &QTreeWidget::itemDoubleClicked, this, &FrmCzgz::editRatio);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &FrmCzgz::save);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
    try {
        for (const Band &b : bands())
            ui::addRow(m_ui->Lv1, {FmtJe(b.shangxian), FmtJe(b.xiaxian), FmtJe(b.je)});
        for (const auto &[name, ratio] : levelRatios())
            ui::addRow(m_ui->Lv2, {name, FmtJe(ratio) + u"%"_s});
        (ratioModeShown() ? m_ui->Opt2 : m_ui->Opt1)->setChecked(true);
    } catch (const DbError &e) {
        msgError(e.message());
        m_ui->Opt1->setChecked(true);
    }
    for (QTreeWidget *list : {m_ui->Lv1, m_ui->Lv2})
        if (list->topLevelItemCount() > 0)
            list->setCurrentItem(list->topLevelItem(0));
    modeChanged();
    ui::closeWait();
}

FrmCzgz::~FrmCzgz()
{
    delete m_ui;
}

void FrmCzgz::modeChanged()
{
    m_ui->Frame1->setEnabled(m_ui->Opt1->isChecked());
    m_ui->Frame2->setEnabled(m_ui->Opt2->isChecked());
}

void FrmCzgz::addBand()
{
    FrmAddcz1 dlg(this);
    ui::execModal(&dlg);
    if (dlg.IsOK)
        m_ui->Lv1->setCurrentItem(ui::addRow(m_ui->Lv1, dlg.band()));
}

void FrmCzgz::editBand()
{
    QTreeWidgetItem *row = m_ui->Lv1->currentItem();
    if (!row)
        return;
    FrmAddcz1 dlg(this);
    dlg.setBand({row->text(0), row->text(1), row->text(2)});
    ui::execModal(&dlg);
    if (!dlg.IsOK)
        return;
    const QStringList cells = dlg.band();
    for (int i = 0; i < 3; ++i)
        row->setText(i, cells.at(i));
}

void FrmCzgz::deleteBand()
{
    QTreeWidgetItem *row = m_ui->Lv1->currentItem();
    if (row && askYesNo(u"您确定要删除选定项吗？"_s, u"提示"_s))
        delete row;
}

void FrmCzgz::editRatio()
{
    QTreeWidgetItem *row = m_ui->Lv2->currentItem();
    if (!row)
        return;
    FrmAddcz2 dlg(row->text(0), row->text(1).chopped(1), this);
    ui::execModal(&dlg);
    if (dlg.IsOK)
        row->setText(1, FmtJe(NumVal(dlg.ratio())) + u"%"_s);
}

void FrmCzgz::save()
{
    m_ui->cmdOK->setText(u"提交中..."_s);
    m_ui->cmdOK->setEnabled(false);
    ui::readerReset();
    QList<Band> list;
    for (int i = 0; i < m_ui->Lv1->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *r = m_ui->Lv1->topLevelItem(i);
        list << Band{NumVal(r->text(0)), NumVal(r->text(1)), NumVal(r->text(2))};
    }
    QList<std::pair<QString, Amount>> ratios;
    for (int i = 0; i < m_ui->Lv2->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *r = m_ui->Lv2->topLevelItem(i);
        ratios.append({r->text(0), NumVal(r->text(1).chopped(1))});
    }
    try {
        saveRechargeRules(list, ratios, m_ui->Opt2->isChecked());
    } catch (const DbError &e) {
        m_ui->cmdOK->setText(u"确定(&O)"_s);
        m_ui->cmdOK->setEnabled(true);
        msgError(e.message());
        return;
    }
    accept();
}

} // namespace lanting::stored_value
