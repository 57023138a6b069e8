#include "operators.h"

#include "database.h"
#include "mod1.h"
#include "secrets.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting
{

std::optional<QString> permissionsOf(const QString &name)
{
    Sql q(u"SELECT per FROM czy WHERE name = ?"_s);
    q.bind(name).exec();
    if (!q.next())
        return std::nullopt;
    return q.text(0);
}

void setPermissions(const QString &name, const QString &per)
{
    if (name == kAdminName)
        return;
    Sql(u"UPDATE czy SET per = ? WHERE name = ?"_s).bind(per).bind(name).exec();
}

bool operatorExists(const QString &name)
{
    return scalar(u"SELECT count(*) FROM czy WHERE lower(name) = lower(?)"_s, {name}).toInt() > 0;
}

void addOperator(const QString &name, const QString &password)
{
    Sql(u"INSERT INTO czy (name, pwd, per) VALUES (?, ?, ?)"_s)
        .bind(name)
        .bind(hashSecret(password))
        .bind(QString::fromUtf16(kNewOperatorPer))
        .exec();
}

void deleteOperator(const QString &name)
{
    if (name == kAdminName)
        return;
    Sql(u"DELETE FROM czy WHERE name = ?"_s).bind(name).exec();
}

PasswordChange changePassword(const QString &name, const QString &oldPassword,
                              const QString &newPassword)
{
    Transaction tx;
    Sql q(u"SELECT pwd FROM czy WHERE name = ?"_s);
    q.bind(name).exec();
    if (!q.next())
        return PasswordChange::NoSuchOperator;
    if (!secretMatches(q.text(0), oldPassword))
        return PasswordChange::WrongOldPassword;
    Sql(u"UPDATE czy SET pwd = ? WHERE name = ?"_s).bind(hashSecret(newPassword)).bind(name).exec();
    tx.commit();
    return PasswordChange::Changed;
}

} // namespace lanting
