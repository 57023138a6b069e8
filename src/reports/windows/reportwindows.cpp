#include "reportwindows.h"

#include "ui_frmczjl.h"
#include "ui_frmgoodsxf.h"
#include "ui_frmjfcx.h"
#include "ui_frmmemxf.h"
#include "ui_frmrizhi.h"
#include "ui_frmthjl.h"
#include "ui_frmyuee.h"
#include "ui_frmyyqk.h"
#include "ui_frmzgjl.h"

#include "appstate.h"
#include "cardrouting.h"
#include "database.h"
#include "goods.h"
#include "messages.h"
#include "mod1.h"
#include "reportchart.h"
#include "ui.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QScreen>
#include <QTreeView>

using namespace Qt::Literals::StringLiterals;

namespace lanting::reports
{

namespace
{
const QString kAny = u"不限"_s;
}

// --- ReportWindow --------------------------------------------------------

ReportWindow::ReportWindow(QWidget *parent) : QDialog(parent)
{
    m_savedTarget = state().cardTarget;
    state().savedTarget = m_savedTarget;
    state().cardTarget = devices::TargetNone;
}

void ReportWindow::showEvent(QShowEvent *event)
{
    // Lists of many columns: open roomy, never larger than the screen.
    if (!m_sized) {
        m_sized = true;
        QSize size = this->size().expandedTo(QSize(900, 600));
        if (const QScreen *screen = this->screen())
            size = size.boundedTo(screen->availableSize());
        resize(size);
    }
    QDialog::showEvent(event);
}

ReportWindow::~ReportWindow()
{
    for (int target : m_routes)
        devices::setTargetHandler(target, {});
    state().cardTarget = m_savedTarget;
}

void ReportWindow::routeCards(int target, QLineEdit *field, std::function<void()> query)
{
    // Room for a whole card number.
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(u"0000000000000"_s) + 12);
    m_routes << target;
    devices::setTargetHandler(target, [field, query](const QString &card) {
        field->setText(card);
        if (query)
            query();
    });
}

void ReportWindow::setTarget(int target)
{
    state().cardTarget = target;
}

void ReportWindow::fillFilter(QComboBox *box, const QStringList &names)
{
    box->clear();
    box->addItem(kAny);
    box->addItems(names);
    box->setCurrentIndex(0);
}

QString ReportWindow::filterValue(const QComboBox *box)
{
    return box->currentIndex() <= 0 ? QString() : box->currentText();
}

void ReportWindow::today(std::initializer_list<QDateEdit *> pickers)
{
    for (QDateEdit *p : pickers)
        p->setDate(QDate::currentDate());
}

Days ReportWindow::days(const QDateEdit *from, const QDateEdit *to)
{
    return {from->date(), to->date()};
}

void ReportWindow::attach(QTreeView *list, const ReportQuery &report)
{
    auto *model = new ReportModel(list);
    model->setColumns(report.columns);
    list->setModel(model);
    list->setUniformRowHeights(true);
    list->setRootIsDecorated(false);
    connect(model, &ReportModel::failed, this, [](const QString &message) { msgError(message); });
}

ReportModel *ReportWindow::modelOf(const QTreeView *list)
{
    return qobject_cast<ReportModel *>(list->model());
}

bool ReportWindow::run(QTreeView *list, QList<QPushButton *> buttons, QWidget *loading,
                       const std::function<ReportQuery()> &query)
{
    ReportModel *model = modelOf(list);
    model->clear();
    for (QPushButton *b : buttons)
        b->setEnabled(false);
    if (loading)
        loading->show();
    ui::readerReset();
    bool ok = true;
    try {
        model->setQuery(query());
    } catch (const DbError &e) {
        ok = false;
        msgError(e.message());
    }
    // Columns as wide as the first rows need, the last one taking the rest.
    for (int c = 0; c + 1 < model->columnCount(); ++c)
        list->resizeColumnToContents(c);
    if (ReportChart *chart = ReportChart::of(list))
        chart->refresh();
    if (model->rowCount() > 0)
        list->setCurrentIndex(model->index(0, 0));
    if (loading)
        loading->hide();
    for (QPushButton *b : buttons)
        b->setEnabled(true);
    return ok;
}

void ReportWindow::exportWith(QPushButton *excel, QPushButton *print, QTreeView *list,
                              const QString &title)
{
    connect(excel, &QPushButton::clicked, this,
            [list, title] { ui::ExportReport(list, title, false); });
    connect(print, &QPushButton::clicked, this,
            [list, title] { ui::ExportReport(list, title, true); });
}

void ReportWindow::selectTab(const QList<QPushButton *> &tabs, int index)
{
    for (int i = 0; i < tabs.size(); ++i)
        tabs[i]->setStyleSheet(i == index ? u"color: blue;"_s : QString());
}

namespace
{
// The filter lists, read once per window.
QStringList levelsOrEmpty()
{
    try {
        return levelNames();
    } catch (const DbError &e) {
        msgError(e.message());
        return {};
    }
}
QStringList operatorsOrEmpty()
{
    try {
        return operatorNames();
    } catch (const DbError &e) {
        msgError(e.message());
        return {};
    }
}
} // namespace

// --- FrmMemXf ------------------------------------------------------------

FrmMemXf::FrmMemXf(QWidget *parent) : ReportWindow(parent), m_ui(new Ui::FrmMemXf)
{
    m_ui->setupUi(this);
    const QStringList ops = operatorsOrEmpty();
    fillFilter(m_ui->comCzy, ops);
    fillFilter(m_ui->comCzy2, ops);
    today({m_ui->dtStart, m_ui->dtEnd, m_ui->dtStart2, m_ui->dtEnd2});
    for (QWidget *w : {m_ui->picShow, m_ui->picShow2, m_ui->picShow3})
        w->hide();
    attach(m_ui->lvXfjl, salesReport({}, {}, {}));
    attach(m_ui->lvXfxx, saleLines(0));
    attach(m_ui->lvXfmx, lineItemsReport({}, {}, {}));
    routeCards(devices::TargetConsumption1, m_ui->txtID, [this] { searchSales(); });
    routeCards(devices::TargetConsumption2, m_ui->txtID2, [this] { searchLines(); });
    ui::onEnter(m_ui->txtID, [this] { searchSales(); });
    ui::onEnter(m_ui->txtID2, [this] { searchLines(); });
    connect(m_ui->cmdTab_0, &QPushButton::clicked, this, [this] { showTab(0); });
    connect(m_ui->cmdTab_1, &QPushButton::clicked, this, [this] { showTab(1); });
    connect(m_ui->cmdSearch, &QPushButton::clicked, this, &FrmMemXf::searchSales);
    connect(m_ui->cmdSearch2, &QPushButton::clicked, this, &FrmMemXf::searchLines);
    // The lines of the sale the cursor is on.
    connect(m_ui->lvXfjl->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &FrmMemXf::showLines);
    exportWith(m_ui->cmdExcel, m_ui->cmdPrint, m_ui->lvXfjl, u"消费记录报表"_s);
    exportWith(m_ui->dcButton11, m_ui->dcButton12, m_ui->lvXfmx, u"会员消费明细报表"_s);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->cmdClose2, &QPushButton::clicked, this, &QDialog::reject);
    showTab(0);
    ui::closeWait();
}

FrmMemXf::~FrmMemXf()
{
    delete m_ui;
}

void FrmMemXf::showTab(int index)
{
    selectTab({m_ui->cmdTab_0, m_ui->cmdTab_1}, index);
    m_ui->stkTab->setCurrentIndex(index);
    setTarget(index == 0 ? devices::TargetConsumption1 : devices::TargetConsumption2);
}

void FrmMemXf::searchSales()
{
    modelOf(m_ui->lvXfxx)->clear();
    run(m_ui->lvXfjl, {m_ui->cmdSearch}, m_ui->picShow, [this] {
        return salesReport(days(m_ui->dtStart, m_ui->dtEnd), filterValue(m_ui->comCzy),
                           m_ui->txtID->text());
    });
}

void FrmMemXf::showLines()
{
    const QModelIndex current = m_ui->lvXfjl->currentIndex();
    if (!current.isValid())
        return;
    const int conId = modelOf(m_ui->lvXfjl)->value(current.row(), 0).toInt();
    run(m_ui->lvXfxx, {}, m_ui->picShow2, [conId] { return saleLines(conId); });
}

void FrmMemXf::searchLines()
{
    m_ui->txtID2->setText(m_ui->txtID2->text().trimmed());
    run(m_ui->lvXfmx, {m_ui->cmdSearch2}, m_ui->picShow3, [this] {
        return lineItemsReport(days(m_ui->dtStart2, m_ui->dtEnd2), filterValue(m_ui->comCzy2),
                               m_ui->txtID2->text());
    });
}

// --- FrmGoodsXf ----------------------------------------------------------

FrmGoodsXf::FrmGoodsXf(QWidget *parent) : ReportWindow(parent), m_ui(new Ui::FrmGoodsXf)
{
    m_ui->setupUi(this);
    QStringList categories;
    try {
        categories = sales::categories();
    } catch (const DbError &e) {
        msgError(e.message());
    }
    fillFilter(m_ui->comLb, categories);
    today({m_ui->dtStart, m_ui->dtEnd});
    m_ui->picShow->hide();
    attach(m_ui->lvTb, goodsStatistics({}, {}, {}));
    connect(m_ui->cmdSearch, &QPushButton::clicked, this, [this] {
        run(m_ui->lvTb, {m_ui->cmdSearch}, m_ui->picShow, [this] {
            return goodsStatistics(days(m_ui->dtStart, m_ui->dtEnd), m_ui->txtSpID->text(),
                                   filterValue(m_ui->comLb));
        });
    });
    exportWith(m_ui->cmdExcel, m_ui->cmdPrint, m_ui->lvTb, u"商品消费统计报表"_s);
    auto *chart = new ReportChart(m_ui->lvTb, u"售出最多的20种商品"_s);
    chart->setChoices({u"按售出金额"_s, u"按利润"_s});
    chart->setMaker([](const ReportModel &list, int by) {
        return goodsChart(list, by == 1 ? GoodsBy::Profit : GoodsBy::Amount);
    });
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    ui::closeWait();
}

FrmGoodsXf::~FrmGoodsXf()
{
    delete m_ui;
}

// --- FrmYyqk -------------------------------------------------------------

FrmYyqk::FrmYyqk(QWidget *parent) : ReportWindow(parent), m_ui(new Ui::FrmYyqk)
{
    m_ui->setupUi(this);
    today({m_ui->dtStart, m_ui->dtEnd});
    for (QComboBox *y : {m_ui->comY1, m_ui->comY2}) {
        for (int year = 1980; year <= 2299; ++year)
            y->addItem(QString::number(year));
        y->setCurrentText(QString::number(QDate::currentDate().year()));
    }
    for (QComboBox *m : {m_ui->comM1, m_ui->comM2}) {
        for (int month = 1; month <= 12; ++month)
            m->addItem(QString::number(month));
        m->setCurrentIndex(0);
    }
    m_ui->picShow->hide();
    attach(m_ui->lvTb1, dailyTurnover({}, {}));
    attach(m_ui->lvTb2, monthlyTurnover(0, 0, 0, 0));
    const QList<QPushButton *> tabs{m_ui->dcButton1, m_ui->dcButton2};
    auto show = [this, tabs](int i) {
        selectTab(tabs, i);
        m_ui->stkTab->setCurrentIndex(i);
    };
    connect(m_ui->dcButton1, &QPushButton::clicked, this, [show] { show(0); });
    connect(m_ui->dcButton2, &QPushButton::clicked, this, [show] { show(1); });
    show(0);
    connect(m_ui->cmdSearch1, &QPushButton::clicked, this, [this] {
        run(m_ui->lvTb1, {m_ui->cmdSearch1}, m_ui->picShow,
            [this] { return dailyTurnover(m_ui->dtStart->date(), m_ui->dtEnd->date()); });
    });
    connect(m_ui->cmdSearch2, &QPushButton::clicked, this, [this] {
        run(m_ui->lvTb2, {m_ui->cmdSearch2}, m_ui->picShow, [this] {
            return monthlyTurnover(
                m_ui->comY1->currentText().toInt(), m_ui->comM1->currentText().toInt(),
                m_ui->comY2->currentText().toInt(), m_ui->comM2->currentText().toInt());
        });
    });
    exportWith(m_ui->cmdExcel1, m_ui->cmdPrint1, m_ui->lvTb1, u"日营业额统计报表"_s);
    exportWith(m_ui->cmdExcel2, m_ui->cmdPrint2, m_ui->lvTb2, u"月营业额统计报表"_s);
    for (const auto &[list, title] :
         {std::pair{m_ui->lvTb1, u"日营业额"_s}, std::pair{m_ui->lvTb2, u"月营业额"_s}})
        (new ReportChart(list, title))->setMaker([](const ReportModel &l, int) {
            return turnoverChart(l);
        });
    connect(m_ui->cmdClose1, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->cmdClose2, &QPushButton::clicked, this, &QDialog::reject);
    ui::closeWait();
}

FrmYyqk::~FrmYyqk()
{
    delete m_ui;
}

// --- record reports ------------------------------------------------------

FrmCzjl::FrmCzjl(QWidget *parent) : ReportWindow(parent), m_ui(new Ui::FrmCzjl)
{
    m_ui->setupUi(this);
    fillFilter(m_ui->comCzy, operatorsOrEmpty());
    fillFilter(m_ui->comLb, levelsOrEmpty());
    today({m_ui->dtStart, m_ui->dtEnd});
    m_ui->picShow->hide();
    attach(m_ui->lvTb, rechargeRecords({}, {}, {}, {}));
    routeCards(devices::TargetRechargeReport, m_ui->txtID, [this] { search(); });
    setTarget(devices::TargetRechargeReport);
    connect(m_ui->cmdSearch, &QPushButton::clicked, this, &FrmCzjl::search);
    exportWith(m_ui->cmdExcel, m_ui->cmdPrint, m_ui->lvTb, u"会员充值记录报表"_s);
    auto *chart = new ReportChart(m_ui->lvTb, u"充值金额"_s);
    chart->setChoices({u"按日"_s, u"按月"_s});
    chart->setMaker(
        [](const ReportModel &list, int by) { return rechargeChart(list.query(), by == 1); });
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    ui::closeWait();
}

FrmCzjl::~FrmCzjl()
{
    delete m_ui;
}

void FrmCzjl::search()
{
    m_ui->txtID->setText(m_ui->txtID->text().trimmed());
    run(m_ui->lvTb, {m_ui->cmdSearch}, m_ui->picShow, [this] {
        return rechargeRecords(days(m_ui->dtStart, m_ui->dtEnd), filterValue(m_ui->comLb),
                               m_ui->txtID->text(), filterValue(m_ui->comCzy));
    });
}

FrmJfcx::FrmJfcx(QWidget *parent) : ReportWindow(parent), m_ui(new Ui::FrmJfcx)
{
    m_ui->setupUi(this);
    fillFilter(m_ui->comCzy, operatorsOrEmpty());
    fillFilter(m_ui->comLv, levelsOrEmpty());
    today({m_ui->dtStart, m_ui->dtEnd});
    m_ui->picShow->hide();
    attach(m_ui->lvTb, exchangeRecords({}, {}, {}, {}));
    routeCards(devices::TargetExchangeReport, m_ui->txtID, [this] { search(); });
    setTarget(devices::TargetExchangeReport);
    connect(m_ui->cmdSearch, &QPushButton::clicked, this, &FrmJfcx::search);
    exportWith(m_ui->cmdExcel, m_ui->cmdPrint, m_ui->lvTb, u"积分兑换统计报表"_s);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    ui::closeWait();
}

FrmJfcx::~FrmJfcx()
{
    delete m_ui;
}

void FrmJfcx::search()
{
    m_ui->txtID->setText(m_ui->txtID->text().trimmed());
    run(m_ui->lvTb, {m_ui->cmdSearch}, m_ui->picShow, [this] {
        return exchangeRecords(days(m_ui->dtStart, m_ui->dtEnd), m_ui->txtID->text(),
                               filterValue(m_ui->comLv), filterValue(m_ui->comCzy));
    });
}

FrmZgjl::FrmZgjl(QWidget *parent) : ReportWindow(parent), m_ui(new Ui::FrmZgjl)
{
    m_ui->setupUi(this);
    fillFilter(m_ui->comCzy, operatorsOrEmpty());
    const QStringList levels = levelsOrEmpty();
    fillFilter(m_ui->comZclb, levels);
    fillFilter(m_ui->comZrlb, levels);
    today({m_ui->dtStart, m_ui->dtEnd});
    m_ui->picShow->hide();
    attach(m_ui->lvTb, transferRecords({}, {}, {}, {}, {}, {}));
    // A swipe fills the card field that has the focus; none runs a query.
    routeCards(devices::TargetTransferFrom, m_ui->txtZcID);
    routeCards(devices::TargetTransferTo, m_ui->txtZrID);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget *, QWidget *now) { focusMoved(now); });
    connect(m_ui->cmdSearch, &QPushButton::clicked, this, [this] {
        for (QLineEdit *e : {m_ui->txtZcID, m_ui->txtZrID})
            e->setText(e->text().trimmed());
        run(m_ui->lvTb, {m_ui->cmdSearch}, m_ui->picShow, [this] {
            return transferRecords(days(m_ui->dtStart, m_ui->dtEnd), filterValue(m_ui->comCzy),
                                   filterValue(m_ui->comZclb), filterValue(m_ui->comZrlb),
                                   m_ui->txtZcID->text(), m_ui->txtZrID->text());
        });
    });
    exportWith(m_ui->cmdExcel, m_ui->cmdPrint, m_ui->lvTb, u"转账记录报表"_s);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    ui::closeWait();
}

FrmZgjl::~FrmZgjl()
{
    delete m_ui;
}

void FrmZgjl::focusMoved(QWidget *now)
{
    if (!isVisible())
        return;
    setTarget(now == m_ui->txtZcID   ? devices::TargetTransferFrom
              : now == m_ui->txtZrID ? devices::TargetTransferTo
                                     : devices::TargetNone);
}

FrmThjl::FrmThjl(QWidget *parent) : ReportWindow(parent), m_ui(new Ui::FrmThjl)
{
    m_ui->setupUi(this);
    fillFilter(m_ui->comCzy, operatorsOrEmpty());
    fillFilter(m_ui->comLb, levelsOrEmpty());
    today({m_ui->dtStart, m_ui->dtEnd});
    m_ui->picShow->hide();
    attach(m_ui->lvTb, returnRecords({}, {}, {}, {}));
    routeCards(devices::TargetReturnReport, m_ui->txtID, [this] { search(); });
    setTarget(devices::TargetReturnReport);
    connect(m_ui->cmdSearch, &QPushButton::clicked, this, &FrmThjl::search);
    exportWith(m_ui->cmdExcel, m_ui->cmdPrint, m_ui->lvTb, u"退货记录报表"_s);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    ui::closeWait();
}

FrmThjl::~FrmThjl()
{
    delete m_ui;
}

void FrmThjl::search()
{
    m_ui->txtID->setText(m_ui->txtID->text().trimmed());
    run(m_ui->lvTb, {m_ui->cmdSearch}, m_ui->picShow, [this] {
        return returnRecords(days(m_ui->dtStart, m_ui->dtEnd), filterValue(m_ui->comCzy),
                             filterValue(m_ui->comLb), m_ui->txtID->text());
    });
}

FrmYuee::FrmYuee(QWidget *parent) : ReportWindow(parent), m_ui(new Ui::FrmYuee)
{
    m_ui->setupUi(this);
    m_ui->picShow->hide();
    attach(m_ui->lvTb, allBalances());
    routeCards(devices::TargetBalanceReport, m_ui->txtID, [this] { search(); });
    setTarget(devices::TargetBalanceReport);
    ui::onEnter(m_ui->txtID, [this] { search(); });
    connect(m_ui->cmdSearch, &QPushButton::clicked, this, &FrmYuee::search);
    connect(m_ui->cmdAll, &QPushButton::clicked, this, [this] {
        run(m_ui->lvTb, {m_ui->cmdSearch, m_ui->cmdAll}, m_ui->picShow,
            [] { return allBalances(); });
    });
    exportWith(m_ui->cmdExcel, m_ui->cmdPrint, m_ui->lvTb, u"会员余额报表"_s);
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    ui::closeWait();
}

FrmYuee::~FrmYuee()
{
    delete m_ui;
}

void FrmYuee::search()
{
    m_ui->txtID->setText(m_ui->txtID->text().trimmed());
    if (m_ui->txtID->text().isEmpty()) {
        msgNotice(u"请输入会员卡号！"_s);
        m_ui->txtID->setFocus();
        return;
    }
    const bool ran = run(m_ui->lvTb, {m_ui->cmdSearch, m_ui->cmdAll}, m_ui->picShow,
                         [this] { return balanceOf(m_ui->txtID->text()); });
    if (ran && modelOf(m_ui->lvTb)->rowCount() == 0) {
        msgNotice(u"您输入的卡号不存在！"_s);
        m_ui->txtID->selectAll();
        m_ui->txtID->setFocus();
    }
}

FrmRizhi::FrmRizhi(QWidget *parent) : ReportWindow(parent), m_ui(new Ui::FrmRizhi)
{
    m_ui->setupUi(this);
    fillFilter(m_ui->comCzy, operatorsOrEmpty());
    today({m_ui->dtStart, m_ui->dtEnd});
    m_ui->picShow->hide();
    attach(m_ui->lvTb, logEntries({}, {}));
    connect(m_ui->cmdSearch, &QPushButton::clicked, this, [this] {
        run(m_ui->lvTb, {m_ui->cmdSearch}, m_ui->picShow, [this] {
            return logEntries(days(m_ui->dtStart, m_ui->dtEnd), filterValue(m_ui->comCzy));
        });
    });
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    ui::closeWait();
}

FrmRizhi::~FrmRizhi()
{
    delete m_ui;
}

} // namespace lanting::reports
