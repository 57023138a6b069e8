#include "discountwindows.h"

#include "ui_frmadddz.h"
#include "ui_frmdiscount.h"

#include "amounts.h"
#include "database.h"
#include "discounts.h"
#include "goods.h"
#include "messages.h"
#include "ui.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::sales
{

// --- frmAddDz ------------------------------------------------------------

frmAddDz::frmAddDz(const QStringList &levels, QWidget *parent)
    : QDialog(parent), m_ui(new Ui::frmAddDz)
{
    m_ui->setupUi(this);
    m_ui->comLb->addItems(levels);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmAddDz::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
}

frmAddDz::~frmAddDz()
{
    delete m_ui;
}

QString frmAddDz::level() const
{
    return m_ui->comLb->currentText();
}
QString frmAddDz::discount() const
{
    return m_ui->txtZk->text();
}

void frmAddDz::confirm()
{
    if (m_ui->comLb->currentText().isEmpty() || m_ui->txtZk->text().isEmpty()) {
        msgNotice(u"请将信息填写完整！"_s);
        return;
    }
    if (!ui::amountsFit({m_ui->txtZk}))
        return;
    IsOK = true;
    accept();
}

// --- FrmDiscount ---------------------------------------------------------

FrmDiscount::FrmDiscount(QWidget *parent) : QDialog(parent), m_ui(new Ui::FrmDiscount)
{
    m_ui->setupUi(this);
    connect(m_ui->cmdAdd, &QPushButton::clicked, this, &FrmDiscount::addRate);
    connect(m_ui->cmdDel, &QPushButton::clicked, this, &FrmDiscount::deleteRate);
    connect(m_ui->cmdAllLb, &QPushButton::clicked, this, &FrmDiscount::applyToCategory);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
}

FrmDiscount::~FrmDiscount()
{
    delete m_ui;
}

bool FrmDiscount::SetInfo(const QString &spid)
{
    m_spid = spid;
    m_ui->Lv->clear();
    try {
        const std::optional<Goods> g = readGoods(spid);
        if (!g)
            return false;
        m_price = g->sj;
        m_ui->lblID->setText(spid);
        m_ui->lblName->setText(g->name);
        m_ui->lblSj->setText(FmtJe(m_price) + u"元"_s);
        for (const LevelRate &r : goodsRates(spid))
            addRow(r.lv, r.zkl);
    } catch (const DbError &e) {
        msgError(e.message());
        return false;
    }
    if (m_ui->Lv->topLevelItemCount() > 0)
        m_ui->Lv->setCurrentItem(m_ui->Lv->topLevelItem(0));
    return true;
}

void FrmDiscount::addRow(const QString &level, Amount zkl)
{
    ui::addRow(m_ui->Lv,
               {level, FmtJe(zkl) + u"%"_s, FmtJe(discountedPrice(zkl, m_price)) + u"元"_s});
}

void FrmDiscount::addRate()
{
    QStringList offered;
    try {
        offered = levelsWithoutRate(m_spid);
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    if (offered.isEmpty()) {
        msgNotice(u"没有会员类别项可添加！"_s);
        return;
    }
    frmAddDz dlg(offered, this);
    ui::execModal(&dlg);
    if (!dlg.IsOK)
        return;
    const Amount zkl = rateFromText(dlg.discount());
    try {
        if (!sales::addRate(m_spid, dlg.level(), zkl)) {
            msgNotice(u"没有会员类别项可添加！"_s);
            return;
        }
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    addRow(dlg.level(), zkl);
    m_ui->Lv->setCurrentItem(m_ui->Lv->topLevelItem(m_ui->Lv->topLevelItemCount() - 1));
}

void FrmDiscount::deleteRate()
{
    QTreeWidgetItem *row = m_ui->Lv->currentItem();
    if (!row)
        row = m_ui->Lv->topLevelItem(0);
    if (!row)
        return;
    if (!askYesNo(u"您确实要删除选定的项目吗？"_s, u"确认"_s))
        return;
    try {
        sales::deleteRate(m_spid, row->text(0));
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    delete row;
}

void FrmDiscount::applyToCategory()
{
    try {
        const QString category = categoryOf(m_spid);
        if (category.isEmpty()) {
            msgNotice(u"此商品没有类别！"_s);
            return;
        }
        if (!askYesNo(u"您确实要把当前商品的打折设置应用到["_s + category +
                          u"]类下所有商品上吗？"_s,
                      u"确认"_s))
            return;
        const std::optional<int> count = applyRatesToCategory(m_spid);
        if (!count) {
            msgNotice(u"此商品没有类别！"_s);
            return;
        }
        showMessage({u"设置成功"_s, MsgIcon::Information,
                     u"共有"_s + QString::number(*count) + u"件商品应用了此打折设置！"_s});
    } catch (const DbError &e) {
        msgError(e.message());
    }
}

} // namespace lanting::sales
