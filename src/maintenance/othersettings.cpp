#include "othersettings.h"

#include "amounts.h"
#include "appstate.h"
#include "database.h"
#include "sysinfo.h"

#include <QRegularExpression>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace lanting::maintenance
{

namespace
{
QString yesNo(bool b)
{
    return b ? u"yes"_s : u"no"_s;
}
QString zeroIfNone(const QString &text)
{
    return NumVal(text) == 0 ? u"0"_s : text;
}
} // namespace

OtherSettings loadOtherSettings()
{
    OtherSettings s;
    s.boolprint = GetSysInfo(u"boolprint"_s) == u"yes"_s;
    s.dyfs = GetSysInfo(u"dyfs"_s);
    s.printer = GetSysInfo(u"printer"_s);
    s.bt1 = GetSysInfo(u"bt1"_s);
    s.bt2 = GetSysInfo(u"bt2"_s);
    s.jz1 = GetSysInfo(u"jz1"_s);
    s.jz2 = GetSysInfo(u"jz2"_s);
    s.fdmc = GetSysInfo(u"fdmc"_s);
    s.kc = GetSysInfo(u"kc"_s) == u"yes"_s;
    s.yuan = GetSysInfo(u"yuan"_s);
    s.txtian = GetSysInfo(u"txtian"_s);
    s.xiaoshu = GetSysInfo(u"xiaoshu"_s);
    s.qxdk = GetSysInfo(u"qxdk"_s);
    s.czsendm = GetSysInfo(u"czsendm"_s) == u"yes"_s;
    s.xfsendm = GetSysInfo(u"xfsendm"_s) == u"yes"_s;
    s.escpos = GetSysInfo(u"xpkind"_s) == u"escpos"_s;
    s.escposAddress = GetSysInfo(u"escpos"_s);
    s.paperMm = GetSysInfo(u"xpwidth"_s) == u"80"_s ? 80 : 58;
    s.displayPort = GetSysInfo(u"xsdk"_s);
    return s;
}

bool copiesValid(const QString &text)
{
    static const QRegularExpression whole(u"^\\s*\\d*\\s*$"_s);
    return whole.match(text).hasMatch();
}

void saveOtherSettings(OtherSettings s)
{
    if (!inRange(NumVal(s.yuan)) || !inRange(NumVal(s.txtian)) || !inRange(NumVal(s.dyfs)))
        throw DbError(outOfRangeText());
    s.dyfs = zeroIfNone(s.dyfs);
    s.yuan = zeroIfNone(s.yuan);
    s.txtian = zeroIfNone(s.txtian);
    Transaction tx;
    SetSysInfo(u"boolprint"_s, yesNo(s.boolprint));
    SetSysInfo(u"dyfs"_s, s.dyfs);
    SetSysInfo(u"printer"_s, s.printer);
    SetSysInfo(u"bt1"_s, s.bt1);
    SetSysInfo(u"bt2"_s, s.bt2);
    SetSysInfo(u"jz1"_s, s.jz1);
    SetSysInfo(u"jz2"_s, s.jz2);
    SetSysInfo(u"fdmc"_s, s.fdmc);
    SetSysInfo(u"kc"_s, yesNo(s.kc));
    SetSysInfo(u"qxdk"_s, s.qxdk);
    SetSysInfo(u"txtian"_s, FmtJe(NumVal(s.txtian)));
    SetSysInfo(u"xiaoshu"_s, s.xiaoshu);
    SetSysInfo(u"yuan"_s, FmtJe(NumVal(s.yuan)));
    SetSysInfo(u"czsendm"_s, yesNo(s.czsendm));
    SetSysInfo(u"xfsendm"_s, yesNo(s.xfsendm));
    SetSysInfo(u"xpkind"_s, s.escpos ? u"escpos"_s : u"cups"_s);
    SetSysInfo(u"escpos"_s, s.escposAddress.trimmed());
    SetSysInfo(u"xpwidth"_s, QString::number(s.paperMm == 80 ? 80 : 58));
    SetSysInfo(u"xsdk"_s, s.displayPort.trimmed());
    tx.commit();
    // What the running program keeps, at once.
    AppState &a = state();
    a.copies = int(std::clamp<qint64>(WholeVal(s.dyfs).wholePart(), -999, 999));
    a.printer = s.printer;
    a.bt1 = s.bt1;
    a.bt2 = s.bt2;
    a.jz1 = s.jz1;
    a.jz2 = s.jz2;
    a.drawerPort = s.qxdk;
    a.escposPrinter = s.escpos;
    a.escposAddress = s.escposAddress.trimmed();
    a.paperMm = s.paperMm == 80 ? 80 : 58;
    a.displayPort = s.displayPort.trimmed();
    a.decimals = s.xiaoshu.toInt();
    a.yuanPerPoint = NumVal(s.yuan);
}

QString withSeparator(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace lanting::maintenance
