#pragma once

// The report queries: each gives the rows of its list as the cashier sees
// them (amounts with "元", rates with "%"). An empty filter text ("不限" or
// a blank field) adds no condition.

#include <QDate>
#include <QList>
#include <QStringList>
#include <optional>

namespace lanting::reports
{

using Rows = QList<QStringList>;

// Whole days: from 00:00:00 of the first to 23:59:59 of the last.
struct Days {
    QDate from, to;
};

// Sales, newest first: number, time, card, name, level, amount, points,
// operator, remark.
Rows salesReport(const Days &days, const QString &op, const QString &card);
// The lines of one sale: code, name, price, rate, discounted price,
// quantity, amount.
Rows saleLines(int conId);
// Every line sold, newest sale first, of cards containing `cardPart`:
// time, code, name, card, member name, level, price, rate, discounted
// price, quantity, amount.
Rows lineItemsReport(const Days &days, const QString &op, const QString &cardPart);
// Per goods code: code, category, name, unit, purchase price, quantity,
// amount, profit, profit rate. A code keeps only that goods; otherwise a
// category keeps only its goods.
Rows goodsStatistics(const Days &days, const QString &code, const QString &category);

// Turnover per day of the range and per month (year and month, both ends
// included): date, turnover, card, cash, returns.
Rows dailyTurnover(const QDate &from, const QDate &to);
Rows monthlyTurnover(int fromYear, int fromMonth, int toYear, int toMonth);

Rows rechargeRecords(const Days &days, const QString &level, const QString &card,
                     const QString &op);
// With a card number the level and the operator are not looked at.
Rows exchangeRecords(const Days &days, const QString &card, const QString &level,
                     const QString &op);
Rows transferRecords(const Days &days, const QString &op, const QString &fromLevel,
                     const QString &toLevel, const QString &fromCard, const QString &toCard);
Rows returnRecords(const Days &days, const QString &op, const QString &level,
                   const QString &card);
// Card, name, balance.
std::optional<QStringList> balanceOf(const QString &card);
Rows allBalances();

// Operator, type, content, time.
Rows logEntries(const Days &days, const QString &op);

// The names a filter list offers after "不限".
QStringList operatorNames();

} // namespace lanting::reports
