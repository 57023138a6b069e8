#include "goodswindows.h"

#include "ui_frmaddgoods.h"
#include "ui_frmgoods.h"

#include "amounts.h"
#include "database.h"
#include "discountwindows.h"
#include "frmimport.h"
#include "goods.h"
#include "goodsimport.h"
#include "messages.h"
#include "ui.h"

#include <QInputDialog>
#include <QMenu>

using namespace Qt::Literals::StringLiterals;

namespace lanting::sales
{

// --- FrmAddGoods ---------------------------------------------------------

FrmAddGoods::FrmAddGoods(QWidget *parent) : QDialog(parent), m_ui(new Ui::FrmAddGoods)
{
    m_ui->setupUi(this);
    m_ui->comDw->setCurrentIndex(-1);
    try {
        m_ui->comLb->addItems(categories());
    } catch (const DbError &e) {
        msgError(e.message());
    }
    m_ui->comLb->setCurrentIndex(-1);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &FrmAddGoods::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
    // A code scanned with its Enter moves on to the name.
    ui::enterMovesOn(this, m_ui->txtKc, [this] { confirm(); });
}

FrmAddGoods::~FrmAddGoods()
{
    delete m_ui;
}

void FrmAddGoods::selectCategory(const QString &name)
{
    m_ui->comLb->setCurrentIndex(name.isEmpty() ? -1 : m_ui->comLb->findText(name));
}

void FrmAddGoods::setGoods(const Goods &g)
{
    setWindowTitle(u"修改商品信息"_s);
    m_ui->txtID->setText(g.spid);
    m_ui->txtID->setEnabled(false);
    m_ui->txtName->setText(g.name);
    selectCategory(g.lb);
    m_ui->comDw->setCurrentText(g.dw);
    m_ui->txtJj->setText(FmtJe(g.jj));
    m_ui->txtSj->setText(FmtJe(g.sj));
    m_ui->txtJf->setText(FmtJe(g.jf));
    m_ui->txtKc->setText(FmtJe(g.kc));
}

Goods FrmAddGoods::goods() const
{
    return goodsFromTexts(m_ui->txtID->text(), m_ui->txtName->text(), m_ui->comLb->currentText(),
                          m_ui->comDw->currentText(), m_ui->txtJj->text(), m_ui->txtSj->text(),
                          m_ui->txtJf->text(), m_ui->txtKc->text());
}

QString FrmAddGoods::priceText(int column) const
{
    return (column == 4 ? m_ui->txtJj : column == 5 ? m_ui->txtSj : m_ui->txtKc)->text().trimmed();
}

void FrmAddGoods::confirm()
{
    m_ui->txtJf->setText(m_ui->txtJf->text().trimmed());
    m_ui->txtKc->setText(m_ui->txtKc->text().trimmed());
    for (QLineEdit *required :
         {m_ui->txtID, m_ui->txtName, m_ui->txtJj, m_ui->txtSj, m_ui->txtKc}) {
        if (required->text().isEmpty()) {
            msgNotice(u"请将信息填写完整！"_s);
            required->setFocus();
            return;
        }
    }
    if (!ui::amountsFit({m_ui->txtJj, m_ui->txtSj, m_ui->txtJf, m_ui->txtKc}))
        return;
    IsOK = true;
    accept();
}

// --- FrmGoods ------------------------------------------------------------

FrmGoods::FrmGoods(QWidget *parent)
    : QDialog(parent), m_ui(new Ui::FrmGoods), m_menu(new QMenu(u"右键菜单"_s, this))
{
    m_ui->setupUi(this);
    m_ui->lblLoading->hide();
    auto *edit = m_menu->addAction(u"修改(&E)"_s, this, &FrmGoods::editGoods);
    edit->setObjectName(u"mnuEdit"_s);
    auto *del = m_menu->addAction(u"删除(&D)"_s, this, &FrmGoods::deleteGoods);
    del->setObjectName(u"mnuDel"_s);
    m_menu->addSeparator();
    auto *dis = m_menu->addAction(u"禁用(&I)"_s, this, [this] { setEnabled(false); });
    dis->setObjectName(u"mnuDis"_s);
    auto *ena = m_menu->addAction(u"启用(&A)"_s, this, [this] { setEnabled(true); });
    ena->setObjectName(u"mnuEna"_s);
    m_ui->lvSp->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_ui->lvSp, &QWidget::customContextMenuRequested, this, &FrmGoods::contextMenu);
    connect(m_ui->lvSp, &QTreeWidget::itemDoubleClicked, this, &FrmGoods::editGoods);
    connect(m_ui->Lb, &QListWidget::itemClicked, this, &FrmGoods::categoryClicked);
    connect(m_ui->cmdFind, &QPushButton::clicked, this, &FrmGoods::find);
    connect(m_ui->chkXsjy, &QCheckBox::toggled, this, &FrmGoods::refill);
    connect(m_ui->cmdAddgoods, &QPushButton::clicked, this, &FrmGoods::addGoods);
    connect(m_ui->cmdEditgoods, &QPushButton::clicked, this, &FrmGoods::editGoods);
    connect(m_ui->cmdDelgoods, &QPushButton::clicked, this, &FrmGoods::deleteGoods);
    connect(m_ui->cmdDiscount, &QPushButton::clicked, this, &FrmGoods::discount);
    connect(m_ui->cmdExcel, &QPushButton::clicked, this, &FrmGoods::exportList);
    connect(m_ui->cmdImport, &QPushButton::clicked, this, &FrmGoods::importGoods);
    connect(m_ui->cmdAddLb, &QPushButton::clicked, this, &FrmGoods::addCategory);
    connect(m_ui->cmdDelLb, &QPushButton::clicked, this, &FrmGoods::deleteCategory);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    m_ui->Lb->addItem(kAllCategories);
    try {
        m_ui->Lb->addItems(categories());
    } catch (const DbError &e) {
        msgError(e.message());
    }
    ui::closeWait();
}

FrmGoods::~FrmGoods()
{
    delete m_ui;
}

void FrmGoods::contextMenu(const QPoint &pos)
{
    if (m_ui->lvSp->topLevelItemCount() > 0)
        m_menu->popup(m_ui->lvSp->viewport()->mapToGlobal(pos));
}

void FrmGoods::categoryClicked()
{
    const QListWidgetItem *entry = m_ui->Lb->currentItem();
    if (!entry)
        return;
    m_query = Query::Category;
    m_queryText = entry->text();
    refill();
}

void FrmGoods::find()
{
    m_query = Query::Search;
    m_queryText = m_ui->txtIDName->text();
    refill();
}

void FrmGoods::refill()
{
    if (m_query == Query::None)
        return;
    m_ui->lvSp->clear();
    m_ui->lblLoading->show();
    ui::readerReset();
    try {
        fill(m_query == Query::Category ? goodsOfCategory(m_queryText) : searchGoods(m_queryText));
    } catch (const DbError &e) {
        msgError(e.message());
    }
    m_ui->lblAll->setText(u"总计："_s + QString::number(m_ui->lvSp->topLevelItemCount()));
    m_ui->lblLoading->hide();
}

void FrmGoods::fill(const QList<Goods> &list)
{
    const bool showDisabled = m_ui->chkXsjy->isChecked();
    QList<QTreeWidgetItem *> rows;
    for (const Goods &g : list) {
        if (!g.zt && !showDisabled)
            continue;
        auto *row = new QTreeWidgetItem;
        showRow(row, g);
        rows << row;
    }
    m_ui->lvSp->addTopLevelItems(rows);
    if (!rows.isEmpty())
        m_ui->lvSp->setCurrentItem(rows.first());
}

void FrmGoods::showRow(QTreeWidgetItem *row, const Goods &g)
{
    row->setText(0, g.spid);
    row->setText(1, g.name);
    row->setText(2, g.lb);
    row->setText(3, g.dw);
    row->setText(4, FmtJe(g.jj));
    row->setText(5, FmtJe(g.sj));
    row->setText(6, FmtJe(g.jf));
    row->setText(7, g.zt ? u"有效"_s : u"无效"_s);
    row->setForeground(0, g.zt ? m_ui->lvSp->palette().text() : QBrush(QColor(255, 0, 0)));
    row->setText(8, FmtJe(g.kc));
}

QTreeWidgetItem *FrmGoods::selectedRow() const
{
    if (QTreeWidgetItem *row = m_ui->lvSp->currentItem())
        return row;
    return m_ui->lvSp->topLevelItem(0);
}

void FrmGoods::addGoods()
{
    FrmAddGoods dlg(this);
    if (const QListWidgetItem *entry = m_ui->Lb->currentItem();
        entry && entry->text() != kAllCategories)
        dlg.selectCategory(entry->text());
    ui::execModal(&dlg);
    if (!dlg.IsOK)
        return;
    Goods g = dlg.goods();
    try {
        if (!sales::addGoods(g)) {
            msgNotice(u"商品编号不能重复！"_s);
            return;
        }
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    auto *row = new QTreeWidgetItem(m_ui->lvSp);
    showRow(row, g);
    // The prices and the stock as typed.
    for (int column : {4, 5, 8})
        row->setText(column, dlg.priceText(column));
    m_ui->lvSp->setCurrentItem(row);
    m_ui->lblAll->setText(u"总计："_s + QString::number(m_ui->lvSp->topLevelItemCount()));
}

void FrmGoods::editGoods()
{
    QTreeWidgetItem *row = selectedRow();
    if (!row)
        return;
    try {
        const std::optional<Goods> stored = readGoods(row->text(0));
        if (!stored) {
            msgNotice(u"此商品不存在！"_s);
            return;
        }
        FrmAddGoods dlg(this);
        dlg.setGoods(*stored);
        ui::execModal(&dlg);
        if (!dlg.IsOK)
            return;
        Goods g = dlg.goods();
        g.zt = stored->zt;
        switch (updateGoods(g, stored->kc)) {
        case GoodsUpdate::Gone:
            msgNotice(u"此商品不存在！"_s);
            return;
        case GoodsUpdate::StockChanged:
            msgNotice(u"此商品的库存已在其他收银台变动，修改没有保存，请重新打开后再修改库存！"_s);
            return;
        case GoodsUpdate::Saved:
            break;
        }
        // As stored: a sale at another till may have moved the stock.
        showRow(row, readGoods(g.spid).value_or(g));
    } catch (const DbError &e) {
        msgError(e.message());
    }
}

void FrmGoods::deleteGoods()
{
    QTreeWidgetItem *row = selectedRow();
    if (!row)
        return;
    const QString code = row->text(0), name = row->text(1);
    if (!askYesNo(u"您确实要删除商品["_s + code + u"|"_s + name + u"]吗？"_s, u"确认"_s, true))
        return;
    try {
        sales::deleteGoods(code, name);
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    delete row;
    m_ui->lblAll->setText(u"总计："_s + QString::number(m_ui->lvSp->topLevelItemCount()));
}

void FrmGoods::setEnabled(bool enabled)
{
    QTreeWidgetItem *row = selectedRow();
    if (!row)
        return;
    try {
        setGoodsEnabled(row->text(0), enabled);
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    row->setText(7, enabled ? u"有效"_s : u"无效"_s);
    row->setForeground(0, enabled ? m_ui->lvSp->palette().text() : QBrush(QColor(255, 0, 0)));
}

void FrmGoods::addCategory()
{
    QInputDialog input(this);
    input.setWindowTitle(u"新增商品类别"_s);
    input.setLabelText(u"请输入新类别的名称："_s);
    input.setInputMode(QInputDialog::TextInput);
    if (ui::execModal(&input) != QDialog::Accepted)
        return;
    const QString name = input.textValue().trimmed();
    try {
        switch (sales::addCategory(name)) {
        case CategoryAdd::Reserved:
            msgNotice(u"不能使用这个名字！"_s);
            return;
        case CategoryAdd::Empty:
            return;
        case CategoryAdd::Exists:
            msgNotice(u"您输入的类别已经存在！"_s);
            return;
        case CategoryAdd::Added:
            m_ui->Lb->addItem(name);
            return;
        }
    } catch (const DbError &e) {
        msgError(e.message());
    }
}

void FrmGoods::deleteCategory()
{
    QListWidgetItem *entry = m_ui->Lb->currentItem();
    if (!entry || entry->text() == kAllCategories)
        return;
    const QString name = entry->text();
    try {
        if (categoryInUse(name)) {
            msgNotice(u"此类别下已经有商品，请先删除此类别下的所有商品才能删除此类别！"_s);
            return;
        }
        if (!askYesNo(u"您确实要删除["_s + name + u"]吗？"_s, u"确认"_s))
            return;
        if (!sales::deleteCategory(name)) {
            msgNotice(u"此类别下已经有商品，请先删除此类别下的所有商品才能删除此类别！"_s);
            return;
        }
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    delete entry;
}

void FrmGoods::discount()
{
    QTreeWidgetItem *row = selectedRow();
    if (!row) {
        msgNotice(u"请选择要设置折扣的商品！"_s);
        return;
    }
    FrmDiscount dlg(this);
    if (!dlg.SetInfo(row->text(0))) {
        msgNotice(u"此商品不存在！"_s);
        return;
    }
    ui::execModal(&dlg);
}

void FrmGoods::importGoods()
{
    ui::FrmImport dlg(this, u"商品"_s, u"类别"_s, goodsImportPlan, sales::importGoods);
    if (!dlg.chooseFile())
        return;
    ui::execModal(&dlg);
    if (!dlg.result())
        return;
    m_ui->Lb->clear();
    m_ui->Lb->addItem(kAllCategories);
    try {
        m_ui->Lb->addItems(categories());
    } catch (const DbError &e) {
        msgError(e.message());
    }
    refill();
}

void FrmGoods::exportList()
{
    if (m_ui->lvSp->topLevelItemCount() == 0) {
        msgNotice(u"商品列表为空，无法导出！"_s);
        return;
    }
    ui::ExportReport(m_ui->lvSp, u"商品信息报表"_s, false);
}

} // namespace lanting::sales
