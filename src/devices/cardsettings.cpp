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
    s.readerKind = GetSysInfo(u"icdev"_s) == u"1"_s ? 1 : 0;
    s.readerName = GetSysInfo(u"icname"_s);
    s.uidOnly = GetSysInfo(u"icuid"_s) == u"1"_s;
    const int block = int(WholeVal(GetSysInfo(u"icblock"_s)).wholePart());
    s.block = validNumberBlock(block) ? block : 4;
    return s;
}

bool validSectorKey(const QString &key)
{
    static const QRegularExpression hex(u"^[0-9A-Fa-f]{12}$"_s);
    return hex.match(key).hasMatch();
}

bool validNumberBlock(int block)
{
    return block > 0 && block < 64 && block % 4 != 3;
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
    SetSysInfo(u"icdev"_s, s.readerKind == 1 ? u"1"_s : u"0"_s);
    SetSysInfo(u"icname"_s, s.readerName.trimmed());
    SetSysInfo(u"icuid"_s, s.uidOnly ? u"1"_s : u"0"_s);
    SetSysInfo(u"icblock"_s, QString::number(s.block));
    tx.commit();
}

} // namespace lanting::devices
