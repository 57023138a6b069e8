#pragma once

// The sale basket: goods lines priced for the member, checked against stock.

#include "goods.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace lanting::sales
{

struct BasketLine {
    QString spid, name;
    double sj = 0;   // selling price
    double rate = 100; // discount in percent
    double zhdj = 0; // discounted unit price
    double sl = 0;   // quantity
    qint64 jf = 0;   // goods points per unit; 0 for ordinary goods
    double je = 0;   // line amount
    // The texts of the basket list: code, name, price 元, rate %, discounted
    // price 元, quantity, points, amount 元.
    QStringList texts() const;
};

// A line for goods: the discounted price rounded to the shop's decimals, the
// amount price × quantity rounded again.
BasketLine makeLine(const Goods &goods, double rate, double quantity);
// A changed quantity: the amount is the discounted price times the rounded
// quantity, not rounded again.
void setQuantity(BasketLine &line, double quantity);

// The quantity of a goods over the lines, leaving out line `except`.
double quantityOf(const QList<BasketLine> &lines, const QString &spid, int except = -1);
double basketTotal(const QList<BasketLine> &lines);

// Whether goods may be sold beyond their stock (setting kc).
bool oversellAllowed();
// The rate a member of the level shown pays (100 without a level).
double memberRate(const QString &spid, const QString &level);
// Enabled goods whose code or name contains the text, at most 50.
QList<Goods> saleSearch(const QString &text);
inline constexpr int kMaxSaleHits = 50;

} // namespace lanting::sales
