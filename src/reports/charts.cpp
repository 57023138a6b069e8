#include "charts.h"

#include "database.h"

#include <QHash>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace lanting::reports
{

namespace
{

Amount amountAt(const ReportModel &list, int row, int column)
{
    return list.value(row, column).value<Amount>();
}

} // namespace

ChartData turnoverChart(const ReportModel &turnover)
{
    ChartData c;
    ChartSeries card{u"储值卡"_s, {}}, cash{u"现金"_s, {}}, returns{u"退货金额"_s, {}};
    for (int r = 0; r < turnover.rowCount(); ++r) {
        c.categories << turnover.value(r, 0).toString();
        card.values << amountAt(turnover, r, 2);
        cash.values << amountAt(turnover, r, 3);
        returns.values << amountAt(turnover, r, 4);
    }
    c.bars = {card, cash};
    c.line = returns;
    return c;
}

ChartData goodsChart(const ReportModel &statistics, GoodsBy by, int top)
{
    struct Goods {
        QString name;
        Amount value;
    };
    QList<Goods> goods;
    const int column = by == GoodsBy::Amount ? 6 : 7;
    for (int r = 0; r < statistics.rowCount(); ++r) {
        const QString name = statistics.value(r, 2).toString();
        goods.append({name.isEmpty() ? statistics.value(r, 0).toString() : name,
                      amountAt(statistics, r, column)});
    }
    // Largest first; equal ones in the list's order.
    std::stable_sort(goods.begin(), goods.end(),
                     [](const Goods &a, const Goods &b) { return a.value > b.value; });
    if (goods.size() > top)
        goods.resize(top);
    ChartData c;
    ChartSeries s{by == GoodsBy::Amount ? u"售出金额"_s : u"利润"_s, {}};
    for (const Goods &g : goods) {
        c.categories << g.name;
        s.values << g.value;
    }
    c.bars = {s};
    return c;
}

ChartData rechargeChart(const ReportQuery &records, bool byMonth)
{
    ChartData c;
    const QDate from = Database::toDate(records.rangeFrom);
    const QDate to = Database::toDate(records.rangeTo);
    if (!from.isValid() || !to.isValid() || from > to)
        return c;
    const qsizetype keyLength = byMonth ? 7 : 10;
    QString sql = u"SELECT "_s + Database::dayOf(records.rangeColumn) +
                  u", sum(ssje), sum(czje) FROM czjl WHERE "_s + records.rangeColumn +
                  u" BETWEEN ? AND ?"_s;
    for (const QString &condition : records.conditions)
        sql += u" AND ("_s + condition + u')';
    Sql q(sql + u" GROUP BY 1"_s);
    q.bind(records.rangeFrom).bind(records.rangeTo);
    for (const QVariant &v : records.values)
        q.bind(v);
    q.exec();
    QHash<QString, std::pair<Amount, Amount>> sums;
    while (q.next()) {
        auto &s = sums[q.text(0).left(keyLength)];
        s.first += q.amount(1);
        s.second += q.amount(2);
    }
    // Stacked: what was paid and the bonus on top, together the amount
    // credited.
    ChartSeries paid{u"付款金额"_s, {}}, bonus{u"赠送金额"_s, {}};
    for (QDate d = byMonth ? QDate(from.year(), from.month(), 1) : from; d <= to;
         d = byMonth ? d.addMonths(1) : d.addDays(1)) {
        const QString key = d.toString(byMonth ? u"yyyy-MM"_s : u"yyyy-MM-dd"_s);
        c.categories << key;
        const auto [p, credited] = sums.value(key);
        paid.values << p;
        bonus.values << credited - p;
    }
    c.bars = {paid, bonus};
    return c;
}

} // namespace lanting::reports
