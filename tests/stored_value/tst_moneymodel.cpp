// A few hundred random operations of a shop's day (fixed seed) through the
// program's own writes, compared after every step with a model kept in
// whole cents: balances, points, recharge totals, stock and what is left to
// return of every sale, on both backends.

#include "accountmoves.h"
#include "appstate.h"
#include "cardloss.h"
#include "harness.h"
#include "memberactions.h"
#include "recharge.h"
#include "settlement.h"
#include "sysinfo.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using test::Harness;

namespace
{

constexpr int kSteps = 300;
constexpr qint64 kSpecialPoints = 2; // goods "S" earns 2 points a piece

Amount fromCents(qint64 cents)
{
    return Amount::fromRaw(cents * 100);
}

struct Member {
    qint64 ye = 0, jf = 0, ljczje = 0; // cents, whole points, cents
};

struct Model {
    QMap<QString, Member> members;
    QMap<int, qint64> returnable;       // sale id: cents
    QMap<int, std::pair<QString, qint64>> exchanges; // id: card, points
    QMap<int, QString> saleOwner;
    qint64 stock = 1000000;
};

} // namespace

class TstMoneyModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void randomDay_data() { Harness::addBackendRows(); }
    void randomDay();
};

void TstMoneyModel::randomDay()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    state().operatorName = u"admin"_s;
    state().decimals = 2;
    SetSysInfo(u"kc"_s, u"no"_s);
    Model m;
    for (int i = 1; i <= 3; ++i) {
        const QString card = u"10000000000%1"_s.arg(i);
        Sql(u"INSERT INTO mber (id, name, pwd, st, zjhm) VALUES (?, '会员', '1', 0, '')"_s)
            .bind(card)
            .exec();
        m.members[card] = {};
    }
    Sql(A(u"INSERT INTO sp (spid, name, sj, jf, kc) VALUES ('N', '普通', {3.35}, 0, {1000000}),"
          u" ('S', '积分礼品', {0.99}, {2}, {1000000})"_s))
        .exec();

    QRandomGenerator rnd(20261210);
    auto pick = [&rnd](const auto &keys) { return keys.at(rnd.bounded(int(keys.size()))); };
    int newCard = 0; // the last replacement card given out
    QMap<QString, int> ran;
    for (int step = 0; step < kSteps; ++step) {
        const QString card = pick(m.members.keys());
        Member &mm = m.members[card];
        const int kind = rnd.bounded(9);
        QString what;
        switch (kind) {
        case 0: { // recharge, sometimes with a hand-made credited amount
            what = u"recharge"_s;
            const qint64 paid = rnd.bounded(1, 100000);
            const qint64 credited = rnd.bounded(3) == 0 ? paid + rnd.bounded(0, 999) : paid;
            const auto r =
                stored_value::recharge(card, fromCents(paid), fromCents(credited), u"说明"_s, QString());
            mm.ye += credited;
            mm.ljczje += credited;
            QCOMPARE(r.balance, fromCents(mm.ye));
            break;
        }
        case 1:
        case 2: { // a goods sale by card, in cash or both
            what = u"sale"_s;
            sales::BasketLine n, s;
            n.spid = u"N"_s;
            n.name = u"普通"_s;
            n.sj = n.zhdj = je("3.35");
            n.sl = rnd.bounded(0, 5);
            n.je = n.zhdj * n.sl;
            s.spid = u"S"_s;
            s.name = u"积分礼品"_s;
            s.sj = s.zhdj = je("0.99");
            s.jf = kSpecialPoints;
            s.sl = rnd.bounded(0, 4);
            s.je = s.zhdj * s.sl;
            sales::SaleInput in;
            in.card = card;
            in.lines = {n, s};
            in.total = sales::basketTotal(in.lines);
            in.points = sales::salePoints(in.lines, in.total, 1, card);
            const qint64 total = 335 * n.sl.wholePart() + 99 * s.sl.wholePart();
            const qint64 earned = kSpecialPoints * s.sl.wholePart() + (335 * n.sl.wholePart()) / 100;
            QCOMPARE(in.total, fromCents(total));
            QCOMPARE(in.points, Amount(earned));
            const int way = rnd.bounded(3);
            const qint64 byCard = way == 0 ? total : way == 1 ? 0 : rnd.bounded(total + 1);
            in.cardPart = fromCents(byCard);
            if (byCard > 0)
                in.password = u"1"_s;
            const sales::SaleResult r = sales::recordSale(in);
            if (byCard > mm.ye) {
                QCOMPARE(r.refusal, sales::PayRefusal::NoBalance);
                break;
            }
            QCOMPARE(r.refusal, sales::PayRefusal::None);
            mm.ye -= byCard;
            mm.jf += earned;
            m.stock -= n.sl.wholePart() + s.sl.wholePart();
            m.returnable[r.conId] = total;
            m.saleOwner[r.conId] = card;
            QCOMPARE(r.balance, fromCents(mm.ye));
            break;
        }
        case 3: { // a direct consumption, from the balance or in cash
            what = u"direct"_s;
            const qint64 amount = rnd.bounded(1, 20000);
            const bool fromBalance = rnd.bounded(2);
            const auto r = sales::recordDirectSale(card, fromCents(amount), fromBalance, u"1"_s,
                                                   u"茶位费"_s, 1);
            if (fromBalance && amount > mm.ye) {
                QCOMPARE(r.refusal, sales::PayRefusal::NoBalance);
                break;
            }
            QCOMPARE(r.refusal, sales::PayRefusal::None);
            if (fromBalance)
                mm.ye -= amount;
            mm.jf += amount / 100;
            const int id = scalar(u"SELECT max(id) FROM con"_s).toInt();
            m.returnable[id] = amount;
            m.saleOwner[id] = card;
            QCOMPARE(r.balance, fromCents(mm.ye));
            QCOMPARE(r.points, Amount(mm.jf));
            break;
        }
        case 4: { // a return, sometimes more than is left
            what = u"return"_s;
            if (m.returnable.isEmpty())
                break;
            const int sale = pick(m.returnable.keys());
            const QString owner = m.saleOwner[sale];
            const qint64 amount = rnd.bounded(1, int(m.returnable[sale]) + 60);
            const bool toCard = rnd.bounded(2);
            const auto r = stored_value::recordReturn(sale, owner, QString(), QString(),
                                                      fromCents(amount), toCard, QString());
            if (amount > m.returnable[sale]) {
                QCOMPARE(r, stored_value::Refusal::TooMuch);
                break;
            }
            QCOMPARE(r, stored_value::Refusal::None);
            m.returnable[sale] -= amount;
            if (toCard)
                m.members[owner].ye += amount;
            break;
        }
        case 5: { // a points exchange, sometimes more than there is
            what = u"exchange"_s;
            const qint64 pts = rnd.bounded(1, int(mm.jf) + 20);
            const auto r = stored_value::exchangePoints(card, pts, QString());
            if (pts > mm.jf) {
                QCOMPARE(r, stored_value::Refusal::TooFew);
                break;
            }
            QCOMPARE(r, stored_value::Refusal::None);
            mm.jf -= pts;
            m.exchanges[scalar(u"SELECT max(id) FROM dhjl"_s).toInt()] = {card, pts};
            break;
        }
        case 6: { // deleting an exchange record, sometimes one already gone
            what = u"undo-exchange"_s;
            const QList<int> ids = m.exchanges.keys();
            if (ids.isEmpty())
                break;
            const int id = pick(ids);
            const auto [owner, pts] = m.exchanges[id];
            const bool gone = pts < 0;
            QCOMPARE(members::deleteExchange(owner, id), !gone);
            if (!gone) {
                m.members[owner].jf += pts;
                m.exchanges[id].second = -1; // deleted
            }
            break;
        }
        case 7: { // a transfer, sometimes more than the balance
            what = u"transfer"_s;
            const QString to = pick(m.members.keys());
            if (to == card)
                break;
            const qint64 amount = rnd.bounded(1, int(mm.ye) + 500);
            const auto r = stored_value::transfer(card, to, fromCents(amount), QString());
            if (amount > mm.ye) {
                QCOMPARE(r, stored_value::Refusal::TooFew);
                break;
            }
            QCOMPARE(r, stored_value::Refusal::None);
            mm.ye -= amount;
            m.members[to].ye += amount;
            break;
        }
        case 8: { // a lost card replaced: the account moves to a new number
            what = u"replace"_s;
            if (rnd.bounded(2) != 0)
                break;
            const QString to = u"2000000%1"_s.arg(++newCard, 5, 10, QChar(u'0'));
            QCOMPARE(members::replaceCard(card, to, QString()), members::CardLoss::Done);
            m.members[to] = m.members.take(card);
            for (auto &owner : m.saleOwner)
                if (owner == card)
                    owner = to;
            for (auto &e : m.exchanges)
                if (e.first == card)
                    e.first = to;
            break;
        }
        }
        ran[what]++;
        // The database agrees with the model after every step.
        Sql q(u"SELECT id, ye, jf, ljczje FROM mber WHERE id <> '000000000000' ORDER BY id"_s);
        q.exec();
        QStringList seen;
        while (q.next()) {
            const Member &e = m.members.value(q.text(0));
            seen << q.text(0);
            QVERIFY2(q.amount(1) == fromCents(e.ye) && q.amount(2) == Amount(e.jf) &&
                         q.amount(3) == fromCents(e.ljczje),
                     qPrintable(u"step %1 (%2), card %3: %4 %5 %6"_s.arg(step).arg(what, q.text(0),
                                                                           FmtJe(q.amount(1)),
                                                                           FmtJe(q.amount(2)),
                                                                           FmtJe(q.amount(3)))));
        }
        QCOMPARE(seen, m.members.keys());
        Sql left(u"SELECT c.id, c.czkfk + c.xjfk - (SELECT coalesce(sum(t.je), 0) FROM thjl t"
                 u" WHERE t.conid = c.id) FROM con c ORDER BY c.id"_s);
        left.exec();
        int sales = 0;
        while (left.next()) {
            ++sales;
            QVERIFY2(left.amount(1) == fromCents(m.returnable.value(left.integer(0), -1)),
                     qPrintable(u"step %1 (%2), sale %3"_s.arg(step).arg(what).arg(left.integer(0))));
        }
        QCOMPARE(sales, m.returnable.size());
        QCOMPARE(amountAt(u"SELECT sum(kc) FROM sp"_s), Amount(m.stock + 1000000));
    }
    // Every kind of step ran, refusals included.
    for (const char *k : {"recharge", "sale", "direct", "return", "exchange", "undo-exchange",
                          "transfer", "replace"})
        QVERIFY2(ran.value(QString::fromLatin1(k)) > 5, k);
}

QTEST_MAIN(TstMoneyModel)
#include "tst_moneymodel.moc"
