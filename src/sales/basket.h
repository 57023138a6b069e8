#pragma once

// The sale basket: goods lines priced for the member, checked against stock.

#include "amounts.h"
#include "goods.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace lanting::sales
{

struct BasketLine {
    QString spid, name;
    Amount sj;         // selling price
    Amount rate = 100; // discount in percent
    Amount zhdj;       // discounted unit price
    Amount sl;         // quantity
    Amount jf;         // goods points per unit; 0 for ordinary goods
    Amount je;         // line amount
    // The texts of the basket list: code, name, price 元, rate %, discounted
    // price 元, quantity, points, amount 元.
    QStringList texts() const;
};

// A line for goods: the discounted price rounded to the shop's decimals, the
// amount price × quantity rounded again.
BasketLine makeLine(const Goods &goods, Amount rate, Amount quantity);
// A changed quantity: the amount is the discounted price times the rounded
// quantity, not rounded again.
void setQuantity(BasketLine &line, Amount quantity);

// The quantity of a goods over the lines, leaving out line `except`.
Amount quantityOf(const QList<BasketLine> &lines, const QString &spid, int except = -1);
Amount basketTotal(const QList<BasketLine> &lines);

// Whether goods may be sold beyond their stock (setting kc).
bool oversellAllowed();
// The rate a member of the level shown pays (100 without a level).
Amount memberRate(const QString &spid, const QString &level);
// Enabled goods whose code or name contains the text, at most 50.
QList<Goods> saleSearch(const QString &text);
inline constexpr int kMaxSaleHits = 50;

} // namespace lanting::sales
