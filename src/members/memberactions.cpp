#include "memberactions.h"

#include "appstate.h"
#include "database.h"
#include "memberlookup.h"
#include "mod1.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

void deleteMember(const QString &id)
{
    Transaction tx;
    Sql(u"DELETE FROM mber WHERE id = ?"_s).bind(id).exec();
    Sql(u"DELETE FROM xiangxi WHERE conid IN (SELECT id FROM con WHERE mberid = ?)"_s)
        .bind(id)
        .exec();
    for (const char *table : {"con", "dhjl", "thjl", "czjl", "bdjl"})
        Sql(u"DELETE FROM "_s + QLatin1String(table) + u" WHERE mberid = ?"_s).bind(id).exec();
    tx.commit();
}

DisableResult disableMember(const QString &id)
{
    // One conditional statement: two workstations cannot both pass the check.
    Sql q(u"UPDATE mber SET st = 2 WHERE id = ? AND st = 0"_s);
    q.bind(id).exec();
    if (q.rowsAffected() > 0)
        return DisableResult::Disabled;
    return scalar(u"SELECT count(*) FROM mber WHERE id = ?"_s, {id}).toInt() > 0
               ? DisableResult::NotNormal
               : DisableResult::NoSuchMember;
}

void cancelDisable(const QString &id)
{
    Sql(u"UPDATE mber SET st = 0 WHERE id = ?"_s).bind(id).exec();
}

bool deleteExchange(const QString &memberId, int exchangeId)
{
    return retrying([&] {
        Transaction tx;
        Sql m(u"SELECT jf FROM mber WHERE id = ?"_s + forUpdate());
        m.bind(memberId).exec();
        const bool member = m.next();
        // The record goes in one conditional statement: of two tills
        // deleting it, only the one that did gives the points back.
        Sql d(u"DELETE FROM dhjl WHERE id = ? AND mberid = ? RETURNING jf, createtime, ps"_s);
        d.bind(exchangeId).bind(memberId).exec();
        if (!d.next())
            return false;
        // A record without points gives back none and still goes.
        const Amount exchanged = d.amount(0);
        const Amount back = exchanged.truncated();
        const QVariant when = d.value(1), what = d.value(2);
        d.query().finish();
        if (member && !inRange(m.amount(0) + back))
            throw DbError(outOfRangeText());
        Sql(u"UPDATE mber SET jf = jf + ? WHERE id = ?"_s).bind(back).bind(memberId).exec();
        // The exchange as it was and the points given back, for the
        // member's statement.
        Sql(u"INSERT INTO bdjl (mberid, lx, jf, yjf, yssj, czy, createtime, ps)"
            u" VALUES (?, '删除兑换', ?, ?, ?, ?, ?, ?)"_s)
            .bind(memberId)
            .bind(back)
            .bind(exchanged)
            .bind(Database::dt(Database::toDt(when)))
            .bind(state().operatorName)
            .bind(Database::dt(QDateTime::currentDateTime()))
            .bind(what)
            .exec();
        tx.commit();
        return true;
    });
}

void deleteReminder(int reminderId)
{
    Sql(u"DELETE FROM sjtx WHERE id = ?"_s).bind(reminderId).exec();
}

bool memberUnusable(const QString &id)
{
    const auto m = readMember(id);
    return m && shownState(*m, QDateTime::currentDateTime()) != 0;
}

} // namespace lanting::members
