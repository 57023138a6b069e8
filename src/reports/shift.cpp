#include "shift.h"

#include "amounts.h"
#include "database.h"
#include "programfolder.h"

#include <QDir>

using namespace Qt::Literals::StringLiterals;

namespace lanting::reports
{

ShiftTotals shiftTotals(const QString &op, const QDateTime &from, const QDateTime &to)
{
    ShiftTotals t;
    const QVariant start = Database::dt(from), end = Database::dt(to);
    Sql sales(u"SELECT c.id, c.mberid, m.name, c.xjfk, c.czkfk, c.createtime FROM con c"
              u" LEFT JOIN mber m ON m.id = c.mberid"
              u" WHERE c.createtime BETWEEN ? AND ? AND c.czy = ? ORDER BY c.id"_s);
    sales.bind(start).bind(end).bind(op).exec();
    while (sales.next()) {
        const Amount cash = sales.amount(3), card = sales.amount(4);
        t.cash = Trunc2(t.cash + cash);
        t.card = Trunc2(t.card + card);
        t.sales << ShiftSale{sales.integer(0), sales.text(1), sales.text(2), Trunc2(cash + card),
                             Database::toDt(sales.value(5))};
    }
    Sql returns(
        u"SELECT je, thfs FROM thjl WHERE createtime BETWEEN ? AND ? AND czy = ? ORDER BY id"_s);
    returns.bind(start).bind(end).bind(op).exec();
    while (returns.next()) {
        const Amount je = returns.amount(0);
        t.returns = Trunc2(t.returns + je);
        if (returns.value(1).toBool())
            t.refundCard = Trunc2(t.refundCard + je);
        else
            t.refundCash = Trunc2(t.refundCash + je);
    }
    Sql recharges(u"SELECT mberid, mbername, ssje, czje, yhsm, createtime FROM czjl"
                  u" WHERE createtime BETWEEN ? AND ? AND czy = ? ORDER BY id"_s);
    recharges.bind(start).bind(end).bind(op).exec();
    while (recharges.next()) {
        t.rechargeCash = Trunc2(t.rechargeCash + recharges.amount(2));
        t.credited = Trunc2(t.credited + recharges.amount(3));
        t.recharges << ShiftRecharge{recharges.text(0),   recharges.text(1),
                                     recharges.amount(2), recharges.amount(3),
                                     recharges.text(4),   Database::toDt(recharges.value(5))};
    }
    return t;
}

void recordHandover(const Handover &h)
{
    Sql(u"INSERT INTO jbjl (czy, logintime, jbtime, yyje, ssxj, czje, thfhxj, thfhcz)"
        u" VALUES (?, ?, ?, ?, ?, ?, ?, ?)"_s)
        .bind(h.czy)
        .bind(Database::dt(h.loginTime))
        .bind(Database::dt(h.handoverTime))
        .bind(h.yyje)
        .bind(h.ssxj)
        .bind(h.czje)
        .bind(h.thfhxj)
        .bind(h.thfhcz)
        .exec();
}

QList<Handover> handovers(bool byLogin, const QDateTime &from, const QDateTime &to)
{
    Sql q(u"SELECT czy, logintime, jbtime, yyje, ssxj, czje, thfhxj, thfhcz FROM jbjl WHERE "_s +
          (byLogin ? u"logintime"_s : u"jbtime"_s) + u" BETWEEN ? AND ? ORDER BY id"_s);
    q.bind(Database::dt(from)).bind(Database::dt(to)).exec();
    QList<Handover> list;
    while (q.next())
        list << Handover{q.text(0),
                         Database::toDt(q.value(1)),
                         Database::toDt(q.value(2)),
                         q.amount(3),
                         q.amount(4),
                         q.amount(5),
                         q.amount(6),
                         q.amount(7)};
    return list;
}

bool backupOnExit(const QString &folder)
{
    if (folder.isEmpty() || !privateFolder(folder))
        return false;
    return Database::copyTo(QDir(folder).filePath(u"qzdbbak.qdb"_s));
}

} // namespace lanting::reports
