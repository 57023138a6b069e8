#include "summary.h"

#include "database.h"
#include "reportqueries.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::reports
{

DayFigures dayFigures(const QDate &day)
{
    DayFigures f;
    f.day = day;
    const QVariant from = Database::dt(QDateTime(day, QTime(0, 0)));
    const QVariant to = Database::dt(QDateTime(day, QTime(23, 59, 59)));

    // Turnover and returns exactly as the turnover report adds them up.
    const QList<Values> turnover = dailyTurnover(day, day).compute();
    if (!turnover.isEmpty()) {
        const Values &row = turnover.first();
        f.turnover = row[1].value<Amount>();
        f.card = row[2].value<Amount>();
        f.cash = row[3].value<Amount>();
        f.returns = row[4].value<Amount>();
    }
    f.sales = scalar(u"SELECT count(*) FROM con WHERE createtime BETWEEN ? AND ?"_s, {from, to})
                  .toLongLong();
    if (f.sales > 0)
        f.averageSale = RoundJe(f.turnover, Amount(1), f.sales);

    Sql r(u"SELECT coalesce(sum(ssje), 0), coalesce(sum(czje), 0) FROM czjl"
          u" WHERE createtime BETWEEN ? AND ?"_s);
    r.bind(from).bind(to).exec();
    if (r.next()) {
        f.rechargePaid = r.amount(0);
        f.rechargeCredited = r.amount(1);
    }
    // The no-card customer, made with the database, is no new member.
    f.newMembers = scalar(u"SELECT count(*) FROM mber WHERE createtime BETWEEN ? AND ?"
                          u" AND id <> '000000000000'"_s,
                          {from, to})
                       .toLongLong();

    // The goods statistics' sums, the five largest, each under a name it was
    // sold by that day.
    Sql g(u"SELECT x.spid, min(x.spmc), sum(x.sl), sum(x.je) FROM con c"
          u" JOIN xiangxi x ON x.conid = c.id WHERE c.createtime BETWEEN ? AND ?"
          u" GROUP BY x.spid ORDER BY sum(x.je) DESC, x.spid LIMIT 5"_s);
    g.bind(from).bind(to).exec();
    while (g.next())
        f.topGoods.append({g.text(0), g.text(1), g.amount(2), g.amount(3)});
    return f;
}

QHash<QString, Amount> goodsAmounts(const QDate &day, const QStringList &codes)
{
    QHash<QString, Amount> out;
    if (codes.isEmpty())
        return out;
    Sql g(u"SELECT x.spid, sum(x.je) FROM con c JOIN xiangxi x ON x.conid = c.id"
          u" WHERE c.createtime BETWEEN ? AND ? AND x.spid IN ("_s +
          QStringList(codes.size(), u"?"_s).join(u',') + u") GROUP BY x.spid"_s);
    g.bind(Database::dt(QDateTime(day, QTime(0, 0))))
        .bind(Database::dt(QDateTime(day, QTime(23, 59, 59))));
    for (const QString &c : codes)
        g.bind(c);
    g.exec();
    while (g.next())
        out.insert(g.text(0), g.amount(1));
    return out;
}

QString changeText(Amount now, Amount before)
{
    if (before.isZero() || !now.isValid() || !before.isValid())
        return u"—"_s;
    // Tenths of a percent, exactly: (now - before) × 1000 ÷ |before|.
    const __int128 numerator = __int128(now.raw() - before.raw()) * 1000;
    const __int128 denominator = before.raw() < 0 ? -__int128(before.raw()) : before.raw();
    __int128 tenths = numerator / denominator;
    const __int128 rest = numerator % denominator;
    if ((rest < 0 ? -rest : rest) * 2 >= denominator)
        tenths += numerator < 0 ? -1 : 1;
    const Amount change = Amount::fromRaw(qint64(tenths) * (Amount::kUnit / 10));
    return (change > Amount(0) ? u"+"_s : QString()) + FmtJe(change) + u'%';
}

} // namespace lanting::reports
