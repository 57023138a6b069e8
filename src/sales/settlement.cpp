#include "settlement.h"

#include "amounts.h"
#include "appstate.h"
#include "database.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::sales
{

namespace
{

const QString kNoCard = u"000000000000"_s;

struct Account {
    QString pwd;
    double ye = 0, jf = 0;
};

// The member's row, locked against other workstations until the end of the
// transaction (SQLite holds the whole database from the start of it).
std::optional<Account> lockAccount(const QString &card)
{
    QString sql = u"SELECT pwd, ye, jf FROM mber WHERE id = ?"_s;
    if (Database::backend() == Backend::Postgres)
        sql += u" FOR UPDATE"_s;
    Sql q(sql);
    q.bind(card).exec();
    if (!q.next())
        return std::nullopt;
    return Account{q.text(0), q.number(1), q.number(2)};
}

} // namespace

qint64 salePoints(const QList<BasketLine> &lines, double total, double yuan, const QString &card)
{
    if (card == kNoCard)
        return 0;
    qint64 points = 0;
    double special = 0;
    for (const BasketLine &l : lines) {
        if (l.jf > 0) {
            points += TruncWhole(l.sl * double(l.jf));
            special += l.je;
        }
    }
    if (yuan > 0)
        points += TruncWhole(NumVal(FmtJe(total - special)) / yuan);
    return points;
}

QString saleReceipt(const QString &nameLine, const QString &idLine, const QString &levelLine,
                    bool showCard, const QList<BasketLine> &lines, double total, qint64 points)
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
        body += u"本次消费获得积分："_s + QString::number(points) + crlf;
    return body;
}

SaleResult recordSale(const SaleInput &sale)
{
    Transaction tx;
    const std::optional<Account> a = lockAccount(sale.card);
    if (!a)
        return {PayRefusal::NoMember};
    if (sale.password && *sale.password != a->pwd)
        return {PayRefusal::WrongPassword};
    if (sale.password && JeLess(a->ye, sale.cardPart))
        return {PayRefusal::NoBalance};
    Sql(u"UPDATE mber SET ye = ye - ?, jf = jf + ? WHERE id = ?"_s)
        .bind(sale.cardPart).bind(sale.points).bind(sale.card).exec();
    Sql con(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, jf, createtime, czy, ps)"
            u" VALUES (?, ?, ?, ?, ?, ?, ?, '') RETURNING id"_s);
    con.bind(sale.card).bind(true).bind(sale.cardPart)
        .bind(NumVal(FmtJe(sale.total - sale.cardPart))).bind(sale.points)
        .bind(Database::dt(QDateTime::currentDateTime())).bind(state().operatorName).exec();
    con.next();
    const int conId = con.integer(0);
    con.query().finish(); // SQLite cannot commit while the statement is open
    for (const BasketLine &l : sale.lines)
        Sql(u"UPDATE sp SET kc = CASE WHEN kc - ? > 0 THEN kc - ? ELSE 0 END WHERE spid = ?"_s)
            .bind(l.sl).bind(l.sl).bind(l.spid).exec();
    for (const BasketLine &l : sale.lines)
        Sql(u"INSERT INTO xiangxi (conid, spid, spmc, dj, zk, zhdj, sl, jf, je)"
            u" VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"_s)
            .bind(conId).bind(l.spid).bind(l.name).bind(l.sj).bind(l.rate).bind(l.zhdj)
            .bind(l.sl).bind(TruncWhole(l.sl) * l.jf).bind(l.je).exec();
    const double balance = NumVal(FmtJe(a->ye - sale.cardPart));
    tx.commit();
    return {PayRefusal::None, balance, conId};
}

DirectResult recordDirectSale(const QString &card, double amount, bool fromBalance,
                              const QString &password, const QString &remark, double yuan)
{
    Transaction tx;
    const std::optional<Account> a = lockAccount(card);
    if (!a)
        return {PayRefusal::NoMember};
    if (fromBalance && password != a->pwd)
        return {PayRefusal::WrongPassword};
    if (fromBalance && JeLess(a->ye, amount))
        return {PayRefusal::NoBalance};
    const qint64 points = yuan != 0 ? qint64(qint32(TruncWhole(amount / yuan))) : 0;
    Sql(u"UPDATE mber SET ye = ye - ?, jf = jf + ? WHERE id = ?"_s)
        .bind(fromBalance ? amount : 0.0).bind(points).bind(card).exec();
    // Without a points rate a balance payment records no points at all, a
    // cash one records 0.
    const QVariant conPoints = yuan != 0 ? QVariant(points)
                               : fromBalance ? QVariant(QMetaType::fromType<qint64>())
                                             : QVariant(qint64(0));
    Sql(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, jf, createtime, czy, ps)"
        u" VALUES (?, ?, ?, ?, ?, ?, ?, ?)"_s)
        .bind(card).bind(false).bind(fromBalance ? amount : 0.0).bind(fromBalance ? 0.0 : amount)
        .bind(conPoints).bind(Database::dt(QDateTime::currentDateTime()))
        .bind(state().operatorName).bind(remark).exec();
    const DirectResult r{PayRefusal::None, NumVal(FmtJe(a->ye - (fromBalance ? amount : 0.0))),
                         a->jf + double(points)};
    tx.commit();
    return r;
}

} // namespace lanting::sales
