#include "goods.h"

#include "amounts.h"
#include "database.h"
#include "mod1.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::sales
{

namespace
{

const QString kColumns = u"spid, name, lb, dw, jj, sj, jf, zt, kc"_s;

QList<Goods> readAll(Sql &q)
{
    QList<Goods> list;
    while (q.next()) {
        Goods g;
        g.spid = q.text(0);
        g.name = q.text(1);
        g.lb = q.text(2);
        g.dw = q.text(3);
        g.jj = q.amount(4);
        g.sj = q.amount(5);
        g.jf = q.amount(6);
        g.zt = q.value(7).toBool();
        g.kc = q.amount(8);
        list << g;
    }
    return list;
}

// What the goods dialog gives besides the code and the stock, in this order:
// name, category, unit, purchase price, selling price, points.
Sql &bindTyped(Sql &q, const Goods &g)
{
    return q.bind(g.name).bind(g.lb).bind(g.dw).bind(g.jj).bind(g.sj).bind(g.jf);
}

} // namespace

Goods goodsFromTexts(const QString &spid, const QString &name, const QString &lb, const QString &dw,
                     const QString &jj, const QString &sj, const QString &jf, const QString &kc)
{
    Goods g;
    g.spid = spid;
    g.name = name;
    g.lb = lb;
    g.dw = dw;
    g.jj = NumVal(jj);
    g.sj = NumVal(sj);
    g.jf = WholeVal(jf);
    g.kc = NumVal(kc);
    return g;
}

QStringList categories()
{
    return firstColumn(u"SELECT name FROM splb ORDER BY id"_s);
}

QList<Goods> goodsOfCategory(const QString &category)
{
    if (category == kAllCategories) {
        Sql q(u"SELECT "_s + kColumns + u" FROM sp ORDER BY spid"_s);
        q.exec();
        return readAll(q);
    }
    Sql q(u"SELECT "_s + kColumns + u" FROM sp WHERE lb = ? ORDER BY spid"_s);
    q.bind(category).exec();
    return readAll(q);
}

QList<Goods> searchGoods(const QString &text, bool enabledOnly, int limit)
{
    const QString like = likeContains(text);
    QString sql =
        u"SELECT "_s + kColumns +
        u" FROM sp WHERE (lower(spid) LIKE ? ESCAPE '\\' OR lower(name) LIKE ? ESCAPE '\\')"_s;
    if (enabledOnly)
        sql += u" AND zt = ?"_s;
    sql += u" ORDER BY spid"_s;
    if (limit > 0)
        sql += u" LIMIT ?"_s;
    Sql q(sql);
    q.bind(like).bind(like);
    if (enabledOnly)
        q.bind(true);
    if (limit > 0)
        q.bind(limit);
    q.exec();
    return readAll(q);
}

std::optional<Goods> readGoods(const QString &spid)
{
    Sql q(u"SELECT "_s + kColumns + u" FROM sp WHERE spid = ?"_s);
    q.bind(spid).exec();
    const QList<Goods> list = readAll(q);
    if (list.isEmpty())
        return std::nullopt;
    return list.first();
}

bool addGoods(const Goods &g)
{
    Transaction t;
    if (scalar(u"SELECT count(*) FROM sp WHERE spid = ?"_s, {g.spid}).toInt() > 0)
        return false;
    Sql add(
        u"INSERT INTO sp (name, lb, dw, jj, sj, jf, spid, zt, kc) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"_s);
    bindTyped(add, g).bind(g.spid).bind(true).bind(g.kc).exec();
    WriteLog(u"添加商品"_s, u"添加商品["_s + g.name + u"]，商品编号为["_s + g.spid + u"]。"_s);
    t.commit();
    return true;
}

GoodsUpdate updateGoods(const Goods &g, Amount stockShown)
{
    return retrying([&] {
        Transaction t;
        Sql now(u"SELECT kc FROM sp WHERE spid = ?"_s + forUpdate());
        now.bind(g.spid).exec();
        if (!now.next())
            return GoodsUpdate::Gone;
        const bool stockTyped = g.kc != stockShown;
        // A new stock typed over one that a sale changed meanwhile would lose
        // that sale: the shop is told instead.
        if (stockTyped && now.amount(0) != stockShown)
            return GoodsUpdate::StockChanged;
        Sql update(
            u"UPDATE sp SET name = ?, lb = ?, dw = ?, jj = ?, sj = ?, jf = ?, kc = ? WHERE spid = ?"_s);
        bindTyped(update, g).bind(stockTyped ? g.kc : now.amount(0)).bind(g.spid).exec();
        WriteLog(u"修改商品信息"_s, u"修改了商品编号为["_s + g.spid + u"]的商品信息。"_s);
        t.commit();
        return GoodsUpdate::Saved;
    });
}

void deleteGoods(const QString &spid, const QString &name)
{
    Transaction t;
    Sql(u"DELETE FROM sp WHERE spid = ?"_s).bind(spid).exec();
    Sql(u"DELETE FROM spdz WHERE spid = ?"_s).bind(spid).exec();
    WriteLog(u"删除商品"_s,
             u"删除商品，商品编号为["_s + spid + u"]，商品名称为["_s + name + u"]。"_s);
    t.commit();
}

void setGoodsEnabled(const QString &spid, bool enabled)
{
    Sql(u"UPDATE sp SET zt = ? WHERE spid = ?"_s).bind(enabled).bind(spid).exec();
}

CategoryAdd addCategory(const QString &typed)
{
    const QString name = typed.trimmed();
    if (name == kAllCategories)
        return CategoryAdd::Reserved;
    if (name.isEmpty())
        return CategoryAdd::Empty;
    Transaction t;
    if (scalar(u"SELECT count(*) FROM splb WHERE lower(name) = lower(?)"_s, {name}).toInt() > 0)
        return CategoryAdd::Exists;
    Sql(u"INSERT INTO splb (name) VALUES (?)"_s).bind(name).exec();
    WriteLog(u"添加商品类别"_s, u"添加商品类别，类别名称为["_s + name + u"]。"_s);
    t.commit();
    return CategoryAdd::Added;
}

bool categoryInUse(const QString &name)
{
    return scalar(u"SELECT count(*) FROM sp WHERE lb = ?"_s, {name}).toInt() > 0;
}

bool deleteCategory(const QString &name)
{
    Transaction t;
    if (categoryInUse(name))
        return false;
    Sql(u"DELETE FROM splb WHERE name = ?"_s).bind(name).exec();
    WriteLog(u"删除商品类别"_s, u"删除商品类别，类别名称为["_s + name + u"]。"_s);
    t.commit();
    return true;
}

} // namespace lanting::sales
