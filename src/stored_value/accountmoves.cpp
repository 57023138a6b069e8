#include "accountmoves.h"

#include "amounts.h"
#include "appstate.h"
#include "database.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::stored_value
{

namespace
{

QVariant now()
{
    return Database::dt(QDateTime::currentDateTime());
}

// Locks the member's row until the end of the transaction on PostgreSQL
// (SQLite holds the whole database from the start of it).
QString forUpdate()
{
    return Database::backend() == Backend::Postgres ? u" FOR UPDATE"_s : QString();
}

std::optional<Party> partyOf(Sql &q)
{
    if (!q.next())
        return std::nullopt;
    Party p{q.text(0), q.text(1), q.text(2), q.number(3), true};
    const bool expires = q.value(5).toBool();
    const QDateTime until = Database::toDt(q.value(6));
    p.usable =
        q.integer(4) == 0 && !(expires && until.isValid() && until < QDateTime::currentDateTime());
    return p;
}

const QString kPartyColumns = u"SELECT id, name, lv, ye, st, booljzrq, jzrq FROM mber "_s;

} // namespace

Refusal exchangePoints(const QString &card, qint64 points, const QString &remark)
{
    if (points <= 0)
        return Refusal::NotPositive;
    Transaction tx;
    Sql m(u"SELECT jf, name, lv FROM mber WHERE id = ?"_s + forUpdate());
    m.bind(card).exec();
    if (!m.next())
        return Refusal::NoMember;
    if (JeLess(m.number(0), double(points)))
        return Refusal::TooFew;
    const QString name = m.text(1), lv = m.text(2);
    Sql(u"UPDATE mber SET jf = jf - ? WHERE id = ?"_s).bind(points).bind(card).exec();
    Sql(u"INSERT INTO dhjl (mberid, mbername, mberlb, jf, czy, createtime, ps) VALUES (?, ?, ?, ?, ?, ?, ?)"_s)
        .bind(card)
        .bind(name)
        .bind(lv)
        .bind(points)
        .bind(state().operatorName)
        .bind(now())
        .bind(remark)
        .exec();
    tx.commit();
    return Refusal::None;
}

double returnable(int conId)
{
    const double paid = scalar(u"SELECT czkfk + xjfk FROM con WHERE id = ?"_s, {conId}).toDouble();
    const double returned =
        scalar(u"SELECT coalesce(sum(je), 0) FROM thjl WHERE conid = ?"_s, {conId}).toDouble();
    return NumVal(FmtJe(paid - returned));
}

Refusal recordReturn(int conId, const QString &card, const QString &shownName,
                     const QString &shownLevel, double amount, bool toCard, const QString &remark)
{
    if (amount <= 0)
        return Refusal::NotPositive;
    Transaction tx;
    if (JeLess(returnable(conId), amount))
        return Refusal::TooMuch;
    Sql(u"INSERT INTO thjl (conid, mberid, mbername, mberlb, je, thfs, czy, createtime, ps)"
        u" VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"_s)
        .bind(conId)
        .bind(card)
        .bind(shownName)
        .bind(shownLevel)
        .bind(amount)
        .bind(toCard)
        .bind(state().operatorName)
        .bind(now())
        .bind(remark)
        .exec();
    if (toCard)
        Sql(u"UPDATE mber SET ye = ye + ? WHERE id = ?"_s).bind(amount).bind(card).exec();
    tx.commit();
    return Refusal::None;
}

std::optional<Party> readParty(const QString &card)
{
    Sql q(kPartyColumns + u"WHERE id = ?"_s);
    q.bind(card).exec();
    return partyOf(q);
}

std::optional<Party> findParty(const QString &text)
{
    Sql q(
        kPartyColumns +
        u"WHERE id = ? OR (name = ? AND name <> '') ORDER BY CASE WHEN id = ? THEN 0 ELSE 1 END, id LIMIT 1"_s);
    q.bind(text).bind(text).bind(text).exec();
    return partyOf(q);
}

Refusal transfer(const QString &from, const QString &to, double amount, const QString &remark)
{
    if (amount <= 0)
        return Refusal::NotPositive;
    Transaction tx;
    Sql s(kPartyColumns + u"WHERE id = ?"_s + forUpdate());
    s.bind(from).exec();
    const std::optional<Party> source = partyOf(s);
    Sql t(kPartyColumns + u"WHERE id = ?"_s + forUpdate());
    t.bind(to).exec();
    const std::optional<Party> target = partyOf(t);
    if (!target)
        return Refusal::NoMember;
    if (!target->usable)
        return Refusal::TargetUnusable;
    // A source that has gone meanwhile has nothing to give.
    if (!source || JeLess(source->ye, amount))
        return Refusal::TooFew;
    Sql(u"INSERT INTO zzjl (zcid, zcname, zclv, zrid, zrname, zrlv, je, czy, createtime, ps)"
        u" VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s)
        .bind(from)
        .bind(source->name)
        .bind(source->lv)
        .bind(to)
        .bind(target->name)
        .bind(target->lv)
        .bind(amount)
        .bind(state().operatorName)
        .bind(now())
        .bind(remark)
        .exec();
    Sql(u"UPDATE mber SET ye = ye - ? WHERE id = ?"_s).bind(amount).bind(from).exec();
    Sql(u"UPDATE mber SET ye = ye + ? WHERE id = ?"_s).bind(amount).bind(to).exec();
    tx.commit();
    return Refusal::None;
}

} // namespace lanting::stored_value
