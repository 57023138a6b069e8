#include "statement.h"

#include "database.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace lanting::reports
{

namespace
{

// One movement of the account, as the statement lists it.
struct Move {
    QDateTime when;
    int source = 0; // the order of movements within one second: by kind
    qint64 id = 0;
    QString business, number, text;
    std::optional<Amount> cash;
    Amount balance, points; // the changes
    QString op;
};

// Rows of a table by their time: from `from` (inclusive or not) to `to`,
// either end open when invalid; rows without a time only where `undated`.
struct Window {
    QDateTime from;
    bool fromIncluded = true;
    QDateTime to;
    bool undated = false;

    QString sql() const
    {
        QStringList parts;
        if (from.isValid())
            parts << (fromIncluded ? u"createtime >= ?"_s : u"createtime > ?"_s);
        if (to.isValid())
            parts << u"createtime <= ?"_s;
        const QString dated =
            parts.isEmpty() ? u"createtime IS NOT NULL"_s : parts.join(u" AND "_s);
        return undated ? u" AND (("_s + dated + u") OR createtime IS NULL)"_s : u" AND "_s + dated;
    }
    void bind(Sql &q) const
    {
        if (from.isValid())
            q.bind(Database::dt(from));
        if (to.isValid())
            q.bind(Database::dt(to));
    }
    // The part of it that lies before `start`, and the part from `start` to
    // `end`.
    Window before(const QDateTime &start) const
    {
        Window w = *this;
        const QDateTime last = start.addSecs(-1);
        if (!w.to.isValid() || last < w.to)
            w.to = last;
        return w;
    }
    Window within(const QDateTime &start, const QDateTime &end) const
    {
        Window w = *this;
        w.undated = false;
        if (!w.from.isValid() || start > w.from) {
            w.from = start;
            w.fromIncluded = true;
        }
        if (!w.to.isValid() || end < w.to)
            w.to = end;
        return w;
    }
};

// The rows of a member's card in a window.
Sql rowsOf(const QString &select, const QString &cardColumn, const QString &card, const Window &w)
{
    Sql q(select + u" WHERE "_s + cardColumn + u" = ?"_s + w.sql());
    q.bind(card);
    w.bind(q);
    q.exec();
    return q;
}

QString money(Amount a)
{
    return FmtJe(a) + u"元"_s;
}

QString withRemark(QString text, const QString &remark)
{
    return remark.isEmpty() ? text : text + u"；"_s + remark;
}

} // namespace

QList<Column> statementColumns()
{
    return {{u"时间"_s, Kind::DateTime},
            {u"业务"_s},
            {u"单号"_s},
            {u"说明"_s},
            {u"现金收付"_s, Kind::Money},
            {u"储值变动"_s, Kind::Money},
            {u"储值余额"_s, Kind::Balance},
            {u"积分变动"_s, Kind::Number},
            {u"积分余额"_s, Kind::Number},
            {u"操作员"_s}};
}

std::optional<QDate> memberSince(const QString &card)
{
    Sql m(u"SELECT createtime FROM mber WHERE id = ?"_s);
    m.bind(card).exec();
    if (!m.next())
        return std::nullopt;
    return Database::toDate(m.value(0));
}

std::optional<Statement> memberStatement(const QString &card, const Days &days)
{
    // One consistent reading: the member's row is held while its history is
    // read, so that a sale at another till meanwhile is in both or neither.
    Transaction tx;
    Sql m(u"SELECT id, name, ye, jf, csje, csjf, createtime FROM mber WHERE id = ?"_s + forShare());
    m.bind(card).exec();
    if (!m.next())
        return std::nullopt;
    Statement s;
    s.card = m.text(0);
    s.name = m.text(1);
    s.storedBalance = m.amount(2);
    s.storedPoints = m.amount(3);
    s.enrolled = Database::toDt(m.value(6));
    const Amount csje = m.amount(4), csjf(m.value(5).toLongLong());
    m.query().finish();

    const QDateTime from(days.from, QTime(0, 0)), to(days.to, QTime(23, 59, 59));
    QList<Move> moves;
    Amount openingBalance(0), openingPoints(0);
    // Before the period: added up; within it: listed.
    const auto take = [&](Move mv) {
        if (!mv.when.isValid() || mv.when < from) {
            openingBalance += mv.balance;
            openingPoints += mv.points;
        } else if (mv.when <= to) {
            moves.append(std::move(mv));
        }
    };
    take({s.enrolled, 0, 0, u"开卡"_s, QString(), u"开卡时的初始金额和积分"_s, std::nullopt, csje,
          csjf, QString()});

    // The records renumbered with the card are all under the present one,
    // from the enrolment on (a number given out again carries nothing of the
    // member it had before); undated ones count before everything.
    const Window ours{s.enrolled, true, {}, true};

    // The cards it had: each earlier one from the enrolment or the replacement
    // before to its own replacement; transfers stay under them.
    struct Span {
        QString card;
        Window window;
    };
    QList<Span> cards;
    {
        Sql b = rowsOf(u"SELECT id, lx, oldid, jf, yjf, yssj, czy, createtime, ps FROM bdjl"_s,
                       u"mberid"_s, s.card, ours);
        QDateTime since = s.enrolled;
        bool first = true;
        QList<std::pair<QDateTime, QString>> replaced;
        while (b.next()) {
            const QDateTime when = Database::toDt(b.value(7));
            const QString id = b.text(0);
            if (b.text(1) == u"挂失换卡") {
                replaced.append({when, b.text(2)});
                take({when, 7, b.value(0).toLongLong(), u"挂失换卡"_s, id, b.text(8), std::nullopt,
                      Amount(0), Amount(0), b.text(6)});
            } else { // a deleted exchange: the exchange as it was, and the points given back
                take({Database::toDt(b.value(5)), 5, b.value(0).toLongLong(),
                      u"积分兑换（已删除）"_s, id, b.text(8), std::nullopt, Amount(0), -b.amount(4),
                      QString()});
                take({when, 6, b.value(0).toLongLong(), u"删除兑换记录"_s, id, u"退回积分"_s,
                      std::nullopt, Amount(0), b.amount(3), b.text(6)});
            }
        }
        std::sort(replaced.begin(), replaced.end());
        for (const auto &[when, old] : replaced) {
            cards.append({old, Window{since, first, when, false}});
            since = when;
            first = false;
        }
        cards.append({s.card, Window{since, first, {}, cards.isEmpty()}});
    }

    // Movements before the period, added up in the database.
    const auto sumBefore = [&](const QString &sums, const QString &cardColumn, const QString &who,
                               const Window &w) {
        Sql q = rowsOf(sums, cardColumn, who, w.before(from));
        q.next();
        return q;
    };
    {
        Sql c = sumBefore(u"SELECT coalesce(sum(czkfk), 0), coalesce(sum(jf), 0) FROM con"_s,
                          u"mberid"_s, s.card, ours);
        openingBalance -= c.amount(0);
        openingPoints += Amount(c.value(1).toLongLong());
    }
    openingBalance +=
        sumBefore(u"SELECT coalesce(sum(czje), 0) FROM czjl"_s, u"mberid"_s, s.card, ours)
            .amount(0);
    // Only returns to the card move the balance.
    openingBalance += sumBefore(u"SELECT coalesce(sum(CASE WHEN thfs THEN je ELSE 0 END), 0)"
                                u" FROM thjl"_s,
                                u"mberid"_s, s.card, ours)
                          .amount(0);
    openingPoints -=
        sumBefore(u"SELECT coalesce(sum(jf), 0) FROM dhjl"_s, u"mberid"_s, s.card, ours).amount(0);
    for (const Span &span : cards) {
        openingBalance -=
            sumBefore(u"SELECT coalesce(sum(je), 0) FROM zzjl"_s, u"zcid"_s, span.card, span.window)
                .amount(0);
        openingBalance +=
            sumBefore(u"SELECT coalesce(sum(je), 0) FROM zzjl"_s, u"zrid"_s, span.card, span.window)
                .amount(0);
    }

    // The period's movements, listed.
    const Window period = ours.within(from, to);
    Sql c = rowsOf(u"SELECT id, createtime, boolsp, czkfk, xjfk, jf, czy, ps FROM con"_s,
                   u"mberid"_s, s.card, period);
    while (c.next()) {
        const Amount onCard = c.amount(3), cash = c.amount(4);
        take({Database::toDt(c.value(1)), 1, c.value(0).toLongLong(),
              c.value(2).toBool() ? u"消费"_s : u"直接消费"_s, c.text(0),
              withRemark(u"储值卡付款%1，现金付款%2"_s.arg(money(onCard), money(cash)), c.text(7)),
              cash, -onCard, Amount(c.value(5).toLongLong()), c.text(6)});
    }
    Sql r = rowsOf(u"SELECT id, createtime, ssje, czje, yhsm, czy, ps FROM czjl"_s, u"mberid"_s,
                   s.card, period);
    while (r.next()) {
        const Amount paid = r.amount(2), credited = r.amount(3);
        QString text = u"实收%1，入账%2"_s.arg(money(paid), money(credited));
        text = withRemark(withRemark(text, r.text(4)), r.text(6));
        take({Database::toDt(r.value(1)), 2, r.value(0).toLongLong(), u"充值"_s, r.text(0), text,
              paid, credited, Amount(0), r.text(5)});
    }
    Sql t = rowsOf(u"SELECT id, createtime, conid, je, thfs, czy, ps FROM thjl"_s, u"mberid"_s,
                   s.card, period);
    while (t.next()) {
        const Amount je = t.amount(3);
        const bool toCard = t.value(4).toBool();
        take({Database::toDt(t.value(1)), 3, t.value(0).toLongLong(), u"退货"_s, t.text(0),
              withRemark(
                  u"退消费单%1，%2"_s.arg(t.text(2), toCard ? u"退款至储值卡"_s : u"现金退款"_s),
                  t.text(6)),
              toCard ? std::nullopt : std::optional(-je), toCard ? je : Amount(0), Amount(0),
              t.text(5)});
    }
    Sql d = rowsOf(u"SELECT id, createtime, jf, czy, ps FROM dhjl"_s, u"mberid"_s, s.card, period);
    while (d.next())
        take({Database::toDt(d.value(1)), 5, d.value(0).toLongLong(), u"积分兑换"_s, d.text(0),
              d.text(4), std::nullopt, Amount(0), -d.amount(2), d.text(3)});
    for (const Span &span : cards) {
        const Window w = span.window.within(from, to);
        Sql out = rowsOf(u"SELECT id, createtime, zrid, zrname, je, czy, ps FROM zzjl"_s, u"zcid"_s,
                         span.card, w);
        while (out.next())
            take({Database::toDt(out.value(1)), 4, out.value(0).toLongLong(), u"转出"_s,
                  out.text(0),
                  withRemark(u"转给%1 %2"_s.arg(out.text(2), out.text(3)), out.text(6)),
                  std::nullopt, -out.amount(4), Amount(0), out.text(5)});
        Sql in = rowsOf(u"SELECT id, createtime, zcid, zcname, je, czy, ps FROM zzjl"_s, u"zrid"_s,
                        span.card, w);
        while (in.next())
            take({Database::toDt(in.value(1)), 4, in.value(0).toLongLong(), u"转入"_s, in.text(0),
                  withRemark(u"来自%1 %2"_s.arg(in.text(2), in.text(3)), in.text(6)), std::nullopt,
                  in.amount(4), Amount(0), in.text(5)});
    }
    tx.commit();

    // Within one second the kinds come in a fixed order, not necessarily
    // the order they happened in: the running figures may pass through a
    // value they never had for that second, never at its end.
    std::sort(moves.begin(), moves.end(), [](const Move &a, const Move &b) {
        return std::tie(a.when, a.source, a.id) < std::tie(b.when, b.source, b.id);
    });
    s.openingBalance = openingBalance;
    s.openingPoints = openingPoints;
    Amount balance = openingBalance, points = openingPoints;
    const auto cell = [](Amount a) { return QVariant(Database::stored(a)); };
    const auto change = [&cell](Amount a) { return a.isZero() ? QVariant() : cell(a); };
    s.rows.append({Database::dt(from), u"期初"_s, QString(), u"期初余额和积分"_s, QVariant(),
                   QVariant(), cell(balance), QVariant(), cell(points), QString()});
    for (const Move &mv : std::as_const(moves)) {
        balance += mv.balance;
        points += mv.points;
        s.rows.append({Database::dt(mv.when), mv.business, mv.number, mv.text,
                       mv.cash ? cell(*mv.cash) : QVariant(), change(mv.balance), cell(balance),
                       change(mv.points), cell(points), mv.op});
    }
    s.closingBalance = balance;
    s.closingPoints = points;
    s.rows.append({Database::dt(to), u"期末"_s, QString(), u"期末余额和积分"_s, QVariant(),
                   QVariant(), cell(balance), QVariant(), cell(points), QString()});
    // A period that reaches today ends with the figures the card holds now.
    s.compared = days.to >= QDate::currentDate();
    if (!s.reconciles())
        s.rows.append(
            {QVariant(), u"核对"_s, QString(),
             u"卡内余额%1、积分%2，与对账单相差%3、积分%4（较早的版本写入的记录不全）"_s.arg(
                 money(s.storedBalance), FmtJe(s.storedPoints), money(s.storedBalance - balance),
                 FmtJe(s.storedPoints - points)),
             QVariant(), cell(s.storedBalance - balance), cell(s.storedBalance),
             cell(s.storedPoints - points), cell(s.storedPoints), QString()});
    return s;
}

ReportQuery statementReport(const Statement &statement)
{
    ReportQuery q;
    q.columns = statementColumns();
    q.compute = [rows = statement.rows] { return rows; };
    return q;
}

} // namespace lanting::reports
