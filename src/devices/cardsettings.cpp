#include "cardsettings.h"

#include "amounts.h"
#include "database.h"
#include "sysinfo.h"

#include <QRegularExpression>

using namespace Qt::Literals::StringLiterals;

namespace lanting::devices
{

CardSettings loadCardSettings()
{
    CardSettings s;
    s.cardType = WholeVal(GetSysInfo(u"klx"_s)).isZero() ? 0 : 1;
    s.port = GetSysInfo(u"ckh"_s);
    s.baud = GetSysInfo(u"bt"_s);
    s.key = GetSysInfo(u"icpwd"_s);
    return s;
}

bool validSectorKey(const QString &key)
{
    static const QRegularExpression hex(u"^[0-9A-Fa-f]{12}$"_s);
    return hex.match(key).hasMatch();
}

void saveCardSettings(const CardSettings &s)
{
    const QString port = NumVal(s.port) == 0 ? u"0"_s : s.port;
    const QString baud = NumVal(s.baud) == 0 ? u"0"_s : s.baud;
    const QString key = s.cardType == 0 ? s.key.toUpper() : s.key;
    Transaction tx;
    SetSysInfo(u"klx"_s, s.cardType == 0 ? u"0"_s : u"1"_s);
    SetSysInfo(u"ckh"_s, port);
    SetSysInfo(u"bt"_s, baud);
    SetSysInfo(u"icpwd"_s, key);
    tx.commit();
}

} // namespace lanting::devices
