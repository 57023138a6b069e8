#include "cardloss.h"

#include "database.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

CardLoss replaceCard(const QString &oldId, const QString &typedId, const QString &certificate)
{
    const QString newId = typedId.trimmed();
    if (newId.isEmpty())
        return CardLoss::Empty;
    Transaction tx;
    if (scalar(u"SELECT count(*) FROM mber WHERE id = ?"_s, {newId}).toInt() > 0)
        return CardLoss::Exists;
    const QVariant stored = scalar(u"SELECT coalesce(zjhm, '') FROM mber WHERE id = ?"_s, {oldId});
    if (stored.isNull())
        return CardLoss::NoMember;
    if (certificate.trimmed() != stored.toString())
        return CardLoss::WrongCertificate;
    Sql(u"UPDATE mber SET id = ? WHERE id = ?"_s).bind(newId).bind(oldId).exec();
    for (const char *table : {"con", "czjl", "dhjl", "sjtx", "thjl"})
        Sql(u"UPDATE "_s + QString::fromLatin1(table) + u" SET mberid = ? WHERE mberid = ?"_s)
            .bind(newId).bind(oldId).exec();
    tx.commit();
    return CardLoss::Done;
}

} // namespace lanting::members
