#include "memberlookup.h"

#include "database.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace lanting::members
{

namespace
{

QList<MemberHit> hitsOf(Sql &q)
{
    QList<MemberHit> hits;
    while (q.next())
        hits << MemberHit{q.text(0), q.text(1), q.text(2)};
    return hits;
}

// Above this many members holding the text, the members are read in card
// order until enough are found: they are found early.
constexpr int kFewMatches = 2000;

} // namespace

TextCondition containsText(const QString &text)
{
    // On SQLite the index is asked for the text's last six characters (card
    // numbers share their first digits, which every member holds), and what
    // it gives is checked against the whole text.
    const QList<uint> chars = text.toUcs4();
    if (Database::backend() == Backend::Sqlite && chars.size() >= 3) {
        const qsizetype n = std::min<qsizetype>(6, chars.size());
        const QString tail = QString::fromUcs4(chars.data() + chars.size() - n, n);
        const QString phrase = u"{id name} : \""_s + QString(tail).replace(u'"', u"\"\""_s) + u'"';
        Sql count(u"SELECT count(*) FROM (SELECT rowid FROM mber_trgm WHERE mber_trgm MATCH ?"
                  u" LIMIT ?) s"_s);
        count.bind(phrase).bind(kFewMatches).exec();
        if (count.next() && count.integer(0) < kFewMatches)
            return {u"rowid IN (SELECT rowid FROM mber_trgm WHERE mber_trgm MATCH ?)"
                    u" AND (instr(lower(id), lower(?)) > 0 OR instr(lower(name), lower(?)) > 0)"_s,
                    {phrase, text, text},
                    true};
    }
    const QString like = likeContains(text);
    const QString contains = u"(lower(id) LIKE ? ESCAPE '\\' OR lower(name) LIKE ? ESCAPE '\\')"_s;
    if (Database::backend() == Backend::Postgres && Database::hasMemberTrigrams() &&
        chars.size() >= 3) {
        // The same count by the pg_trgm indexes. Few: the members are
        // taken from the index's answer, by their place in the table; the
        // planner would otherwise walk every card in order looking for them.
        Sql count(u"SELECT count(*) FROM (SELECT 1 FROM mber WHERE "_s + contains +
                  u" LIMIT ?) s"_s);
        count.bind(like).bind(like).bind(kFewMatches).exec();
        if (count.next() && count.integer(0) < kFewMatches)
            return {u"ctid = ANY(ARRAY(SELECT ctid FROM mber WHERE "_s + contains + u"))"_s,
                    {like, like},
                    true};
    }
    return {contains, {like, like}};
}

QList<MemberHit> findMembers(const QString &text, bool icCard)
{
    if (icCard) {
        Sql q(u"SELECT id, name, lv FROM mber WHERE id = ?"_s);
        q.bind(text).exec();
        return hitsOf(q);
    }
    if (Database::backend() == Backend::Postgres && Database::hasMemberTrigrams() &&
        text.toUcs4().size() >= 3) {
        // The same choice as below in one statement, one round trip and one
        // look at the trigram indexes: the members holding the text, when
        // they are few, else the first of them in card order.
        const QString like = likeContains(text);
        const QString contains =
            u"(lower(id) LIKE ? ESCAPE '\\' OR lower(name) LIKE ? ESCAPE '\\')"_s;
        Sql q(u"WITH hits AS MATERIALIZED (SELECT ctid FROM mber WHERE "_s + contains +
              u" LIMIT ?) SELECT id, name, lv FROM ("
              u"SELECT id, name, lv FROM mber WHERE ctid = ANY(ARRAY(SELECT ctid FROM hits))"
              u" AND (SELECT count(*) FROM hits) < ?"
              u" UNION SELECT id, name, lv FROM mber WHERE tel = ?"
              u" UNION (SELECT id, name, lv FROM mber WHERE "_s +
              contains +
              u" AND (SELECT count(*) FROM hits) >= ? ORDER BY id LIMIT ?)"
              u") m ORDER BY id LIMIT ?"_s);
        q.bind(like).bind(like).bind(kFewMatches).bind(kFewMatches).bind(text);
        q.bind(like).bind(like).bind(kFewMatches).bind(kMaxHits).bind(kMaxHits).exec();
        return hitsOf(q);
    }
    const TextCondition c = containsText(text);
    // Few members hold the text: all of them, then the first by card
    // number. Many: the members in card order, where the first come early.
    Sql q(c.indexed
              ? u"SELECT id, name, lv FROM mber WHERE "_s + c.sql +
                    u" UNION SELECT id, name, lv FROM mber WHERE tel = ? ORDER BY id LIMIT ?"_s
              : u"SELECT id, name, lv FROM mber WHERE "_s + c.sql +
                    u" OR tel = ? ORDER BY id LIMIT ?"_s);
    for (const QVariant &v : c.values)
        q.bind(v);
    q.bind(text).bind(kMaxHits).exec();
    return hitsOf(q);
}

std::optional<Member> readMember(const QString &id)
{
    Sql q(u"SELECT id, name, sex, lv, tel, zjlx, zjhm, pwd, csny, booljzrq, jzrq, jsr, addr, qq, "
          u"fx, photo, ps, ye, csje, csjf, jf, st, ljxfje, ljxfcs, ljczje, createtime "
          u"FROM mber WHERE id = ?"_s);
    q.bind(id).exec();
    if (!q.next())
        return std::nullopt;
    Member m;
    m.id = q.text(0);
    m.name = q.text(1);
    m.sex = q.integer(2);
    m.lv = q.text(3);
    m.tel = q.text(4);
    m.zjlx = q.text(5);
    m.zjhm = q.text(6);
    m.pwd = q.text(7);
    m.csny = Database::toDt(q.value(8));
    m.booljzrq = q.value(9).toBool();
    m.jzrq = Database::toDt(q.value(10));
    m.jsr = q.text(11);
    m.addr = q.text(12);
    m.qq = q.text(13);
    m.fx = q.text(14);
    m.photo = q.text(15);
    m.ps = q.text(16);
    m.ye = q.amount(17);
    m.csje = q.amount(18);
    m.csjf = q.value(19).toLongLong();
    m.jf = q.amount(20);
    m.st = q.integer(21);
    m.ljxfje = q.amount(22);
    m.ljxfcs = q.integer(23);
    m.ljczje = q.amount(24);
    m.createtime = Database::toDt(q.value(25));
    return m;
}

int shownState(const Member &m, const QDateTime &now)
{
    if (m.booljzrq && m.jzrq.isValid() && m.jzrq < now)
        return 3;
    return m.st;
}

QString sexText(int sex)
{
    return sex == 1 ? u"男"_s : sex == 2 ? u"女"_s : u"未知"_s;
}

namespace
{
// Rows `from` to `from + count` of a member's history, newest first.
template <class Row, class Make>
QList<Row> historyRows(const QString &select, const QString &id, int from, int count, Make make)
{
    QList<Row> rows;
    Sql q(select + u" WHERE mberid = ? ORDER BY createtime DESC, id DESC LIMIT ? OFFSET ?"_s);
    q.bind(id).bind(count).bind(from).exec();
    while (q.next())
        rows << make(q);
    return rows;
}
} // namespace

QList<SaleRow> saleRows(const QString &id, int from, int count)
{
    return historyRows<SaleRow>(u"SELECT id, createtime, czkfk, xjfk, jf, czy, ps FROM con"_s, id,
                                from, count, [](Sql &q) {
                                    return SaleRow{q.integer(0),
                                                   Database::toDt(q.value(1)),
                                                   q.amount(2) + q.amount(3),
                                                   q.maybeWhole(4),
                                                   q.text(5),
                                                   q.text(6)};
                                });
}

QList<RechargeRow> rechargeRows(const QString &id, int from, int count)
{
    return historyRows<RechargeRow>(u"SELECT id, createtime, ssje, czje, yhsm, czy, ps FROM czjl"_s,
                                    id, from, count, [](Sql &q) {
                                        return RechargeRow{q.integer(0), Database::toDt(q.value(1)),
                                                           q.amount(2),  q.amount(3),
                                                           q.text(4),    q.text(5),
                                                           q.text(6)};
                                    });
}

QList<ExchangeRow> exchangeRows(const QString &id, int from, int count)
{
    return historyRows<ExchangeRow>(u"SELECT id, createtime, jf, ps, czy FROM dhjl"_s, id, from,
                                    count, [](Sql &q) {
                                        return ExchangeRow{q.integer(0), Database::toDt(q.value(1)),
                                                           q.maybeAmount(2), q.text(3), q.text(4)};
                                    });
}

Totals consumptionTotals(const QString &id)
{
    Totals totals;
    // The stored totals follow the consumption history, computed in the
    // same statement, so that a sale just recorded at another till is not
    // overwritten by what was read before; the row is written only when
    // they differ, so that showing a member takes no write lock.
    Sql(u"UPDATE mber SET ljxfje = t.je, ljxfcs = t.cs FROM (SELECT"
        u" COALESCE(SUM(COALESCE(czkfk, 0) + COALESCE(xjfk, 0)), 0) AS je, COUNT(*) AS cs"
        u" FROM con WHERE mberid = ?) t"
        u" WHERE mber.id = ? AND (mber.ljxfje IS NULL OR mber.ljxfje <> t.je"
        u" OR mber.ljxfcs IS NULL OR mber.ljxfcs <> t.cs)"_s)
        .bind(id)
        .bind(id)
        .exec();
    {
        // The totals just brought in line; a card without a member row has
        // them counted.
        Sql t(u"SELECT ljxfje, ljxfcs FROM mber WHERE id = ?"_s);
        t.bind(id).exec();
        if (t.next()) {
            totals.total = t.amount(0);
            totals.count = t.integer(1);
        } else {
            Sql c(u"SELECT COALESCE(SUM(COALESCE(czkfk, 0) + COALESCE(xjfk, 0)), 0), COUNT(*)"
                  u" FROM con WHERE mberid = ?"_s);
            c.bind(id).exec();
            if (c.next()) {
                totals.total = c.amount(0);
                totals.count = c.integer(1);
            }
        }
    }
    return totals;
}

History readHistory(const QString &id)
{
    History h;
    h.sales = saleRows(id, 0);
    h.recharges = rechargeRows(id, 0);
    h.exchanges = exchangeRows(id, 0);
    Sql q(u"SELECT id, txsj, lx, ps, czy FROM sjtx WHERE mberid = ? ORDER BY id"_s);
    q.bind(id).exec();
    while (q.next())
        h.events << EventRow{q.integer(0), Database::toDt(q.value(1)), q.text(2), q.text(3),
                             q.text(4)};
    return h;
}

QList<LineRow> saleLines(int conId)
{
    QList<LineRow> lines;
    Sql q(u"SELECT spid, spmc, dj, zk, zhdj, sl, jf, je FROM xiangxi WHERE conid = ?"_s);
    q.bind(conId).exec();
    while (q.next())
        lines << LineRow{q.text(0),   q.text(1),   q.amount(2),      q.amount(3),
                         q.amount(4), q.amount(5), q.maybeAmount(6), q.amount(7)};
    return lines;
}

} // namespace lanting::members
