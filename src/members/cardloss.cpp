#include "cardloss.h"

#include "appstate.h"
#include "database.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

CardLoss replaceCard(const QString &oldId, const QString &typedId, const QString &certificate)
{
    const QString newId = typedId.trimmed();
    if (newId.isEmpty())
        return CardLoss::Empty;
    return retrying([&] {
        Transaction tx;
        // The old card's row is locked first: a second till replacing the
        // same card waits, then finds it gone.
        Sql old(u"SELECT coalesce(zjhm, '') FROM mber WHERE id = ?"_s + forUpdate());
        old.bind(oldId).exec();
        const bool found = old.next();
        if (scalar(u"SELECT count(*) FROM mber WHERE id = ?"_s, {newId}).toInt() > 0)
            return CardLoss::Exists;
        if (!found)
            return CardLoss::NoMember;
        if (certificate.trimmed() != old.text(0))
            return CardLoss::WrongCertificate;
        Sql move(u"UPDATE mber SET id = ? WHERE id = ?"_s);
        try {
            move.bind(newId).bind(oldId).exec();
        } catch (const DbError &e) {
            if (e.duplicate()) // the number was given out at another till meanwhile
                return CardLoss::Exists;
            throw;
        }
        if (move.rowsAffected() != 1)
            return CardLoss::NoMember;
        for (const char *table : {"con", "czjl", "dhjl", "sjtx", "thjl", "bdjl"})
            Sql(u"UPDATE "_s + QString::fromLatin1(table) + u" SET mberid = ? WHERE mberid = ?"_s)
                .bind(newId)
                .bind(oldId)
                .exec();
        // Transfers stay under the old number: the member's statement finds
        // them through this record.
        Sql(u"INSERT INTO bdjl (mberid, lx, oldid, czy, createtime, ps)"
            u" VALUES (?, '挂失换卡', ?, ?, ?, ?)"_s)
            .bind(newId)
            .bind(oldId)
            .bind(state().operatorName)
            .bind(Database::dt(QDateTime::currentDateTime()))
            .bind(u"旧卡号%1换为新卡号%2"_s.arg(oldId, newId))
            .exec();
        tx.commit();
        return CardLoss::Done;
    });
}

} // namespace lanting::members
