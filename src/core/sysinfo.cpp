#include "sysinfo.h"

#include "database.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting
{

QString GetSysInfo(const QString &key)
{
    return scalar(u"SELECT keyvalue FROM sysinfo WHERE infokey = ?"_s, {key}).toString();
}

void SetSysInfo(const QString &key, const QString &value)
{
    Sql(u"UPDATE sysinfo SET keyvalue = ? WHERE infokey = ?"_s).bind(value).bind(key).exec();
}

} // namespace lanting
