#include "settlement.h"

#include "amounts.h"
#include "appstate.h"
#include "database.h"

#include <QMap>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace lanting::sales
{

namespace
{

const QString kNoCard = u"000000000000"_s;

struct Account {
    QString pwd;
    Amount ye = 0, jf = 0;
};

// The member's row, locked against other workstations until the end of the
// transaction (SQLite holds the whole database from the start of it).
std::optional<Account> lockAccount(const QString &card)
{
    Sql q(u"SELECT pwd, ye, jf FROM mber WHERE id = ?"_s + forUpdate());
    q.bind(card).exec();
    if (!q.next())
        return std::nullopt;
    return Account{q.text(0), q.amount(1), q.amount(2)};
}

} // namespace

Amount salePoints(const QList<BasketLine> &lines, Amount total, Amount yuan, const QString &card)
{
    if (card == kNoCard)
        return 0;
    Amount points, special;
    for (const BasketLine &l : lines) {
        if (l.jf > 0) {
            points += (l.sl * l.jf).truncated();
            special += l.je;
        }
    }
    if (yuan > 0)
        points += Amount(WholeTimes(total - special, yuan));
    return points;
}

QString saleReceipt(const QString &nameLine, const QString &idLine, const QString &levelLine,
                    bool showCard, const QList<BasketLine> &lines, Amount total, Amount points)
{
    const QString crlf = u"\r\n"_s;
    QString body = nameLine + crlf;
    if (showCard)
        body += idLine + crlf;
    body += levelLine + crlf;
    for (const BasketLine &l : lines)
        body += l.name + u"*"_s + FmtJe(l.sl) + u"   金额："_s + FmtJe(l.je) + u"元"_s + crlf;
    body += u"本次消费总金额："_s + FmtJe(total) + u"元"_s + crlf;
    if (points > 0)
        body += u"本次消费获得积分："_s + FmtJe(points) + crlf;
    return body;
}

namespace
{

// The goods of a sale locked by code ascending, each with the quantity the
// sale takes; the first one short of stock when goods may not be oversold.
std::optional<QString> lockGoods(const QList<BasketLine> &lines, bool oversell)
{
    QMap<QString, std::pair<Amount, QString>> wanted; // ordered by code
    for (const BasketLine &l : lines) {
        auto &w = wanted[l.spid];
        w.first += l.sl;
        w.second = l.name;
    }
    if (wanted.isEmpty())
        return std::nullopt;
    Sql q(u"SELECT spid, kc FROM sp WHERE spid IN ("_s + placeholders(wanted.size()) +
          u") ORDER BY spid"_s + forUpdate());
    for (const QString &code : wanted.keys())
        q.bind(code);
    q.exec();
    std::optional<QString> shortOf;
    while (q.next())
        if (!oversell && !shortOf && q.amount(1) < wanted.value(q.text(0)).first)
            shortOf = wanted.value(q.text(0)).second;
    return shortOf;
}

} // namespace

SaleResult recordSale(const SaleInput &sale)
{
    const Amount cash = sale.total - sale.cardPart;
    if (!inRange(sale.total) || !inRange(sale.cardPart) || !inRange(cash) || !inRange(sale.points))
        return {PayRefusal::OutOfRange};
    for (const BasketLine &l : sale.lines)
        if (!inRange(l.sl) || !inRange(l.je) || !inRange(l.zhdj) || !inRange(l.sj) ||
            !inRange(l.rate) || !inRange((l.sl.truncated() * l.jf.truncated())))
            return {PayRefusal::OutOfRange};
    const bool oversell = oversellAllowed();
    return retrying([&]() -> SaleResult {
        Transaction tx;
        const std::optional<Account> a = lockAccount(sale.card);
        if (!a)
            return {PayRefusal::NoMember};
        if (sale.password && *sale.password != a->pwd)
            return {PayRefusal::WrongPassword};
        if (sale.password && a->ye < sale.cardPart)
            return {PayRefusal::NoBalance};
        if (!inRange(a->ye - sale.cardPart) || !inRange(a->jf + sale.points))
            return {PayRefusal::OutOfRange};
        if (const auto shortOf = lockGoods(sale.lines, oversell))
            return {PayRefusal::NoStock, *shortOf};
        Sql(u"UPDATE mber SET ye = ye - ?, jf = jf + ? WHERE id = ?"_s)
            .bind(sale.cardPart)
            .bind(sale.points)
            .bind(sale.card)
            .exec();
        Sql con(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, jf, createtime, czy, ps)"
                u" VALUES (?, ?, ?, ?, ?, ?, ?, '') RETURNING id"_s);
        con.bind(sale.card)
            .bind(true)
            .bind(sale.cardPart)
            .bind(cash)
            .bind(sale.points.wholePart())
            .bind(Database::dt(QDateTime::currentDateTime()))
            .bind(state().operatorName)
            .exec();
        con.next();
        const int conId = con.integer(0);
        con.query().finish(); // SQLite cannot commit while the statement is open
        // Stock by goods code ascending, the order the rows were locked in.
        QList<const BasketLine *> byCode;
        for (const BasketLine &l : sale.lines)
            byCode << &l;
        std::stable_sort(
            byCode.begin(), byCode.end(),
            [](const BasketLine *x, const BasketLine *y) { return x->spid < y->spid; });
        for (const BasketLine *l : byCode)
            Sql(u"UPDATE sp SET kc = CASE WHEN kc - ? > 0 THEN kc - ? ELSE 0 END WHERE spid = ?"_s)
                .bind(l->sl)
                .bind(l->sl)
                .bind(l->spid)
                .exec();
        for (const BasketLine &l : sale.lines)
            Sql(u"INSERT INTO xiangxi (conid, spid, spmc, dj, zk, zhdj, sl, jf, je)"
                u" VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"_s)
                .bind(conId)
                .bind(l.spid)
                .bind(l.name)
                .bind(l.sj)
                .bind(l.rate)
                .bind(l.zhdj)
                .bind(l.sl)
                .bind(l.sl.truncated() * l.jf.truncated())
                .bind(l.je)
                .exec();
        const Amount balance = a->ye - sale.cardPart;
        tx.commit();
        return {PayRefusal::None, {}, balance, conId};
    });
}

DirectResult recordDirectSale(const QString &card, Amount amount, bool fromBalance,
                              const QString &password, const QString &remark, Amount yuan)
{
    const Amount points = yuan.isZero() ? Amount() : Amount(WholeTimes(amount, yuan));
    if (!inRange(amount) || !inRange(points))
        return {PayRefusal::OutOfRange};
    const Amount fromCard = fromBalance ? amount : Amount();
    return retrying([&]() -> DirectResult {
        Transaction tx;
        const std::optional<Account> a = lockAccount(card);
        if (!a)
            return {PayRefusal::NoMember};
        if (fromBalance && password != a->pwd)
            return {PayRefusal::WrongPassword};
        if (fromBalance && a->ye < amount)
            return {PayRefusal::NoBalance};
        if (!inRange(a->ye - fromCard) || !inRange(a->jf + points))
            return {PayRefusal::OutOfRange};
        Sql(u"UPDATE mber SET ye = ye - ?, jf = jf + ? WHERE id = ?"_s)
            .bind(fromCard)
            .bind(points)
            .bind(card)
            .exec();
        // Without a points rate a balance payment records no points at all, a
        // cash one records 0.
        const QVariant conPoints = !yuan.isZero() ? QVariant(points.wholePart())
                                   : fromBalance  ? QVariant(QMetaType::fromType<qint64>())
                                                  : QVariant(qint64(0));
        Sql(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, jf, createtime, czy, ps)"
            u" VALUES (?, ?, ?, ?, ?, ?, ?, ?)"_s)
            .bind(card)
            .bind(false)
            .bind(fromCard)
            .bind(amount - fromCard)
            .bind(conPoints)
            .bind(Database::dt(QDateTime::currentDateTime()))
            .bind(state().operatorName)
            .bind(remark)
            .exec();
        const DirectResult r{PayRefusal::None, a->ye - fromCard, a->jf + points};
        tx.commit();
        return r;
    });
}

} // namespace lanting::sales
