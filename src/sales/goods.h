#pragma once

// The goods catalogue and its categories.

#include "amounts.h"
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace lanting::sales
{

// The entry of the category list that stands for every goods; never stored.
inline const QString kAllCategories = QStringLiteral("全部类别");

struct Goods {
    QString spid; // goods code, chosen once
    QString name;
    QString lb;     // category name, may be empty
    QString dw;     // unit
    Amount jj;      // purchase price
    Amount sj;      // selling price
    Amount jf;      // points per unit: 0 for ordinary goods
    bool zt = true; // enabled
    Amount kc;      // stock
};

// Goods as the goods dialog turns its texts into values: prices and stock by
// their numeric value, points cut toward zero.
Goods goodsFromTexts(const QString &spid, const QString &name, const QString &lb, const QString &dw,
                     const QString &jj, const QString &sj, const QString &jf, const QString &kc);

// Category names in the order entered.
QStringList categories();

// The goods of a category (kAllCategories: every goods), by code.
QList<Goods> goodsOfCategory(const QString &category);
// Goods whose code or name contains the text, without regard to case; the
// text's own % and _ are literal. An empty text gives every goods. A limit
// above 0 keeps the first goods by code.
QList<Goods> searchGoods(const QString &text, bool enabledOnly = false, int limit = 0);
std::optional<Goods> readGoods(const QString &spid);

// Stores new goods, enabled, with its log row. False when the code is taken.
bool addGoods(const Goods &goods);
enum class GoodsUpdate { Saved, Gone, StockChanged };
// Rewrites everything but the code and the enabled state, with its log row.
// The stock is written only when it was changed from `stockShown` (what the
// dialog showed), and then only while the stored stock is still that: a
// sale at another till in between is never overwritten (StockChanged).
GoodsUpdate updateGoods(const Goods &goods, Amount stockShown);
// Deletes the goods and its per-level discounts, with its log row. Past sales
// keep naming it.
void deleteGoods(const QString &spid, const QString &name);
void setGoodsEnabled(const QString &spid, bool enabled);

enum class CategoryAdd { Added, Empty, Reserved, Exists };
// Adds a category (the name trimmed) with its log row.
CategoryAdd addCategory(const QString &name);
// Whether any goods has the category.
bool categoryInUse(const QString &name);
// Deletes a category with its log row; false (and nothing deleted) while
// goods have it.
bool deleteCategory(const QString &name);

} // namespace lanting::sales
