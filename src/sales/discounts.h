#pragma once

// Discount rates of a goods for member levels. A rate set for a goods and a
// level replaces the level's own discount for that goods.

#include "amounts.h"
#include <QList>
#include <QString>
#include <optional>

namespace lanting::sales
{

struct LevelRate {
    QString lv;
    Amount zkl = 100; // percent of the selling price
};

// The rates of a goods, in the order the levels were entered (rates of
// levels that no longer exist last).
QList<LevelRate> goodsRates(const QString &spid);
// The rate a typed discount gives: its numeric value, or 100 for 0 or a
// text that is not a number.
Amount rateFromText(const QString &text);
// The price after a rate, rounded to the shop's decimals.
Amount discountedPrice(Amount zkl, Amount price);
// The rate a member of the level pays for the goods: its own rate for the
// level, else the level's discount; 100 without a level.
Amount effectiveRate(const QString &spid, const QString &levelName);

// Levels that have no rate for the goods yet, in the order entered.
QStringList levelsWithoutRate(const QString &spid);
// False when the goods already has a rate for that level.
bool addRate(const QString &spid, const QString &levelName, Amount zkl);
void deleteRate(const QString &spid, const QString &levelName);

// Gives every goods of the goods' category exactly the goods' rates, in one
// step. The number of goods changed; nullopt when the goods has no category
// (nothing changes then).
std::optional<int> applyRatesToCategory(const QString &spid);
// The category of a goods (empty when it has none or is missing).
QString categoryOf(const QString &spid);

} // namespace lanting::sales
