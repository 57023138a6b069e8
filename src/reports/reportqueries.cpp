#include "reportqueries.h"

#include "amounts.h"
#include "database.h"
#include "mod1.h"

#include <QHash>
#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace lanting::reports
{

namespace
{

QVariant periodStart(const Days &days)
{
    return Database::dt(QDateTime(days.from, QTime(0, 0, 0)));
}

QVariant periodEnd(const Days &days)
{
    return Database::dt(QDateTime(days.to, QTime(23, 59, 59)));
}

// A query of a period: the rows whose `timeColumn` falls on its days.
ReportQuery period(QList<Column> columns, const QString &select, const QString &timeColumn,
                   const Days &days)
{
    ReportQuery q;
    q.columns = std::move(columns);
    q.select = select;
    q.rangeColumn = timeColumn;
    q.rangeFrom = periodStart(days);
    q.rangeTo = periodEnd(days);
    return q;
}

// A stored amount cut to cents, toward 0, in SQL.
QString trunc2(const QString &column)
{
    return Database::backend() == Backend::Postgres ? u"trunc(%1, 2)"_s.arg(column)
                                                    : u"(%1 - %1 % 100)"_s.arg(column);
}

// The row's place in its table (rowid on SQLite, ctid on PostgreSQL): lines
// of one sale keep the order they were written in.
QString place(const QString &table)
{
    return table + (Database::backend() == Backend::Sqlite ? u".rowid"_s : u".ctid"_s);
}

const QList<Column> kTurnoverColumns{{u"日期"_s},
                                     {u"营业额"_s, Kind::Money},
                                     {u"储值卡"_s, Kind::Money},
                                     {u"现金"_s, Kind::Money},
                                     {u"退货金额"_s, Kind::Money}};

// Sums per period, in SQL per day; a period is the first `keyLength`
// characters of the day ("yyyy-MM-dd": 10 for days, 7 for months). Each sum
// adds the amounts cut to cents.
QList<Values> turnover(const QDate &from, const QDate &to, qsizetype keyLength,
                       const QStringList &keys)
{
    struct Sums {
        Amount card = 0, cash = 0, returns = 0;
    };
    QHash<QString, Sums> sums;
    const Days days{from, to};
    const QString day = Database::dayOf(u"createtime"_s);
    Sql s(u"SELECT "_s + day + u", sum("_s + trunc2(u"czkfk"_s) + u"), sum("_s + trunc2(u"xjfk"_s) +
          u") FROM con WHERE createtime BETWEEN ? AND ? GROUP BY 1"_s);
    s.bind(periodStart(days)).bind(periodEnd(days)).exec();
    while (s.next()) {
        Sums &sum = sums[s.text(0).left(keyLength)];
        sum.card = sum.card + s.amount(1);
        sum.cash = sum.cash + s.amount(2);
    }
    Sql r(u"SELECT "_s + day + u", sum("_s + trunc2(u"je"_s) +
          u") FROM thjl WHERE createtime BETWEEN ? AND ? GROUP BY 1"_s);
    r.bind(periodStart(days)).bind(periodEnd(days)).exec();
    while (r.next()) {
        Sums &sum = sums[r.text(0).left(keyLength)];
        sum.returns = sum.returns + r.amount(1);
    }
    QList<Values> rows;
    for (const QString &k : keys) {
        const Sums t = sums.value(k);
        rows << Values{k, QVariant::fromValue(Trunc2(t.cash + t.card)), QVariant::fromValue(t.card),
                       QVariant::fromValue(t.cash), QVariant::fromValue(t.returns)};
    }
    return rows;
}

} // namespace

ReportQuery salesReport(const Days &days, const QString &op, const QString &card)
{
    ReportQuery q = period(
        {{u"流水编号"_s},
         {u"消费时间"_s, Kind::DateTime},
         {u"会员卡号"_s},
         {u"会员姓名"_s},
         {u"会员类别"_s},
         {u"消费金额"_s, Kind::Money},
         {u"所得积分"_s, Kind::Whole},
         {u"操作员"_s},
         {u"备注"_s}},
        u"SELECT c.id, c.createtime, c.mberid, m.name, m.lv, c.xjfk + c.czkfk, c.jf, c.czy, c.ps"
        u" FROM con c LEFT JOIN mber m ON m.id = c.mberid"_s,
        u"c.createtime"_s, days);
    q.whereEquals(u"c.czy"_s, op).whereEquals(u"c.mberid"_s, card.trimmed());
    q.keys = QStringList{u"c.createtime"_s, u"c.id"_s};
    q.keyColumns = {1, 0};
    q.descending = true;
    return q;
}

ReportQuery saleLines(int conId)
{
    ReportQuery q;
    q.columns = {{u"商品编号"_s},
                 {u"商品名称"_s},
                 {u"商品单价"_s, Kind::Money},
                 {u"折扣"_s, Kind::Percent},
                 {u"折后单价"_s, Kind::Money},
                 {u"消费数量"_s, Kind::Number},
                 {u"消费金额"_s, Kind::Money}};
    q.select = u"SELECT x.spid, x.spmc, x.dj, x.zk, x.zhdj, x.sl, x.je, x.conid FROM xiangxi x"_s;
    q.where(u"x.conid = ?"_s, {conId});
    q.keys = QStringList{u"x.conid"_s};
    q.tieBreak = place(u"x"_s);
    return q;
}

ReportQuery lineItemsReport(const Days &days, const QString &op, const QString &cardPart)
{
    ReportQuery q = period(
        {{u"消费时间"_s, Kind::DateTime},
         {u"商品编号"_s},
         {u"商品名称"_s},
         {u"会员卡号"_s},
         {u"会员姓名"_s},
         {u"会员类别"_s},
         {u"商品单价"_s, Kind::Money},
         {u"折扣"_s, Kind::Percent},
         {u"折后单价"_s, Kind::Money},
         {u"数量"_s, Kind::Number},
         {u"消费金额"_s, Kind::Money}},
        u"SELECT c.createtime, x.spid, x.spmc, c.mberid, m.name, m.lv, x.dj, x.zk, x.zhdj, x.sl,"
        u" x.je, c.id"
        u" FROM con c JOIN xiangxi x ON x.conid = c.id LEFT JOIN mber m ON m.id = c.mberid"_s,
        u"c.createtime"_s, days);
    q.whereEquals(u"c.czy"_s, op);
    q.where(u"lower(c.mberid) LIKE ? ESCAPE '\\'"_s, {likeContains(cardPart.trimmed())});
    q.keys = QStringList{u"c.createtime"_s, u"c.id"_s};
    q.keyColumns = {0};
    q.descending = true;
    q.tieBreak = place(u"x"_s);
    return q;
}

ReportQuery goodsStatistics(const Days &days, const QString &codeTyped, const QString &category)
{
    ReportQuery report;
    report.columns = {{u"商品编号"_s},
                      {u"商品类别"_s},
                      {u"商品名称"_s},
                      {u"计量单位"_s},
                      {u"进价（元）"_s, Kind::Number},
                      {u"售出数量"_s, Kind::Number},
                      {u"售出金额（元）"_s, Kind::Number},
                      {u"利润（元）"_s, Kind::Number},
                      {u"利润率"_s, Kind::Percent}};
    // One row per goods code of the catalogue at most: summed in the
    // database, in the order the codes were first sold in the period; the
    // name is the one of that first sale, the category, unit and purchase
    // price those of the catalogue now.
    report.compute = [days, code = codeTyped.trimmed(), category] {
        const QString at = place(u"x1"_s);
        const bool pg = Database::backend() == Backend::Postgres;
        // The first line of each code's first sale: looked up once on the
        // server (a lateral join), twice on SQLite, which has none.
        const QString firstLine = u"(SELECT %1 FROM xiangxi x1 WHERE x1.conid = g.first"
                                  u" AND x1.spid = g.spid ORDER BY %1 LIMIT 1)"_s.arg(at);
        QVariantList values{periodStart(days), periodEnd(days)};
        QString sql =
            pg ? u"SELECT g.spid, f.spmc, s.lb, s.dw, s.jj, g.sl, g.je, s.spid, f.at AS firstline"_s
               : u"SELECT g.spid, (SELECT x1.spmc FROM xiangxi x1 WHERE x1.conid = g.first"
                 u" AND x1.spid = g.spid ORDER BY %1 LIMIT 1), s.lb, s.dw, s.jj, g.sl, g.je,"
                 u" s.spid, "_s.arg(at) +
                     firstLine + u" AS firstline"_s;
        sql += u" FROM (SELECT x.spid, min(c.id) AS first, sum(x.sl) AS sl,"
               u" sum(x.je) AS je FROM con c JOIN xiangxi x ON x.conid = c.id"
               u" WHERE c.createtime BETWEEN ? AND ?"_s;
        if (!code.isEmpty()) {
            sql += u" AND x.spid = ?"_s;
            values << code;
        }
        sql += u" GROUP BY x.spid) g"_s;
        if (pg)
            sql +=
                u" LEFT JOIN LATERAL (SELECT x1.spmc, %1 AS at FROM xiangxi x1"
                u" WHERE x1.conid = g.first AND x1.spid = g.spid ORDER BY %1 LIMIT 1) f ON true"_s
                    .arg(at);
        sql += u" LEFT JOIN sp s ON s.spid = g.spid"_s;
        if (code.isEmpty() && !category.isEmpty()) {
            sql += u" WHERE s.lb = ?"_s;
            values << category;
        }
        Sql s(sql + u" ORDER BY g.first, firstline"_s);
        for (const QVariant &v : values)
            s.bind(v);
        s.exec();
        QList<Values> rows;
        while (s.next()) {
            const bool known = !s.value(7).isNull(); // still in the catalogue
            const Amount cost = s.amount(4), quantity = s.amount(5), amount = s.amount(6);
            const Amount profit = Trunc2(amount - quantity * cost);
            rows << Values{s.text(0),
                           s.text(2),
                           s.text(1),
                           s.text(3),
                           known ? QVariant::fromValue(cost) : QVariant(),
                           QVariant::fromValue(quantity),
                           QVariant::fromValue(amount),
                           QVariant::fromValue(profit),
                           amount != 0 ? QVariant::fromValue(Trunc2Ratio(profit, 100, amount))
                                       : QVariant()};
        }
        return rows;
    };
    return report;
}

ReportQuery dailyTurnover(const QDate &from, const QDate &to)
{
    ReportQuery q;
    q.columns = kTurnoverColumns;
    q.compute = [from, to] {
        QStringList keys;
        for (QDate d = from; d.isValid() && d <= to; d = d.addDays(1))
            keys << d.toString(u"yyyy-MM-dd"_s);
        return keys.isEmpty() ? QList<Values>() : turnover(from, to, 10, keys);
    };
    return q;
}

ReportQuery monthlyTurnover(int fromYear, int fromMonth, int toYear, int toMonth)
{
    ReportQuery q;
    q.columns = kTurnoverColumns;
    q.columns[0].heading = u"月份"_s;
    q.compute = [=] {
        QStringList keys;
        for (int y = fromYear; y <= toYear; ++y) {
            const int first = y == fromYear ? fromMonth : 1;
            const int last = y == toYear ? toMonth : 12;
            for (int m = first; m <= last; ++m)
                keys << QDate(y, m, 1).toString(u"yyyy-MM"_s);
        }
        if (keys.isEmpty())
            return QList<Values>();
        const QDate start = QDate::fromString(keys.first() + u"-01"_s, u"yyyy-MM-dd"_s);
        const QDate end =
            QDate::fromString(keys.last() + u"-01"_s, u"yyyy-MM-dd"_s).addMonths(1).addDays(-1);
        return turnover(start, end, 7, keys);
    };
    return q;
}

namespace
{
// The record reports list a table's rows in the order they were written.
ReportQuery records(QList<Column> columns, const QString &select, const Days &days)
{
    ReportQuery q = period(std::move(columns), select, u"createtime"_s, days);
    q.keys = QStringList{u"id"_s};
    return q;
}
} // namespace

ReportQuery rechargeRecords(const Days &days, const QString &level, const QString &card,
                            const QString &op)
{
    ReportQuery q = records({{u"充值时间"_s, Kind::DateTime},
                             {u"会员卡号"_s},
                             {u"会员姓名"_s},
                             {u"会员类别"_s},
                             {u"付款金额"_s, Kind::Money},
                             {u"实际入账"_s, Kind::Money},
                             {u"优惠说明"_s},
                             {u"操作员"_s},
                             {u"备注"_s}},
                            u"SELECT createtime, mberid, mbername, mberlb, ssje, czje, yhsm, czy,"
                            u" ps, id FROM czjl"_s,
                            days);
    q.whereEquals(u"mberlb"_s, level)
        .whereEquals(u"mberid"_s, card.trimmed())
        .whereEquals(u"czy"_s, op);
    return q;
}

ReportQuery exchangeRecords(const Days &days, const QString &card, const QString &level,
                            const QString &op)
{
    ReportQuery q =
        records({{u"会员卡号"_s},
                 {u"会员姓名"_s},
                 {u"会员类型"_s},
                 {u"兑换积分"_s, Kind::Number},
                 {u"兑换时间"_s, Kind::DateTime},
                 {u"操作员"_s},
                 {u"备注"_s}},
                u"SELECT mberid, mbername, mberlb, jf, createtime, czy, ps, id FROM dhjl"_s, days);
    if (!card.trimmed().isEmpty())
        q.whereEquals(u"mberid"_s, card.trimmed());
    else
        q.whereEquals(u"mberlb"_s, level).whereEquals(u"czy"_s, op);
    return q;
}

ReportQuery transferRecords(const Days &days, const QString &op, const QString &fromLevel,
                            const QString &toLevel, const QString &fromCard, const QString &toCard)
{
    ReportQuery q = records({{u"转出会员卡号"_s},
                             {u"转出会员姓名"_s},
                             {u"转出会员类别"_s},
                             {u"转入会员卡号"_s},
                             {u"转入会员姓名"_s},
                             {u"转入会员类别"_s},
                             {u"转账金额"_s, Kind::Money},
                             {u"转账时间"_s, Kind::DateTime},
                             {u"操作员"_s},
                             {u"说明"_s}},
                            u"SELECT zcid, zcname, zclv, zrid, zrname, zrlv, je, createtime, czy,"
                            u" ps, id FROM zzjl"_s,
                            days);
    q.whereEquals(u"czy"_s, op)
        .whereEquals(u"zclv"_s, fromLevel)
        .whereEquals(u"zrlv"_s, toLevel)
        .whereEquals(u"zcid"_s, fromCard.trimmed())
        .whereEquals(u"zrid"_s, toCard.trimmed());
    return q;
}

ReportQuery returnRecords(const Days &days, const QString &op, const QString &level,
                          const QString &card)
{
    ReportQuery q = records({{u"会员卡号"_s},
                             {u"会员姓名"_s},
                             {u"会员类别"_s},
                             {u"退款金额"_s, Kind::Money},
                             {u"时间"_s, Kind::DateTime},
                             {u"退款方式"_s},
                             {u"操作员"_s},
                             {u"备注"_s}},
                            u"SELECT mberid, mbername, mberlb, je, createtime,"
                            u" CASE WHEN thfs THEN '退款至储值卡' ELSE '现金退款' END, czy, ps, id"
                            u" FROM thjl"_s,
                            days);
    q.whereEquals(u"czy"_s, op)
        .whereEquals(u"mberlb"_s, level)
        .whereEquals(u"mberid"_s, card.trimmed());
    return q;
}

namespace
{
ReportQuery balances()
{
    ReportQuery q;
    q.columns = {{u"会员卡号"_s}, {u"会员姓名"_s}, {u"余额"_s, Kind::Money}};
    q.select = u"SELECT id, name, ye FROM mber"_s;
    q.keys = QStringList{u"id"_s};
    q.keyColumns = {0};
    return q;
}
} // namespace

ReportQuery balanceOf(const QString &card)
{
    ReportQuery q = balances();
    q.where(u"id = ?"_s, {card.trimmed()});
    return q;
}

ReportQuery allBalances()
{
    return balances();
}

ReportQuery logEntries(const Days &days, const QString &op)
{
    ReportQuery q =
        records({{u"操作员"_s}, {u"操作类型"_s}, {u"操作内容"_s}, {u"操作时间"_s, Kind::DateTime}},
                u"SELECT czy, czlx, cznr, createtime, id FROM syslog"_s, days);
    q.whereEquals(u"czy"_s, op);
    return q;
}

QStringList operatorNames()
{
    return firstColumn(u"SELECT name FROM czy ORDER BY id"_s);
}

} // namespace lanting::reports
