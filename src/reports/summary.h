#pragma once

// How a day went, at a glance: the figures of the reports for that day,
// each read by one query over the indexes.

#include "amounts.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>

namespace lanting::reports
{

struct DayFigures {
    QDate day;
    Amount turnover, card, cash; // as the turnover report has them
    Amount rechargePaid, rechargeCredited;
    Amount returns;
    qint64 newMembers = 0;
    qint64 sales = 0;   // sales and direct consumptions
    Amount averageSale; // turnover per sale, in the shop's decimals
    struct Goods {
        QString spid, name;
        Amount quantity, amount;
    };
    QList<Goods> topGoods; // the five sold for most, as the goods statistics add them
};

// Throws DbError.
DayFigures dayFigures(const QDate &day);
// What goods of these codes were sold for on a day (codes not sold there
// are left out).
QHash<QString, Amount> goodsAmounts(const QDate &day, const QStringList &codes);

// The change from `before` to `now` in percent to one decimal, rounded half
// away from zero: "+12.5%", "-3%", "0%"; "—" when there was nothing before.
QString changeText(Amount now, Amount before);

} // namespace lanting::reports
