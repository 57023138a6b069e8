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
    int source = 0; // the order of movements at the same second
    qint64 id = 0;
    QString business, number, text;
    std::optional<Amount> cash;
    Amount balance, points; // the changes
    QString op;
};

// The cards the member had: the one it has now at any time, each earlier
// one up to the moment it was replaced (transfers stay under it).
struct CardSpan {
    QString card;
    QDateTime until; // invalid: no end
};

Amount amountOr0(const QVariant &v)
{
    return v.isNull() ? Amount(0) : Database::toAmount(v);
}

QString money(Amount a)
{
    return FmtJe(a) + u"元"_s;
}

// Collects the movements of a period, and the sums of those before it.
class Ledger
{
public:
    Ledger(const Days &days)
        : m_from(QDateTime(days.from, QTime(0, 0))), m_to(QDateTime(days.to, QTime(23, 59, 59)))
    {
    }

    void add(Move m)
    {
        if (!m.when.isValid() || m.when < m_from) {
            m_openingBalance += m.balance;
            m_openingPoints += m.points;
        } else if (m.when <= m_to) {
            m_moves.append(std::move(m));
        }
    }

    QList<Move> &moves() { return m_moves; }
    Amount openingBalance() const { return m_openingBalance; }
    Amount openingPoints() const { return m_openingPoints; }

private:
    QDateTime m_from, m_to;
    QList<Move> m_moves;
    Amount m_openingBalance, m_openingPoints;
};

// Every movement of a table for a card, up to a moment (a replaced card's
// end), each read once: a member's history is a few thousand rows.
Sql history(const QString &select, const QString &cardColumn, const CardSpan &span,
            const QDateTime &to)
{
    QString sql = select + u" WHERE "_s + cardColumn + u" = ? AND createtime <= ?"_s;
    Sql q(sql);
    const QDateTime end = span.until.isValid() ? std::min(span.until, to) : to;
    q.bind(span.card).bind(Database::dt(end)).exec();
    return q;
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
    Sql m(u"SELECT id, name, ye, jf, csje, csjf, createtime FROM mber WHERE id = ?"_s);
    m.bind(card).exec();
    if (!m.next())
        return std::nullopt;
    Statement s;
    s.card = m.text(0);
    s.name = m.text(1);
    s.storedBalance = m.amount(2);
    s.storedPoints = m.amount(3);
    s.enrolled = Database::toDt(m.value(6));
    const QDateTime to(days.to, QTime(23, 59, 59));
    Ledger ledger(days);
    ledger.add({s.enrolled, 0, 0, u"开卡"_s, QString(), u"开卡时的初始金额和积分"_s, std::nullopt,
                m.amount(4), Amount(m.value(5).toLongLong()), QString()});

    // The cards it had: the replacements, newest first, give each earlier
    // card's end.
    QList<CardSpan> cards{{s.card, {}}};
    {
        Sql b(u"SELECT id, lx, oldid, jf, yjf, yssj, czy, createtime, ps FROM bdjl"
              u" WHERE mberid = ? ORDER BY createtime, id"_s);
        b.bind(s.card).exec();
        while (b.next()) {
            const QDateTime when = Database::toDt(b.value(7));
            const QString id = b.text(0);
            if (b.text(1) == u"挂失换卡") {
                cards.append({b.text(2), when});
                ledger.add({when, 7, b.value(0).toLongLong(), u"挂失换卡"_s, id, b.text(8),
                            std::nullopt, Amount(0), Amount(0), b.text(6)});
            } else { // a deleted exchange: the exchange as it was, and the points given back
                ledger.add({Database::toDt(b.value(5)), 5, b.value(0).toLongLong(),
                            u"积分兑换（已删除）"_s, id, b.text(8), std::nullopt, Amount(0),
                            -b.amount(4), QString()});
                ledger.add({when, 6, b.value(0).toLongLong(), u"删除兑换记录"_s, id, u"退回积分"_s,
                            std::nullopt, Amount(0), b.amount(3), b.text(6)});
            }
        }
    }

    for (const CardSpan &span : cards) {
        // Records renumbered with the card are all under the present one.
        if (span.until.isNull()) {
            Sql c = history(u"SELECT id, createtime, boolsp, czkfk, xjfk, jf, czy, ps FROM con"_s,
                            u"mberid"_s, span, to);
            while (c.next()) {
                const Amount card = c.amount(3), cash = c.amount(4);
                QString text = u"储值卡付款%1，现金付款%2"_s.arg(money(card), money(cash));
                if (!c.text(7).isEmpty())
                    text += u"；"_s + c.text(7);
                ledger.add({Database::toDt(c.value(1)), 1, c.value(0).toLongLong(),
                            c.value(2).toBool() ? u"消费"_s : u"直接消费"_s, c.text(0), text, cash,
                            -card, Amount(c.value(5).toLongLong()), c.text(6)});
            }
            Sql r = history(u"SELECT id, createtime, ssje, czje, yhsm, czy, ps FROM czjl"_s,
                            u"mberid"_s, span, to);
            while (r.next()) {
                const Amount paid = r.amount(2), credited = r.amount(3);
                QString text = u"实收%1，入账%2"_s.arg(money(paid), money(credited));
                for (int i : {4, 6})
                    if (!r.text(i).isEmpty())
                        text += u"；"_s + r.text(i);
                ledger.add({Database::toDt(r.value(1)), 2, r.value(0).toLongLong(), u"充值"_s,
                            r.text(0), text, paid, credited, Amount(0), r.text(5)});
            }
            Sql t = history(u"SELECT id, createtime, conid, je, thfs, czy, ps FROM thjl"_s,
                            u"mberid"_s, span, to);
            while (t.next()) {
                const Amount je = t.amount(3);
                const bool toCard = t.value(4).toBool();
                QString text =
                    u"退消费单%1，%2"_s.arg(t.text(2), toCard ? u"退款至储值卡"_s : u"现金退款"_s);
                if (!t.text(6).isEmpty())
                    text += u"；"_s + t.text(6);
                ledger.add({Database::toDt(t.value(1)), 3, t.value(0).toLongLong(), u"退货"_s,
                            t.text(0), text, toCard ? std::nullopt : std::optional(-je),
                            toCard ? je : Amount(0), Amount(0), t.text(5)});
            }
            Sql d =
                history(u"SELECT id, createtime, jf, czy, ps FROM dhjl"_s, u"mberid"_s, span, to);
            while (d.next())
                ledger.add({Database::toDt(d.value(1)), 5, d.value(0).toLongLong(), u"积分兑换"_s,
                            d.text(0), d.text(4), std::nullopt, Amount(0), -d.amount(2),
                            d.text(3)});
        }
        // Transfers stay under the card they were made with.
        Sql out = history(u"SELECT id, createtime, zrid, zrname, je, czy, ps FROM zzjl"_s,
                          u"zcid"_s, span, to);
        while (out.next()) {
            QString text = u"转给%1 %2"_s.arg(out.text(2), out.text(3));
            if (!out.text(6).isEmpty())
                text += u"；"_s + out.text(6);
            ledger.add({Database::toDt(out.value(1)), 4, out.value(0).toLongLong(), u"转出"_s,
                        out.text(0), text, std::nullopt, -out.amount(4), Amount(0), out.text(5)});
        }
        Sql in = history(u"SELECT id, createtime, zcid, zcname, je, czy, ps FROM zzjl"_s, u"zrid"_s,
                         span, to);
        while (in.next()) {
            QString text = u"来自%1 %2"_s.arg(in.text(2), in.text(3));
            if (!in.text(6).isEmpty())
                text += u"；"_s + in.text(6);
            ledger.add({Database::toDt(in.value(1)), 4, in.value(0).toLongLong(), u"转入"_s,
                        in.text(0), text, std::nullopt, in.amount(4), Amount(0), in.text(5)});
        }
    }

    QList<Move> &moves = ledger.moves();
    std::sort(moves.begin(), moves.end(), [](const Move &a, const Move &b) {
        return std::tie(a.when, a.source, a.id) < std::tie(b.when, b.source, b.id);
    });
    s.openingBalance = ledger.openingBalance();
    s.openingPoints = ledger.openingPoints();
    Amount balance = s.openingBalance, points = s.openingPoints;
    const auto cell = [](Amount a) { return QVariant(Database::stored(a)); };
    const auto change = [&cell](Amount a) { return a.isZero() ? QVariant() : cell(a); };
    s.rows.append({Database::dt(QDateTime(days.from, QTime(0, 0))), u"期初"_s, QString(),
                   u"期初余额和积分"_s, QVariant(), QVariant(), cell(balance), QVariant(),
                   cell(points), QString()});
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
