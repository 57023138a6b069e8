#pragma once

// The reports: each is its query with typed columns, shown as the cashier
// sees them (amounts with "元", rates with "%"). An empty filter text ("不限"
// or a blank field) adds no condition.

#include "reportmodel.h"

#include <QDate>
#include <QStringList>

namespace lanting::reports
{

// Whole days: from 00:00:00 of the first to 23:59:59 of the last.
struct Days {
    QDate from, to;
};

// Sales, newest first: number, time, card, name, level, amount, points,
// operator, remark.
ReportQuery salesReport(const Days &days, const QString &op, const QString &card);
// The lines of one sale: code, name, price, rate, discounted price,
// quantity, amount.
ReportQuery saleLines(int conId);
// Every line sold, newest sale first, of cards containing `cardPart`:
// time, code, name, card, member name, level, price, rate, discounted
// price, quantity, amount.
ReportQuery lineItemsReport(const Days &days, const QString &op, const QString &cardPart);
// Per goods code: code, category, name, unit, purchase price, quantity,
// amount, profit, profit rate. A code keeps only that goods; otherwise a
// category keeps only its goods.
ReportQuery goodsStatistics(const Days &days, const QString &code, const QString &category);

// Turnover per day of the range and per month (year and month, both ends
// included): date, turnover, card, cash, returns.
ReportQuery dailyTurnover(const QDate &from, const QDate &to);
ReportQuery monthlyTurnover(int fromYear, int fromMonth, int toYear, int toMonth);

ReportQuery rechargeRecords(const Days &days, const QString &level, const QString &card,
                            const QString &op);
// With a card number the level and the operator are not looked at.
ReportQuery exchangeRecords(const Days &days, const QString &card, const QString &level,
                            const QString &op);
ReportQuery transferRecords(const Days &days, const QString &op, const QString &fromLevel,
                            const QString &toLevel, const QString &fromCard, const QString &toCard);
ReportQuery returnRecords(const Days &days, const QString &op, const QString &level,
                          const QString &card);
// Card, name, balance: of one card, or of every member.
ReportQuery balanceOf(const QString &card);
ReportQuery allBalances();

// Operator, type, content, time.
ReportQuery logEntries(const Days &days, const QString &op);

// The names a filter list offers after "不限".
QStringList operatorNames();

} // namespace lanting::reports
