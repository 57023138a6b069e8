// One till of a shop that shares a PostgreSQL server with others: runs a
// fixed number of operations on a few cards through the program's own
// logic, as fast as it can, and reports what it was told.
//
//   lanting_till_worker <database url> <seed> <operations> <mix> <card>...
//
// mix "all": transfers both ways, recharges, card and goods sales (goods X,
// Y and sometimes Z, of which little is in stock), returns and exchange
// deletions of the rows marked 'seed', exchanges, enrolments on level L;
// half-way, one attempt to replace the lost card 100000000003 with a number
// of its own, and the till of seed 1000 deletes level L.
// mix "pay": recharges, card sales and transfers only (the throughput bench).
//
// Output, one per line: "done <op> <n>", "refused <op> <n>",
// "deleted <exchange id>", "error <op> <message>", "elapsed <ms>".

#include "accountmoves.h"
#include "appstate.h"
#include "cardloss.h"
#include "database.h"
#include "enrolment.h"
#include "levels.h"
#include "memberactions.h"
#include "recharge.h"
#include "settlement.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QRandomGenerator>
#include <QTextStream>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;

namespace
{

// An amount of whole cents between the two bounds.
Amount cents(QRandomGenerator &rnd, int from, int to)
{
    return Amount::fromRaw(qint64(rnd.bounded(from, to + 1)) * 100);
}

QList<int> seedIds(const QString &table)
{
    QList<int> ids;
    Sql q(u"SELECT id FROM "_s + table + u" WHERE ps = 'seed' ORDER BY id"_s);
    q.exec();
    while (q.next())
        ids << q.integer(0);
    return ids;
}

QString cardOf(const QString &table, int id)
{
    return scalar(u"SELECT mberid FROM "_s + table + u" WHERE id = ?"_s, {id}).toString();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream out(stdout);
    if (args.size() < 6) {
        out << "usage: lanting_till_worker <url> <seed> <operations> <all|pay> <card>...\n";
        return 2;
    }
    QString error;
    const auto config = DbConfig::fromUrl(args[1], &error);
    if (!config || !Database::open(*config, &error)) {
        out << "error open " << error << "\n";
        return 1;
    }
    QRandomGenerator rnd(args[2].toUInt());
    const int operations = args[3].toInt();
    const bool all = args[4] == u"all"_s;
    const QStringList cards = args.mid(5);
    state().operatorName = u"till"_s + args[2];
    state().decimals = 2;

    QList<int> sales, exchanges;
    QMap<int, QString> owner;
    if (all) {
        sales = seedIds(u"con"_s);
        exchanges = seedIds(u"dhjl"_s);
        for (int id : sales)
            owner[id] = cardOf(u"con"_s, id);
        for (int id : exchanges)
            owner[-id] = cardOf(u"dhjl"_s, id);
    }
    QMap<QString, int> done, refused;
    auto count = [&](const QString &op, bool ok) { (ok ? done : refused)[op]++; };
    const QList<int> kinds = all ? QList<int>{0, 1, 2, 3, 4, 5, 6, 7} : QList<int>{0, 1, 2};
    const int seed = args[2].toInt();
    int enrolled = 0;

    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < operations; ++i) {
        if (all && i == operations / 2) {
            // The races of the rare steps, all tills at about the same time.
            try {
                const auto r = members::replaceCard(u"100000000003"_s,
                                                    u"40000000%1"_s.arg(seed, 4, 10, QChar(u'0')),
                                                    QString());
                count(u"replace"_s, r == members::CardLoss::Done);
            } catch (const DbError &e) {
                out << "error replace " << e.message() << "\n";
            }
            if (seed == 1000) {
                try {
                    members::deleteLevel(u"L"_s);
                    count(u"delete-level"_s, true);
                } catch (const DbError &e) {
                    count(u"delete-level"_s, false); // a member has it meanwhile
                }
            }
        }
        const QString card = cards[rnd.bounded(int(cards.size()))];
        QString other = cards[rnd.bounded(int(cards.size()))];
        if (other == card && cards.size() > 1)
            other = cards[(cards.indexOf(card) + 1) % cards.size()];
        const int kind = kinds[rnd.bounded(int(kinds.size()))];
        QString op;
        try {
            switch (kind) {
            case 0:
                op = u"transfer"_s;
                if (other == card) { // a single card pays itself nothing: recharge instead
                    op = u"recharge"_s;
                    const Amount paid = cents(rnd, 1, 5000);
                    stored_value::recharge(card, paid, paid, QString(), QString());
                    count(op, true);
                    break;
                }
                count(op, stored_value::transfer(card, other, cents(rnd, 1, 2000), QString()) ==
                              stored_value::Refusal::None);
                break;
            case 1: {
                op = u"recharge"_s;
                const Amount paid = cents(rnd, 1, 5000);
                stored_value::recharge(card, paid, paid, QString(), QString());
                count(op, true);
                break;
            }
            case 2: {
                op = u"direct"_s;
                const auto r =
                    sales::recordDirectSale(card, cents(rnd, 1, 3000), true, u"1"_s, QString(), 1);
                count(op, r.refusal == sales::PayRefusal::None);
                break;
            }
            case 3: {
                op = u"sale"_s;
                sales::BasketLine x, y;
                x.spid = u"X"_s;
                x.name = u"甲"_s;
                y.spid = u"Y"_s;
                y.name = u"乙"_s;
                x.sj = x.zhdj = Amount::fromRaw(15000); // 1.5
                y.sj = y.zhdj = Amount::fromRaw(22500); // 2.25
                x.sl = rnd.bounded(1, 4);
                y.sl = rnd.bounded(1, 4);
                x.je = x.zhdj * x.sl;
                y.je = y.zhdj * y.sl;
                sales::SaleInput s;
                s.card = card;
                // Baskets in either order: the stock is locked by code.
                s.lines = rnd.bounded(2) ? QList{x, y} : QList{y, x};
                if (rnd.bounded(2)) { // one of the last pieces of Z
                    sales::BasketLine z;
                    z.spid = u"Z"_s;
                    z.name = u"丙"_s;
                    z.sj = z.zhdj = z.je = 1;
                    z.sl = 1;
                    s.lines.insert(rnd.bounded(int(s.lines.size()) + 1), z);
                }
                s.total = sales::basketTotal(s.lines);
                s.points = sales::salePoints(s.lines, s.total, 1, card);
                s.cardPart = s.total;
                s.password = u"1"_s;
                count(op, sales::recordSale(s).refusal == sales::PayRefusal::None);
                break;
            }
            case 4: {
                op = u"return"_s;
                if (sales.isEmpty())
                    break;
                const int sale = sales[rnd.bounded(int(sales.size()))];
                count(op, stored_value::recordReturn(sale, owner[sale], QString(), QString(),
                                                     cents(rnd, 1, 700), true, QString()) ==
                              stored_value::Refusal::None);
                break;
            }
            case 5: {
                op = u"undo-exchange"_s;
                if (exchanges.isEmpty())
                    break;
                const int id = exchanges[rnd.bounded(int(exchanges.size()))];
                const bool deleted = members::deleteExchange(owner[-id], id);
                count(op, deleted);
                if (deleted)
                    out << "deleted " << id << "\n";
                break;
            }
            case 6:
                op = u"exchange"_s;
                count(op, stored_value::exchangePoints(card, rnd.bounded(1, 6), QString()) ==
                              stored_value::Refusal::None);
                break;
            case 7: {
                op = u"enrol"_s;
                members::MemberForm f;
                f.id = u"3%1%2"_s.arg(seed, 4, 10, QChar(u'0')).arg(++enrolled, 7, 10, QChar(u'0'));
                f.name = u"新会员"_s;
                f.lv = u"L"_s;
                try {
                    members::enrolMember(f);
                    count(op, true);
                } catch (const DbError &e) {
                    if (!e.message().contains(u"已被删除"_s))
                        throw;
                    count(op, false); // the level went meanwhile
                }
                break;
            }
            }
        } catch (const DbError &e) {
            out << "error " << op << " " << e.message() << "\n";
        }
    }
    for (auto it = done.cbegin(); it != done.cend(); ++it)
        out << "done " << it.key() << " " << it.value() << "\n";
    for (auto it = refused.cbegin(); it != refused.cend(); ++it)
        out << "refused " << it.key() << " " << it.value() << "\n";
    out << "elapsed " << clock.elapsed() << "\n";
    Database::close();
    return 0;
}
