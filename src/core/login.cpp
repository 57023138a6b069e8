#include "login.h"

#include "appstate.h"
#include "database.h"
#include "operators.h"
#include "secrets.h"
#include "sysinfo.h"

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace lanting
{

namespace
{

// A numeric setting must hold a number; its whole part is used.
std::optional<double> numericSetting(const QString &key, const QString &value, QStringList &errors)
{
    bool ok = false;
    const double v = value.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) {
        errors << u"设置项%1的值[%2]不是数字"_s.arg(key, value);
        return std::nullopt;
    }
    return v;
}

} // namespace

QStringList operatorNames()
{
    return firstColumn(u"SELECT name FROM czy ORDER BY id"_s);
}

std::optional<Operator> authenticate(const QString &name, const QString &password)
{
    Sql q(u"SELECT name, pwd, per FROM czy WHERE lower(name) = lower(?)"_s);
    q.bind(name).exec();
    if (!q.next() || !secretMatches(q.text(1), password))
        return std::nullopt;
    return Operator{q.text(0), q.text(2)};
}

bool deliveredAccountInUse()
{
    return authenticate(kAdminName, kDeliveredPassword).has_value();
}

QString beginSession(const Operator &op)
{
    AppState &s = state();
    s.operatorName = op.name;
    s.permissions = op.per;
    s.loginTime = QDateTime::currentDateTime();
    QStringList errors;
    try {
        const QString yuan = GetSysInfo(u"yuan"_s);
        s.yuanPerPoint = Amount::fromDecimalText(yuan);
        if (!inRange(s.yuanPerPoint)) {
            errors << u"设置项%1的值[%2]不是数字"_s.arg(u"yuan"_s, yuan);
            s.yuanPerPoint = 0;
        }
    } catch (const DbError &e) { // the session goes on; the reason is shown
        errors << e.message();
    }
    return errors.join(u'；');
}

QStringList loadStartupSettings()
{
    AppState &s = state();
    QStringList errors;
    auto read = [&errors](const QString &key) {
        try {
            return GetSysInfo(key);
        } catch (const DbError &e) {
            errors << e.message();
            return QString();
        }
    };
    auto whole = [&](const QString &key, int &target) {
        const QString v = read(key);
        if (const auto n = numericSetting(key, v, errors))
            target = int(std::trunc(std::clamp(*n, -1e9, 1e9)));
    };
    whole(u"xiaoshu"_s, s.decimals);
    whole(u"klx"_s, s.cardType);
    s.printer = read(u"printer"_s);
    s.bt1 = read(u"bt1"_s);
    s.bt2 = read(u"bt2"_s);
    s.jz1 = read(u"jz1"_s);
    s.jz2 = read(u"jz2"_s);
    whole(u"dyfs"_s, s.copies);
    s.drawerPort = read(u"qxdk"_s);
    s.escposPrinter = read(u"xpkind"_s) == u"escpos"_s;
    s.escposAddress = read(u"escpos"_s);
    s.paperMm = read(u"xpwidth"_s) == u"80"_s ? 80 : 58;
    s.displayPort = read(u"xsdk"_s);
    whole(u"skin"_s, s.skin);
    errors.removeDuplicates();
    return errors;
}

} // namespace lanting
