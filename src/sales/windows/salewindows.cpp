#include "salewindows.h"

#include "ui_frmspll.h"
#include "ui_frmspxf.h"

#include "amounts.h"
#include "appstate.h"
#include "customerdisplay.h"
#include "database.h"
#include "frmmain.h"
#include "levels.h"
#include "messages.h"
#include "paywindows.h"
#include "receiptprinter.h"
#include "settlement.h"
#include "sysinfo.h"
#include "ui.h"

#include <QKeyEvent>

using namespace Qt::Literals::StringLiterals;

namespace lanting::sales
{

namespace
{
const QString kNoCategory = u"未分类商品"_s;
constexpr int kKeyRole = Qt::UserRole; // category nodes carry their name as key
} // namespace

// --- FrmSpxf -------------------------------------------------------------

FrmSpxf::FrmSpxf(FrmMain *main, QWidget *parent)
    : QDialog(parent), m_ui(new Ui::FrmSpxf), m_main(main), m_target(devices::TargetNone)
{
    m_ui->setupUi(this);
    state().hotKeyBlocked[AppState::HkSale] = true;
    m_card = main->NowMberID;
    m_name = main->shownMember(u"lblName"_s);
    m_level = main->shownMember(u"lblLv"_s);
    m_ui->lblID->setText(u"会员卡号："_s + m_card);
    m_ui->lblName->setText(u"会员姓名："_s + m_name);
    m_ui->lblLv->setText(u"会员级别："_s + m_level);
    m_ui->lblYe->setText(u"卡内余额："_s + main->shownMember(u"lblKnye"_s));
    m_ui->lblLjcs->setText(u"累计消费次数："_s + main->shownMember(u"lblXfcs"_s));
    m_ui->lblLjje->setText(u"累计消费金额："_s + main->shownMember(u"lblXfje"_s));
    m_ui->picShowList->hide();
    try {
        // The payment way used last.
        const qint64 way = NumVal(GetSysInfo(u"fs"_s)).wholePart();
        (way == 0 ? m_ui->optCPay : way == 1 ? m_ui->optXPay : m_ui->optCxpay)->setChecked(true);
        m_print = GetSysInfo(u"boolprint"_s) == u"yes"_s;
    } catch (const DbError &e) {
        m_ui->optCxpay->setChecked(true);
        msgError(e.message());
    }
    ui::onEnter(m_ui->txtIDName, [this] { search(); });
    connect(m_ui->cmdTianjia, &QPushButton::clicked, this, &FrmSpxf::search);
    connect(m_ui->cmdSpll, &QPushButton::clicked, this, &FrmSpxf::browse);
    connect(m_ui->cmdSelOK, &QPushButton::clicked, this, &FrmSpxf::pickHit);
    connect(m_ui->cmdSelCC, &QPushButton::clicked, this, &FrmSpxf::hideHits);
    connect(m_ui->lvShowList, &QTreeWidget::itemDoubleClicked, this, &FrmSpxf::pickHit);
    m_ui->lvShowList->installEventFilter(this);
    connect(m_ui->lvSp, &QTreeWidget::itemClicked, this, &FrmSpxf::lineSelected);
    // The arrow keys in the basket choose a line as a click does.
    connect(m_ui->lvSp, &QTreeWidget::currentItemChanged, this, &FrmSpxf::lineSelected);
    // All eight columns in view: code, name, price, rate, discounted price,
    // quantity, points, amount.
    const int widths[] = {80, 140, 60, 50, 70, 50, 65, 70};
    for (int c = 0; c < int(std::size(widths)); ++c)
        m_ui->lvSp->setColumnWidth(c, widths[c]);
    ui::onEnter(m_ui->txtNum, [this] { changeQuantity(); });
    connect(m_ui->cmdEdit, &QPushButton::clicked, this, &FrmSpxf::changeQuantity);
    connect(m_ui->cmdDel, &QPushButton::clicked, this, &FrmSpxf::deleteLine);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &FrmSpxf::settle);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
    m_ui->txtIDName->setFocus();
}

FrmSpxf::~FrmSpxf()
{
    state().hotKeyBlocked[AppState::HkSale] = false;
    delete m_ui;
}

void FrmSpxf::reject()
{
    if (m_ui->lvSp->topLevelItemCount() > 0 &&
        !askYesNo(
            u"购物篮中还有%1种商品，确定要放弃本次消费吗？"_s.arg(m_ui->lvSp->topLevelItemCount()),
            u"提示"_s, true))
        return;
    devices::showWelcome(); // the sale given up: the display is idle again
    QDialog::reject();
}

bool FrmSpxf::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->lvShowList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            pickHit();
            return true;
        }
        if (key == Qt::Key_Escape) {
            hideHits();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FrmSpxf::search()
{
    m_ui->lvShowList->clear();
    m_ui->cmdTianjia->setEnabled(false);
    ui::readerReset();
    QList<Goods> hits;
    try {
        hits = saleSearch(m_ui->txtIDName->text());
    } catch (const DbError &e) {
        msgError(e.message());
        m_ui->cmdTianjia->setEnabled(true);
        return;
    }
    for (const Goods &g : hits)
        ui::addRow(m_ui->lvShowList, {g.spid, g.name, FmtJe(g.sj) + u"元"_s, FmtJe(g.jf)});
    if (hits.isEmpty()) {
        msgNotice(u"您输入的商品不存在！"_s);
        m_ui->txtIDName->selectAll();
        m_ui->txtIDName->setFocus();
    } else if (hits.size() == 1) {
        AddSp(hits.first().spid, 1);
        m_ui->txtIDName->selectAll();
        m_ui->txtIDName->setFocus();
    } else {
        m_ui->picShowList->show();
        m_ui->lvShowList->setCurrentItem(m_ui->lvShowList->topLevelItem(0));
        m_ui->lvShowList->setFocus();
    }
    m_ui->cmdTianjia->setEnabled(true);
}

void FrmSpxf::pickHit()
{
    const QString code = ui::currentOrFirst(m_ui->lvShowList);
    m_ui->picShowList->hide();
    if (!code.isEmpty())
        AddSp(code, 1);
    m_ui->txtIDName->clear();
    m_ui->txtIDName->setFocus();
}

void FrmSpxf::hideHits()
{
    m_ui->picShowList->hide();
    m_ui->txtIDName->setFocus();
}

void FrmSpxf::AddSp(const QString &code, Amount quantity)
{
    try {
        const Amount requested = quantity + quantityOf(m_lines, code);
        std::optional<Goods> g = readGoods(code);
        if (!g)
            return;
        if (g->kc < requested && !oversellAllowed()) {
            msgNotice(u"此商品库存不足！"_s);
            return;
        }
        m_ui->cmdTianjia->setText(u"添加中..."_s);
        m_ui->cmdTianjia->setEnabled(false);
        ui::readerReset();
        const Amount rate = memberRate(code, m_level);
        g = readGoods(code);
        if (g) {
            const BasketLine line = makeLine(*g, rate, quantity);
            if (!inRange(requested) || !inRange(line.je) || !inRange(Je + line.je)) {
                msgNotice(outOfRangeText());
                m_ui->cmdTianjia->setText(u"添加(&A)"_s);
                m_ui->cmdTianjia->setEnabled(true);
                return;
            }
            m_lines << line;
            QTreeWidgetItem *row = ui::addRow(m_ui->lvSp, line.texts());
            m_ui->lvSp->setCurrentItem(row);
            m_ui->lvSp->scrollToItem(row);
            m_ui->txtNum->setText(row->text(5));
        }
    } catch (const DbError &e) {
        msgError(e.message());
    }
    recompute();
    m_ui->cmdTianjia->setText(u"添加(&A)"_s);
    m_ui->cmdTianjia->setEnabled(true);
}

int FrmSpxf::currentLine() const
{
    QTreeWidgetItem *row = m_ui->lvSp->currentItem();
    if (!row)
        row = m_ui->lvSp->topLevelItem(0);
    return row ? m_ui->lvSp->indexOfTopLevelItem(row) : -1;
}

void FrmSpxf::lineSelected()
{
    const int i = currentLine();
    if (i >= 0)
        m_ui->txtNum->setText(m_ui->lvSp->topLevelItem(i)->text(5));
}

void FrmSpxf::changeQuantity()
{
    const int i = currentLine();
    if (i < 0)
        return;
    if (!ui::amountsFit({m_ui->txtNum}))
        return;
    const Amount q = NumVal(m_ui->txtNum->text());
    BasketLine &line = m_lines[i];
    try {
        const Amount requested = q + quantityOf(m_lines, line.spid, i);
        const std::optional<Goods> g = readGoods(line.spid);
        const Amount stock = g ? g->kc : 0;
        if (stock < requested) {
            msgNotice(u"此商品库存不足！"_s);
            return;
        }
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    BasketLine changed = line;
    setQuantity(changed, q);
    if (!inRange(changed.je) || !inRange(Je - line.je + changed.je)) {
        msgNotice(outOfRangeText());
        return;
    }
    line = changed;
    QTreeWidgetItem *row = m_ui->lvSp->topLevelItem(i);
    const QStringList texts = line.texts();
    row->setText(5, texts[5]);
    row->setText(7, texts[7]);
    recompute();
}

void FrmSpxf::deleteLine()
{
    const int i = currentLine();
    if (i < 0) {
        msgNotice(u"没有指定商品！"_s);
        return;
    }
    m_lines.removeAt(i);
    delete m_ui->lvSp->takeTopLevelItem(i);
    recompute();
}

void FrmSpxf::recompute()
{
    Je = basketTotal(m_lines);
    m_ui->lblJe->setText(FmtJe(Je) + u"元"_s);
    devices::showOnDisplay(devices::displayLine(u"合计"_s, FmtJe(Je)), QString());
}

void FrmSpxf::browse()
{
    frmSpll dlg(this);
    ui::execModal(&dlg);
}

void FrmSpxf::settle()
{
    if (m_lines.isEmpty()) { // nothing to sell: no empty sale is recorded
        msgNotice(u"请先添加要消费的商品！"_s);
        m_ui->txtIDName->setFocus();
        return;
    }
    Amount yuan;
    try {
        yuan = NumVal(GetSysInfo(u"yuan"_s));
    } catch (const DbError &e) {
        msgError(e.message());
        return;
    }
    Jf = salePoints(m_lines, Je, yuan, m_card);
    if (!inRange(Je) || !inRange(Jf)) {
        msgNotice(outOfRangeText());
        return;
    }
    QString receipt = saleReceipt(m_ui->lblName->text(), m_ui->lblID->text(), m_ui->lblLv->text(),
                                  state().cardType != 0, m_lines, Je, Jf);
    SaleInput sale;
    sale.card = m_card;
    sale.lines = m_lines;
    sale.total = Je;
    sale.points = Jf;
    QString way;
    bool paid = false;
    QString outcome;
    Amount change;
    auto pay = [&](PayDialog &dlg, const QString &chosen) {
        ui::execModal(&dlg);
        paid = dlg.IsOK;
        outcome = dlg.outcome;
        change = dlg.change();
        way = chosen;
    };
    if (m_ui->optCPay->isChecked()) {
        FrmCpay dlg(sale, m_name, this);
        pay(dlg, u"0"_s);
    } else if (m_ui->optXPay->isChecked()) {
        FrmMpay dlg(sale, m_name, this);
        pay(dlg, u"1"_s);
    } else {
        FrmApay dlg(sale, m_name, this);
        pay(dlg, u"2"_s);
    }
    if (!paid)
        return;
    ui::tell(outcome);
    devices::showOnDisplay(devices::displayLine(u"合计"_s, FmtJe(Je)),
                           devices::displayLine(u"找零"_s, FmtJe(change)));
    // The sale is stored; what follows only tells and shows.
    try {
        SetSysInfo(u"fs"_s, way);
        receipt += u"最新余额："_s + FmtJe(cardBalance(m_card)) + u"元"_s + u"\r\n"_s;
    } catch (const DbError &e) {
        msgError(e.message());
    }
    accept();
    if (m_print)
        PrintReceipt(receipt);
    try {
        members::upgradeMember(m_card);
    } catch (const DbError &e) {
        msgError(e.message());
    }
    m_main->ShowMber(m_card);
}

// --- frmSpll -------------------------------------------------------------

frmSpll::frmSpll(FrmSpxf *sale) : QDialog(sale), m_ui(new Ui::frmSpll), m_sale(sale)
{
    m_ui->setupUi(this);
    QTreeWidget *tree = m_ui->listLb;
    QHash<QString, QTreeWidgetItem *> nodes;
    auto topNode = [&](const QString &name) {
        auto *node = new QTreeWidgetItem(tree, {name});
        node->setData(0, kKeyRole, name);
        nodes.insert(name, node);
    };
    try {
        for (const QString &c : categories())
            topNode(c);
        topNode(kNoCategory);
        for (const Goods &g : goodsOfCategory(kAllCategories)) {
            // Goods of a category that no longer exists go with the unsorted ones.
            QTreeWidgetItem *parent = nodes.value(g.lb, nodes.value(kNoCategory));
            new QTreeWidgetItem(parent, {g.spid + u"|"_s + g.name});
        }
    } catch (const DbError &e) {
        msgError(e.message());
    }
    connect(m_ui->cmdAdd, &QPushButton::clicked, this, &frmSpll::add);
    connect(tree, &QTreeWidget::itemDoubleClicked, this, &frmSpll::add);
    connect(m_ui->cmdDel, &QPushButton::clicked, this, &frmSpll::remove);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &frmSpll::confirm);
    connect(m_ui->cmdCC, &QPushButton::clicked, this, &QDialog::reject);
}

frmSpll::~frmSpll()
{
    delete m_ui;
}

void frmSpll::add()
{
    QTreeWidget *tree = m_ui->listLb;
    int nodes = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        ++nodes;
    if (nodes <= 1) {
        msgNotice(u"没有任何商品！"_s);
        return;
    }
    const QTreeWidgetItem *node = tree->currentItem();
    if (!node || node->data(0, kKeyRole).isValid())
        return;
    if (!ui::amountsFit({m_ui->txtNum}))
        return;
    if (NumVal(m_ui->txtNum->text()) <= 0) {
        msgNotice(u"请输入商品的有效数量！"_s);
        return;
    }
    const QString text = node->text(0);
    const qsizetype bar = text.indexOf(u'|');
    const QString code = bar < 0 ? QString() : text.left(bar);
    try {
        if (const std::optional<Goods> g = readGoods(code))
            ui::addRow(m_ui->lvSel,
                       {g->spid, g->name, m_ui->txtNum->text(), FmtJe(g->sj) + u"元"_s, g->dw});
    } catch (const DbError &e) {
        msgError(e.message());
    }
}

void frmSpll::remove()
{
    if (m_ui->lvSel->topLevelItemCount() == 0) {
        msgNotice(u"您尚未选择任何商品！"_s);
        return;
    }
    QTreeWidgetItem *row = m_ui->lvSel->currentItem();
    delete (row ? row : m_ui->lvSel->topLevelItem(0));
}

void frmSpll::confirm()
{
    for (int i = 0; i < m_ui->lvSel->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *row = m_ui->lvSel->topLevelItem(i);
        m_sale->AddSp(row->text(0), NumVal(row->text(2)));
    }
    accept();
}

} // namespace lanting::sales
