#include "todaysummary.h"

#include "ui_todaysummary.h"

#include "database.h"
#include "messages.h"
#include "ui.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::reports
{

TodaySummary::TodaySummary(QWidget *parent) : QGroupBox(parent), m_ui(new Ui::TodaySummary)
{
    m_ui->setupUi(this);
    connect(m_ui->cmdRefresh, &QPushButton::clicked, this, &TodaySummary::refresh);
    for (QTreeWidget *list : {m_ui->lvToday, m_ui->lvTopGoods})
        for (int c = 1; c < list->columnCount(); ++c)
            list->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
}

TodaySummary::~TodaySummary()
{
    delete m_ui;
}

void TodaySummary::refresh()
{
    const QDate today = QDate::currentDate();
    try {
        const DayFigures now = dayFigures(today);
        QStringList codes;
        for (const DayFigures::Goods &g : now.topGoods)
            codes << g.spid;
        show(now, dayFigures(today.addDays(-7)), goodsAmounts(today.addDays(-7), codes));
    } catch (const DbError &e) {
        m_ui->lvToday->clear();
        m_ui->lvTopGoods->clear();
        m_ui->lblDay->setText(u"今日概况没有读出：%1"_s.arg(e.message()));
    }
}

void TodaySummary::show(const DayFigures &today, const DayFigures &lastWeek,
                        const QHash<QString, Amount> &soldLastWeek)
{
    m_ui->lblDay->setText(u"%1，与上周同日（%2）相比"_s.arg(
        QLocale(QLocale::Chinese).toString(today.day, u"yyyy-MM-dd dddd"_s),
        lastWeek.day.toString(u"MM-dd"_s)));
    m_ui->lvToday->clear();
    const auto line = [this](const QString &what, Amount now, Amount before, const QString &unit) {
        auto *row = ui::addRow(m_ui->lvToday, {what, FmtJe(now) + unit, FmtJe(before) + unit,
                                               changeText(now, before)});
        for (int c = 1; c < 4; ++c)
            row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    };
    line(u"营业额"_s, today.turnover, lastWeek.turnover, u"元"_s);
    line(u"  储值卡"_s, today.card, lastWeek.card, u"元"_s);
    line(u"  现金"_s, today.cash, lastWeek.cash, u"元"_s);
    line(u"充值实收"_s, today.rechargePaid, lastWeek.rechargePaid, u"元"_s);
    line(u"充值入账"_s, today.rechargeCredited, lastWeek.rechargeCredited, u"元"_s);
    line(u"退货金额"_s, today.returns, lastWeek.returns, u"元"_s);
    line(u"新会员"_s, Amount(today.newMembers), Amount(lastWeek.newMembers), u"名"_s);
    line(u"消费笔数"_s, Amount(today.sales), Amount(lastWeek.sales), u"笔"_s);
    line(u"平均每笔"_s, today.averageSale, lastWeek.averageSale, u"元"_s);

    m_ui->lvTopGoods->clear();
    for (const DayFigures::Goods &g : today.topGoods) {
        const Amount before = soldLastWeek.value(g.spid, Amount(0));
        auto *row =
            ui::addRow(m_ui->lvTopGoods, {g.name, FmtJe(g.quantity), FmtJe(g.amount) + u"元"_s,
                                          FmtJe(before) + u"元"_s});
        for (int c = 1; c < 4; ++c)
            row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (today.topGoods.isEmpty())
        ui::addRow(m_ui->lvTopGoods, {u"今天还没有卖出商品"_s});
}

} // namespace lanting::reports
