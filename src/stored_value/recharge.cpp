#include "recharge.h"

#include "amounts.h"
#include "appstate.h"
#include "database.h"
#include "sysinfo.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::stored_value
{

QString ratioExplanation(const QString &level, Amount ratio)
{
    return u"会员类型为["_s + level + u"]，充值赠送金额比例为"_s + FmtJe(ratio) + u"%。"_s;
}

Bonus ratioBonus(Amount paid, const QString &level, Amount ratio)
{
    if (paid <= 0)
        return {};
    return {RoundJe(paid, ratio, 100), ratioExplanation(level, ratio)};
}

Bonus bandBonus(Amount paid)
{
    if (paid <= 0)
        return {};
    Sql q(u"SELECT shangxian, xiaxian, je FROM czgz WHERE shangxian <= ? AND xiaxian >= ? "
          u"ORDER BY id LIMIT 1"_s);
    q.bind(paid).bind(paid).exec();
    if (!q.next())
        return {0, u"不在充值规则范围内。"_s};
    const Amount bonus = q.amount(2);
    return {bonus, u"充值金额在"_s + FmtJe(q.amount(0)) + u"元和"_s + FmtJe(q.amount(1)) +
                       u"元之间，赠送"_s + FmtJe(bonus) + u"元。"_s};
}

std::optional<RechargeMember> rechargeMember(const QString &card)
{
    Sql q(u"SELECT m.id, m.name, m.lv, m.ye, l.czbl FROM mber m LEFT JOIN lv l ON l.name = m.lv "
          u"WHERE m.id = ?"_s);
    q.bind(card).exec();
    if (!q.next())
        return std::nullopt;
    return RechargeMember{q.text(0), q.text(1), q.text(2), q.amount(3), q.amount(4)};
}

bool ratioMode()
{
    return GetSysInfo(u"czyhfs"_s) == u"1"_s;
}

Recharged recharge(const QString &card, Amount paid, Amount credited, const QString &explanation,
                   const QString &remark)
{
    if (!inRange(paid) || !inRange(credited))
        throw DbError(outOfRangeText());
    return retrying([&] {
        Transaction tx;
        Sql m(u"SELECT name, lv, ye, ljczje FROM mber WHERE id = ?"_s + forUpdate());
        m.bind(card).exec();
        if (!m.next())
            throw DbError(u"会员[%1]已不存在，充值没有进行。"_s.arg(card));
        const Recharged r{m.amount(2) + credited, m.text(0)};
        if (!inRange(r.balance) || !inRange(m.amount(3) + credited))
            throw DbError(u"充值后的余额超出范围，充值没有进行。"_s + outOfRangeText());
        const QString lv = m.text(1);
        Sql(u"UPDATE mber SET ye = ye + ?, ljczje = ljczje + ? WHERE id = ?"_s)
            .bind(credited)
            .bind(credited)
            .bind(card)
            .exec();
        Sql(u"INSERT INTO czjl (mberid, mbername, mberlb, ssje, czje, yhsm, czy, createtime, ps) "
            u"VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"_s)
            .bind(card)
            .bind(r.name)
            .bind(lv)
            .bind(paid)
            .bind(credited)
            .bind(explanation)
            .bind(state().operatorName)
            .bind(Database::dt(QDateTime::currentDateTime()))
            .bind(remark)
            .exec();
        tx.commit();
        return r;
    });
}

QString rechargeReceipt(const QString &nameCaption, const QString &idCaption, bool showCard,
                        const QString &paid, const QString &credited, Amount balance)
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
