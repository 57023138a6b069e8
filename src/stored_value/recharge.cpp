#include "recharge.h"

#include "amounts.h"
#include "appstate.h"
#include "database.h"
#include "sysinfo.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::stored_value
{

QString ratioExplanation(const QString &level, double ratio)
{
    return u"会员类型为["_s + level + u"]，充值赠送金额比例为"_s + FmtJe(ratio) + u"%。"_s;
}

Bonus ratioBonus(double paid, const QString &level, double ratio)
{
    if (paid <= 0)
        return {};
    return {RoundJe(paid * ratio / 100), ratioExplanation(level, ratio)};
}

Bonus bandBonus(double paid)
{
    if (paid <= 0)
        return {};
    Sql q(u"SELECT shangxian, xiaxian, je FROM czgz WHERE shangxian <= ? AND xiaxian >= ? "
          u"ORDER BY id LIMIT 1"_s);
    q.bind(paid).bind(paid).exec();
    if (!q.next())
        return {0, u"不在充值规则范围内。"_s};
    const double bonus = q.number(2);
    return {bonus, u"充值金额在"_s + FmtJe(q.number(0)) + u"元和"_s + FmtJe(q.number(1)) +
                       u"元之间，赠送"_s + FmtJe(bonus) + u"元。"_s};
}

std::optional<RechargeMember> rechargeMember(const QString &card)
{
    Sql q(u"SELECT m.id, m.name, m.lv, m.ye, l.czbl FROM mber m LEFT JOIN lv l ON l.name = m.lv "
          u"WHERE m.id = ?"_s);
    q.bind(card).exec();
    if (!q.next())
        return std::nullopt;
    return RechargeMember{q.text(0), q.text(1), q.text(2), q.number(3), q.number(4)};
}

bool ratioMode()
{
    return GetSysInfo(u"czyhfs"_s) == u"1"_s;
}

Recharged recharge(const QString &card, double paid, double credited, const QString &explanation,
                   const QString &remark)
{
    Transaction tx;
    // One statement: a balance changed meanwhile on another workstation is
    // added to, never overwritten.
    Sql up(u"UPDATE mber SET ye = ye + ?, ljczje = ljczje + ? WHERE id = ?"_s);
    up.bind(credited).bind(credited).bind(card).exec();
    if (up.rowsAffected() < 1)
        throw DbError(u"会员[%1]已不存在，充值没有进行。"_s.arg(card));
    Sql m(u"SELECT name, lv, ye FROM mber WHERE id = ?"_s);
    m.bind(card).exec();
    m.next();
    const Recharged r{m.number(2), m.text(0)};
    Sql(u"INSERT INTO czjl (mberid, mbername, mberlb, ssje, czje, yhsm, czy, createtime, ps) "
        u"VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"_s)
        .bind(card)
        .bind(m.text(0))
        .bind(m.text(1))
        .bind(paid)
        .bind(credited)
        .bind(explanation)
        .bind(state().operatorName)
        .bind(Database::dt(QDateTime::currentDateTime()))
        .bind(remark)
        .exec();
    tx.commit();
    return r;
}

QString rechargeReceipt(const QString &nameCaption, const QString &idCaption, bool showCard,
                        const QString &paid, const QString &credited, double balance)
{
    const QString crlf = u"\r\n"_s;
    QString body = nameCaption + crlf;
    if (showCard)
        body += idCaption + crlf;
    body += u"实收金额："_s + paid + u"元"_s + crlf;
    body += u"充值金额："_s + credited + u"元"_s + crlf;
    body += u"卡内最新余额："_s + FmtJe(balance) + u"元"_s + crlf;
    return body;
}

} // namespace lanting::stored_value
