#include "discounts.h"

#include "amounts.h"
#include "database.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::sales
{

QList<LevelRate> goodsRates(const QString &spid)
{
    Sql q(u"SELECT d.lv, d.zkl FROM spdz d LEFT JOIN lv l ON l.name = d.lv WHERE d.spid = ?"
          u" ORDER BY CASE WHEN l.id IS NULL THEN 1 ELSE 0 END, l.id, d.lv"_s);
    q.bind(spid).exec();
    QList<LevelRate> rates;
    while (q.next())
        rates << LevelRate{q.text(0), q.amount(1)};
    return rates;
}

Amount rateFromText(const QString &text)
{
    const Amount v = NumVal(text);
    return v != 0 ? v : 100;
}

Amount discountedPrice(Amount zkl, Amount price)
{
    return RoundJe(zkl, price, 100);
}

Amount effectiveRate(const QString &spid, const QString &levelName)
{
    if (levelName.isEmpty())
        return 100;
    const QVariant own =
        scalar(u"SELECT zkl FROM spdz WHERE spid = ? AND lv = ?"_s, {spid, levelName});
    if (!own.isNull())
        return Database::toAmount(own);
    const QVariant level = scalar(u"SELECT zk FROM lv WHERE lower(name) = lower(?)"_s, {levelName});
    return level.isNull() ? Amount(100) : Database::toAmount(level);
}

QStringList levelsWithoutRate(const QString &spid)
{
    return firstColumn(u"SELECT name FROM lv WHERE name NOT IN"
                       u" (SELECT lv FROM spdz WHERE spid = ?) ORDER BY id"_s,
                       {spid});
}

bool addRate(const QString &spid, const QString &levelName, Amount zkl)
{
    Transaction t;
    if (scalar(u"SELECT count(*) FROM spdz WHERE spid = ? AND lv = ?"_s, {spid, levelName})
            .toInt() > 0)
        return false;
    Sql(u"INSERT INTO spdz (spid, lv, zkl) VALUES (?, ?, ?)"_s)
        .bind(spid)
        .bind(levelName)
        .bind(zkl)
        .exec();
    t.commit();
    return true;
}

void deleteRate(const QString &spid, const QString &levelName)
{
    Sql(u"DELETE FROM spdz WHERE lv = ? AND spid = ?"_s).bind(levelName).bind(spid).exec();
}

QString categoryOf(const QString &spid)
{
    return scalar(u"SELECT lb FROM sp WHERE spid = ?"_s, {spid}).toString();
}

std::optional<int> applyRatesToCategory(const QString &spid)
{
    Transaction t;
    const QString category = categoryOf(spid);
    if (category.isEmpty())
        return std::nullopt;
    const QList<LevelRate> rates = goodsRates(spid);
    const QStringList codes =
        firstColumn(u"SELECT spid FROM sp WHERE lb = ? ORDER BY spid"_s, {category});
    for (const QString &code : codes) {
        Sql(u"DELETE FROM spdz WHERE spid = ?"_s).bind(code).exec();
        for (const LevelRate &r : rates)
            Sql(u"INSERT INTO spdz (spid, lv, zkl) VALUES (?, ?, ?)"_s)
                .bind(code)
                .bind(r.lv)
                .bind(r.zkl)
                .exec();
    }
    t.commit();
    return int(codes.size());
}

} // namespace lanting::sales
