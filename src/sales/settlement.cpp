#include "settlement.h"

#include "amounts.h"
#include "appstate.h"
#include "database.h"
#include "secrets.h"

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

// Each goods code of a sale with the quantity it takes in all and its name,
// ordered by code.
using Wanted = QMap<QString, std::pair<Amount, QString>>;

Wanted wantedGoods(const QList<BasketLine> &lines)
{
    Wanted wanted;
    for (const BasketLine &l : lines) {
        auto &w = wanted[l.spid];
        w.first += l.sl;
        w.second = l.name;
    }
    return wanted;
}

// The goods of a sale locked by code ascending; the first one short of
// stock when goods may not be oversold.
std::optional<QString> lockGoods(const Wanted &wanted, bool oversell)
{
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

// Rows written per statement: well within the bound values a statement takes.
constexpr qsizetype kRowsPerStatement = 500;

// The stock of the goods taken down, never below 0, a statement for many
// goods rather than one each: the till waits for one round trip to the
// server, not twenty.
void takeStock(const Wanted &wanted)
{
    const QString row =
        Database::backend() == Backend::Postgres ? u"(?, CAST(? AS numeric))"_s : u"(?, ?)"_s;
    const QStringList codes = wanted.keys();
    for (qsizetype from = 0; from < codes.size(); from += kRowsPerStatement) {
        const QStringList part = codes.mid(from, kRowsPerStatement);
        Sql q(u"WITH v (spid, sl) AS (VALUES "_s + QStringList(part.size(), row).join(u", "_s) +
              u") UPDATE sp SET kc = CASE WHEN sp.kc - v.sl > 0 THEN sp.kc - v.sl ELSE 0 END"
              u" FROM v WHERE sp.spid = v.spid"_s);
        for (const QString &code : part)
            q.bind(code).bind(wanted.value(code).first);
        q.exec();
    }
}

// The lines of a sale in the order of the basket, many to a statement.
void writeLines(int conId, const QList<BasketLine> &lines)
{
    for (qsizetype from = 0; from < lines.size(); from += kRowsPerStatement) {
        const QList<BasketLine> part = lines.mid(from, kRowsPerStatement);
        Sql q(u"INSERT INTO xiangxi (conid, spid, spmc, dj, zk, zhdj, sl, jf, je) VALUES "_s +
              QStringList(part.size(), u"(?, ?, ?, ?, ?, ?, ?, ?, ?)"_s).join(u", "_s));
        for (const BasketLine &l : part)
            q.bind(conId)
                .bind(l.spid)
                .bind(l.name)
                .bind(l.sj)
                .bind(l.rate)
                .bind(l.zhdj)
                .bind(l.sl)
                .bind(l.sl.truncated() * l.jf.truncated())
                .bind(l.je);
        q.exec();
    }
}

} // namespace

Amount cardBalance(const QString &card)
{
    return Database::toAmount(scalar(u"SELECT ye FROM mber WHERE id = ?"_s, {card}));
}

SaleResult recordSale(const SaleInput &sale)
{
    const Amount cash = sale.total - sale.cardPart;
    if (!inRange(sale.total) || !inRange(sale.cardPart) || !inRange(cash) || !inRange(sale.points))
        return {PayRefusal::OutOfRange};
    // A quantity below 0 never comes from a basket; stock is taken per code.
    for (const BasketLine &l : sale.lines)
        if (l.sl < 0 || !inRange(l.sl) || !inRange(l.je) || !inRange(l.zhdj) || !inRange(l.sj) ||
            !inRange(l.rate) || !inRange((l.sl.truncated() * l.jf.truncated())))
            return {PayRefusal::OutOfRange};
    const bool oversell = oversellAllowed();
    const Wanted wanted = wantedGoods(sale.lines);
    return retrying([&]() -> SaleResult {
        Transaction tx;
        const std::optional<Account> a = lockAccount(sale.card);
        if (!a)
            return {PayRefusal::NoMember};
        if (sale.password && !secretMatches(a->pwd, *sale.password))
            return {PayRefusal::WrongPassword};
        if (sale.password && a->ye < sale.cardPart)
            return {PayRefusal::NoBalance};
        if (!inRange(a->ye - sale.cardPart) || !inRange(a->jf + sale.points))
            return {PayRefusal::OutOfRange};
        if (const auto shortOf = lockGoods(wanted, oversell))
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
        takeStock(wanted);
        writeLines(conId, sale.lines);
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
        if (fromBalance && !secretMatches(a->pwd, password))
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
