#pragma once

// What the report charts draw, worked out from the reports themselves: a
// chart shows the same figures as its list.

#include "reportmodel.h"

#include "amounts.h"

#include <QStringList>
#include <optional>

namespace lanting::reports
{

struct ChartSeries {
    QString name;
    QList<Amount> values; // one per category
};

struct ChartData {
    QStringList categories;
    QList<ChartSeries> bars; // stacked, in this order
    std::optional<ChartSeries> line;
};

// Card and cash turnover stacked, returns as a line: a bar per row of the
// daily or monthly turnover list (date, turnover, card, cash, returns), as
// the list holds it (a computed report is held whole: not read again).
ChartData turnoverChart(const ReportModel &turnover);

enum class GoodsBy { Amount, Profit };
// The `top` goods of the goods statistics' list by amount or by profit,
// largest first.
ChartData goodsChart(const ReportModel &statistics, GoodsBy by, int top = 20);

// The recharges of the recharge records' list, with its filters, per day or
// per month of its period (every day or month of it, those without any
// included): the amount paid and the bonus, stacked to the amount credited.
ChartData rechargeChart(const ReportQuery &records, bool byMonth);

} // namespace lanting::reports
