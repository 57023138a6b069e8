#include "reportqueries.h"

#include "amounts.h"
#include "database.h"
#include "mod1.h"

#include <QHash>
#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace lanting::reports
{

namespace
{

QString yuan(Amount amount)
{
    return FmtJe(amount) + u"元"_s;
}

QString when(const QVariant &stored)
{
    return FmtTime(Database::toDt(stored));
}

// A number cell that may be empty in the database.
QString maybe(const std::optional<Amount> &v)
{
    return v ? FmtJe(*v) : QString();
}

// A statement of a period with the conditions that were given.
struct Query {
    QString sql;
    QVariantList values;

    Query(const QString &select, const QString &timeColumn, const Days &days)
        : sql(select + u" WHERE "_s + timeColumn + u" BETWEEN ? AND ?"_s)
    {
        values << Database::dt(QDateTime(days.from, QTime(0, 0, 0)))
               << Database::dt(QDateTime(days.to, QTime(23, 59, 59)));
    }
    Query &where(const QString &column, const QString &value)
    {
        if (!value.isEmpty()) {
            sql += u" AND "_s + column + u" = ?"_s;
            values << value;
        }
        return *this;
    }
    Sql run(const QString &tail = QString()) const
    {
        Sql q(sql + tail);
        for (const QVariant &v : values)
            q.bind(v);
        q.exec();
        return q;
    }
};

// Sums per period; a period is the first `keyLength` characters of the
// day ("yyyy-MM-dd": 10 for days, 7 for months).
Rows turnover(const QDate &from, const QDate &to, qsizetype keyLength, const QStringList &keys)
{
    struct Sums {
        Amount card = 0, cash = 0, returns = 0;
    };
    QHash<QString, Sums> sums;
    const Days days{from, to};
    const QString day = Database::dayOf(u"createtime"_s);
    Sql sales = Query(u"SELECT "_s + day + u", czkfk, xjfk FROM con"_s, u"createtime"_s, days)
                    .run(u" ORDER BY id"_s);
    while (sales.next()) {
        Sums &s = sums[sales.text(0).left(keyLength)];
        s.card = Trunc2(s.card + sales.amount(1));
        s.cash = Trunc2(s.cash + sales.amount(2));
    }
    Sql returns = Query(u"SELECT "_s + day + u", je FROM thjl"_s, u"createtime"_s, days)
                      .run(u" ORDER BY id"_s);
    while (returns.next()) {
        Sums &s = sums[returns.text(0).left(keyLength)];
        s.returns = Trunc2(s.returns + returns.amount(1));
    }
    Rows rows;
    for (const QString &k : keys) {
        const Sums s = sums.value(k);
        rows << QStringList{k, yuan(Trunc2(s.cash + s.card)), yuan(s.card), yuan(s.cash),
                            yuan(s.returns)};
    }
    return rows;
}

} // namespace

Rows salesReport(const Days &days, const QString &op, const QString &card)
{
    Query q(
        u"SELECT c.id, c.createtime, c.mberid, m.name, m.lv, c.xjfk + c.czkfk, c.jf, c.czy, c.ps"
        u" FROM con c LEFT JOIN mber m ON m.id = c.mberid"_s,
        u"c.createtime"_s, days);
    q.where(u"c.czy"_s, op).where(u"c.mberid"_s, card.trimmed());
    Sql s = q.run(u" ORDER BY c.createtime DESC, c.id DESC"_s);
    Rows rows;
    while (s.next())
        rows << QStringList{
            s.text(0),         when(s.value(1)),       s.text(2), s.text(3), s.text(4),
            yuan(s.amount(5)), maybe(s.maybeWhole(6)), s.text(7), s.text(8)};
    return rows;
}

Rows saleLines(int conId)
{
    Sql s(u"SELECT spid, spmc, dj, zk, zhdj, sl, je FROM xiangxi WHERE conid = ?"_s);
    s.bind(conId).exec();
    Rows rows;
    while (s.next())
        rows << QStringList{
            s.text(0),         s.text(1),          yuan(s.amount(2)), FmtJe(s.amount(3)) + u"%"_s,
            yuan(s.amount(4)), FmtJe(s.amount(5)), yuan(s.amount(6))};
    return rows;
}

Rows lineItemsReport(const Days &days, const QString &op, const QString &cardPart)
{
    Query q(u"SELECT c.createtime, x.spid, x.spmc, c.mberid, m.name, m.lv, x.dj, x.zk, x.zhdj, "
            u"x.sl, x.je"
            u" FROM con c JOIN xiangxi x ON x.conid = c.id LEFT JOIN mber m ON m.id = c.mberid"_s,
            u"c.createtime"_s, days);
    q.where(u"c.czy"_s, op);
    q.sql += u" AND lower(c.mberid) LIKE ? ESCAPE '\\'"_s;
    q.values << likeContains(cardPart.trimmed());
    Sql s = q.run(u" ORDER BY c.createtime DESC, c.id DESC"_s);
    Rows rows;
    while (s.next())
        rows << QStringList{
            when(s.value(0)),  s.text(1),          s.text(2),         s.text(3),
            s.text(4),         s.text(5),          yuan(s.amount(6)), FmtJe(s.amount(7)) + u"%"_s,
            yuan(s.amount(8)), FmtJe(s.amount(9)), yuan(s.amount(10))};
    return rows;
}

Rows goodsStatistics(const Days &days, const QString &codeTyped, const QString &category)
{
    // Summed in the database, one row per goods code, in the order the codes
    // were first sold in the period; the name is the one of that first sale,
    // the category, unit and purchase price those of the catalogue now.
    const QString code = codeTyped.trimmed();
    // Lines of one sale keep the order they were written in: the row's
    // place in its table (rowid on SQLite, ctid on PostgreSQL).
    const QString place = Database::backend() == Backend::Sqlite ? u"rowid"_s : u"ctid"_s;
    const QString firstLine = u"(SELECT x1.%1 FROM xiangxi x1 WHERE x1.conid = g.first"
                              u" AND x1.spid = g.spid ORDER BY x1.%1 LIMIT 1)"_s.arg(place);
    Query q(
        u"SELECT g.spid, (SELECT x1.spmc FROM xiangxi x1 WHERE x1.conid = g.first"
        u" AND x1.spid = g.spid ORDER BY x1.%1 LIMIT 1), s.lb, s.dw, s.jj, g.sl, g.je, s.spid,"_s
                .arg(place) +
            firstLine +
            u" AS firstline FROM (SELECT x.spid, min(c.id) AS first, sum(x.sl) AS sl, sum(x.je) AS "
            u"je"
            u" FROM con c JOIN xiangxi x ON x.conid = c.id"_s,
        u"c.createtime"_s, days);
    if (!code.isEmpty()) {
        q.sql += u" AND x.spid = ?"_s;
        q.values << code;
    }
    q.sql += u" GROUP BY x.spid) g LEFT JOIN sp s ON s.spid = g.spid"_s;
    if (code.isEmpty() && !category.isEmpty()) {
        q.sql += u" WHERE s.lb = ?"_s;
        q.values << category;
    }
    Sql s = q.run(u" ORDER BY g.first, firstline"_s);
    Rows rows;
    while (s.next()) {
        const bool known = !s.value(7).isNull(); // still in the catalogue
        const Amount cost = s.amount(4), quantity = s.amount(5), amount = s.amount(6);
        const Amount profit = Trunc2(amount - quantity * cost);
        const QString rate =
            amount != 0 ? FmtJe(Trunc2Ratio(profit, 100, amount)) + u"%"_s : QString();
        rows << QStringList{s.text(0),
                            s.text(2),
                            s.text(1),
                            s.text(3),
                            known ? FmtJe(cost) : QString(),
                            FmtJe(quantity),
                            FmtJe(amount),
                            FmtJe(profit),
                            rate};
    }
    return rows;
}

Rows dailyTurnover(const QDate &from, const QDate &to)
{
    QStringList keys;
    for (QDate d = from; d.isValid() && d <= to; d = d.addDays(1))
        keys << d.toString(u"yyyy-MM-dd"_s);
    if (keys.isEmpty())
        return {};
    return turnover(from, to, 10, keys);
}

Rows monthlyTurnover(int fromYear, int fromMonth, int toYear, int toMonth)
{
    QStringList keys;
    for (int y = fromYear; y <= toYear; ++y) {
        const int first = y == fromYear ? fromMonth : 1;
        const int last = y == toYear ? toMonth : 12;
        for (int m = first; m <= last; ++m)
            keys << QDate(y, m, 1).toString(u"yyyy-MM"_s);
    }
    if (keys.isEmpty())
        return {};
    const QDate from = QDate::fromString(keys.first() + u"-01"_s, u"yyyy-MM-dd"_s);
    QDate to = QDate::fromString(keys.last() + u"-01"_s, u"yyyy-MM-dd"_s);
    to = to.addMonths(1).addDays(-1);
    return turnover(from, to, 7, keys);
}

Rows rechargeRecords(const Days &days, const QString &level, const QString &card, const QString &op)
{
    Query q(u"SELECT createtime, mberid, mbername, mberlb, ssje, czje, yhsm, czy, ps FROM czjl"_s,
            u"createtime"_s, days);
    q.where(u"mberlb"_s, level).where(u"mberid"_s, card.trimmed()).where(u"czy"_s, op);
    Sql s = q.run(u" ORDER BY id"_s);
    Rows rows;
    while (s.next())
        rows << QStringList{when(s.value(0)),  s.text(1), s.text(2), s.text(3), yuan(s.amount(4)),
                            yuan(s.amount(5)), s.text(6), s.text(7), s.text(8)};
    return rows;
}

Rows exchangeRecords(const Days &days, const QString &card, const QString &level, const QString &op)
{
    Query q(u"SELECT mberid, mbername, mberlb, jf, createtime, czy, ps FROM dhjl"_s,
            u"createtime"_s, days);
    if (!card.trimmed().isEmpty())
        q.where(u"mberid"_s, card.trimmed());
    else
        q.where(u"mberlb"_s, level).where(u"czy"_s, op);
    Sql s = q.run(u" ORDER BY id"_s);
    Rows rows;
    while (s.next())
        rows << QStringList{s.text(0),        s.text(1), s.text(2), maybe(s.maybeAmount(3)),
                            when(s.value(4)), s.text(5), s.text(6)};
    return rows;
}

Rows transferRecords(const Days &days, const QString &op, const QString &fromLevel,
                     const QString &toLevel, const QString &fromCard, const QString &toCard)
{
    Query q(u"SELECT zcid, zcname, zclv, zrid, zrname, zrlv, je, createtime, czy, ps FROM zzjl"_s,
            u"createtime"_s, days);
    q.where(u"czy"_s, op)
        .where(u"zclv"_s, fromLevel)
        .where(u"zrlv"_s, toLevel)
        .where(u"zcid"_s, fromCard.trimmed())
        .where(u"zrid"_s, toCard.trimmed());
    Sql s = q.run(u" ORDER BY id"_s);
    Rows rows;
    while (s.next())
        rows << QStringList{s.text(0), s.text(1),         s.text(2),        s.text(3), s.text(4),
                            s.text(5), yuan(s.amount(6)), when(s.value(7)), s.text(8), s.text(9)};
    return rows;
}

Rows returnRecords(const Days &days, const QString &op, const QString &level, const QString &card)
{
    Query q(u"SELECT mberid, mbername, mberlb, je, createtime, thfs, czy, ps FROM thjl"_s,
            u"createtime"_s, days);
    q.where(u"czy"_s, op).where(u"mberlb"_s, level).where(u"mberid"_s, card.trimmed());
    Sql s = q.run(u" ORDER BY id"_s);
    Rows rows;
    while (s.next())
        rows << QStringList{
            s.text(0),        s.text(1),
            s.text(2),        yuan(s.amount(3)),
            when(s.value(4)), s.value(5).toBool() ? u"退款至储值卡"_s : u"现金退款"_s,
            s.text(6),        s.text(7)};
    return rows;
}

std::optional<QStringList> balanceOf(const QString &card)
{
    Sql s(u"SELECT id, name, ye FROM mber WHERE id = ?"_s);
    s.bind(card.trimmed()).exec();
    if (!s.next())
        return std::nullopt;
    return QStringList{s.text(0), s.text(1), yuan(s.amount(2))};
}

Rows allBalances()
{
    Sql s(u"SELECT id, name, ye FROM mber ORDER BY id"_s);
    s.exec();
    Rows rows;
    while (s.next())
        rows << QStringList{s.text(0), s.text(1), yuan(s.amount(2))};
    return rows;
}

Rows logEntries(const Days &days, const QString &op)
{
    Query q(u"SELECT czy, czlx, cznr, createtime FROM syslog"_s, u"createtime"_s, days);
    q.where(u"czy"_s, op);
    Sql s = q.run(u" ORDER BY id"_s);
    Rows rows;
    while (s.next())
        rows << QStringList{s.text(0), s.text(1), s.text(2), when(s.value(3))};
    return rows;
}

QStringList operatorNames()
{
    return firstColumn(u"SELECT name FROM czy ORDER BY id"_s);
}

} // namespace lanting::reports
