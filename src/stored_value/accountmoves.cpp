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

std::optional<Party> partyOf(Sql &q)
{
    if (!q.next())
        return std::nullopt;
    Party p{q.text(0), q.text(1), q.text(2), q.amount(3), true};
    const bool expires = q.value(5).toBool();
    const QDateTime until = Database::toDt(q.value(6));
    p.usable =
        q.integer(4) == 0 && !(expires && until.isValid() && until < QDateTime::currentDateTime());
    return p;
}

const QString kPartyColumns = u"SELECT id, name, lv, ye, st, booljzrq, jzrq FROM mber "_s;

} // namespace

Refusal exchangePoints(const QString &card, Amount points, const QString &remark)
{
    if (!inRange(points))
        return Refusal::OutOfRange;
    points = points.truncated();
    if (points <= 0)
        return Refusal::NotPositive;
    return retrying([&] {
        Transaction tx;
        Sql m(u"SELECT jf, name, lv FROM mber WHERE id = ?"_s + forUpdate());
        m.bind(card).exec();
        if (!m.next())
            return Refusal::NoMember;
        if (m.amount(0) < points)
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
    });
}

Amount returnable(int conId)
{
    // One statement, so that the sale and its returns are read together.
    return Database::toAmount(
        scalar(u"SELECT coalesce((SELECT czkfk + xjfk FROM con WHERE id = ?), 0)"
               u" - (SELECT coalesce(sum(je), 0) FROM thjl WHERE conid = ?)"_s,
               {conId, conId}));
}

Refusal recordReturn(int conId, const QString &card, const QString &shownName,
                     const QString &shownLevel, Amount amount, bool toCard, const QString &remark)
{
    if (!inRange(amount))
        return Refusal::OutOfRange;
    if (amount <= 0)
        return Refusal::NotPositive;
    return retrying([&] {
        Transaction tx;
        // The member first, then the sale: two tills returning the same sale
        // take their turns, and the second finds what the first left.
        Sql m(u"SELECT ye FROM mber WHERE id = ?"_s + forUpdate());
        m.bind(card).exec();
        const bool found = m.next();
        if (toCard && !found)
            return Refusal::NoMember;
        if (toCard && !inRange(m.amount(0) + amount))
            return Refusal::OutOfRange;
        Sql(u"SELECT id FROM con WHERE id = ?"_s + forUpdate()).bind(conId).exec();
        if (returnable(conId) < amount)
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
    });
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

Refusal transfer(const QString &from, const QString &to, Amount amount, const QString &remark)
{
    if (!inRange(amount))
        return Refusal::OutOfRange;
    if (amount <= 0)
        return Refusal::NotPositive;
    return retrying([&] {
        Transaction tx;
        // Both rows in one statement, locked by card number ascending, so
        // that transfers A to B and B to A at two tills never wait on each
        // other in a circle.
        Sql both(kPartyColumns + u"WHERE id IN (?, ?) ORDER BY id"_s + forUpdate());
        both.bind(from).bind(to).exec();
        std::optional<Party> source, target;
        while (std::optional<Party> p = partyOf(both))
            (p->id == from ? source : target) = p;
        if (!target)
            return Refusal::NoMember;
        if (!target->usable)
            return Refusal::TargetUnusable;
        // A source that has gone meanwhile has nothing to give.
        if (!source || source->ye < amount)
            return Refusal::TooFew;
        if (!inRange(target->ye + amount))
            return Refusal::OutOfRange;
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
    });
}

} // namespace lanting::stored_value
