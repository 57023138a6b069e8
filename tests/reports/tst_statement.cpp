// The member's statement, and the day's summary.
//
// The statement: a random history made through the program's own
// operations (fixed seed), each dated an hour after the one before, must be
// listed in order with the running balance and points of an independent
// account, open and close a period in the middle at that account's figures,
// and close at the stored balance and points; a history missing a record
// says by how much it differs. And the window from the member panel.
//
// The summary: its figures for a day equal the totals of the reports for
// that day, and last week's day is kept apart.

#include "accountmoves.h"
#include "appstate.h"
#include "cardloss.h"
#include "database.h"
#include "enrolment.h"
#include "exportreport.h"
#include "frmmain.h"
#include "goods.h"
#include "harness.h"
#include "memberactions.h"
#include "recharge.h"
#include "settlement.h"
#include "statement.h"
#include "summary.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::reports;
using test::Harness;

namespace
{

const QString kA = u"100000000001"_s, kB = u"100000000002"_s;

// The account as the test keeps it, after each movement.
struct Step {
    QDateTime when;
    Amount balance, points;
};

void enrol(const QString &card, const QString &name, const QDateTime &when)
{
    Sql(u"INSERT INTO mber (id, name, zjhm, ye, csje, jf, csjf, createtime)"
        u" VALUES (?, ?, '110', ?, ?, ?, 10, ?)"_s)
        .bind(card)
        .bind(name)
        .bind(Amount(50))
        .bind(Amount(50))
        .bind(Amount(10))
        .bind(Database::dt(when))
        .exec();
}

// Every record written just now is dated `when`, so that the history spans
// days and each movement has its own hour.
void dateNewRecords(const QDateTime &when, const QDateTime &since)
{
    for (const char *table : {"con", "czjl", "thjl", "zzjl", "dhjl", "bdjl"})
        Sql(u"UPDATE "_s + QString::fromLatin1(table) +
            u" SET createtime = ? WHERE createtime >= ?"_s)
            .bind(Database::dt(when))
            .bind(Database::dt(since))
            .exec();
}

Amount money(QRandomGenerator &rnd, int maxYuan)
{
    return Amount::fromRaw(qint64(rnd.bounded(1, maxYuan * 100)) * 100); // cents
}

} // namespace

class TstStatement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void randomHistoryReconciles_data() { Harness::addBackendRows(); }
    void randomHistoryReconciles();
    void historyEdges_data() { Harness::addBackendRows(); }
    void historyEdges();
    void fromTheMemberPanel();
    void summaryEqualsReports_data() { Harness::addBackendRows(); }
    void summaryEqualsReports();
};

void TstStatement::randomHistoryReconciles()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    state().operatorName = u"admin"_s;
    const QDateTime start(QDate::currentDate().addDays(-40), QTime(9, 0));
    enrol(kA, u"李雷"_s, start.addDays(-1));
    enrol(kB, u"韩梅梅"_s, start.addDays(-1));
    QVERIFY(sales::addGoods(sales::goodsFromTexts(u"G1"_s, u"毛巾"_s, QString(), u"条"_s, u"4"_s,
                                                  u"10"_s, u"0"_s, u"1000"_s)));

    QRandomGenerator rnd(20261211);
    QString card = kA;
    Amount balance(50), points(10), other(50); // other: B's balance
    Amount cashTaken(0);                       // cash paid in and out over the counter
    QList<Step> steps;
    QList<int> sales;
    int replacements = 0;
    QDateTime when = start;
    for (int i = 0; i < 120; ++i) {
        when = when.addSecs(3600);
        const QDateTime since = QDateTime::currentDateTime().addSecs(-5);
        bool moved = true;
        switch (rnd.bounded(9)) {
        case 0: { // a recharge with a bonus
            const Amount paid = money(rnd, 300);
            const Amount credited = paid + Amount(rnd.bounded(0, 30));
            stored_value::recharge(card, paid, credited, u"赠送"_s, QString());
            balance += credited;
            cashTaken += paid;
            break;
        }
        case 1: { // a direct consumption, from the card or in cash
            const Amount amount = money(rnd, 80);
            const bool fromCard = rnd.bounded(2) == 0 && amount <= balance;
            const auto r =
                sales::recordDirectSale(card, amount, fromCard, QString(), u"直接"_s, Amount(10));
            QCOMPARE(int(r.refusal), int(sales::PayRefusal::None));
            if (fromCard)
                balance -= amount;
            else
                cashTaken += amount;
            points += Amount(WholeTimes(amount, Amount(10)));
            break;
        }
        case 2: { // goods, paid partly from the card
            const Amount quantity(rnd.bounded(1, 4));
            const auto goods = sales::readGoods(u"G1"_s);
            QVERIFY(goods);
            sales::SaleInput sale;
            sale.card = card;
            sale.lines = {sales::makeLine(*goods, Amount(100), quantity)};
            sale.total = sale.lines.first().je;
            sale.points = Amount(rnd.bounded(0, 5));
            sale.cardPart = std::min(balance, Amount::fromRaw(sale.total.raw() / 2));
            const auto r = sales::recordSale(sale);
            QCOMPARE(int(r.refusal), int(sales::PayRefusal::None));
            sales << r.conId;
            balance -= sale.cardPart;
            cashTaken += sale.total - sale.cardPart;
            points += sale.points;
            break;
        }
        case 3: { // a return of part of a sale
            if (sales.isEmpty()) {
                moved = false;
                break;
            }
            const int conId = sales[rnd.bounded(int(sales.size()))];
            const Amount rest = stored_value::returnable(conId);
            if (rest.isZero()) {
                moved = false;
                break;
            }
            const bool toCard = rnd.bounded(2) == 0;
            const Amount amount = std::max(Amount::fromRaw(rest.raw() / 2), Amount::fromRaw(100));
            QCOMPARE(int(stored_value::recordReturn(conId, card, u"李雷"_s, QString(),
                                                    std::min(amount, rest), toCard, QString())),
                     int(stored_value::Refusal::None));
            if (toCard)
                balance += std::min(amount, rest);
            else
                cashTaken -= std::min(amount, rest);
            break;
        }
        case 4:
        case 5: { // a transfer, out or in
            const bool out = rnd.bounded(2) == 0;
            const Amount amount = money(rnd, 20);
            if (amount > (out ? balance : other)) {
                moved = false;
                break;
            }
            QCOMPARE(int(stored_value::transfer(out ? card : kB, out ? kB : card, amount, u"转"_s)),
                     int(stored_value::Refusal::None));
            balance += out ? -amount : amount;
            other += out ? amount : -amount;
            break;
        }
        case 6: { // points exchanged
            const Amount n(rnd.bounded(1, 6));
            if (n > points) {
                moved = false;
                break;
            }
            QCOMPARE(int(stored_value::exchangePoints(card, n, u"兑换毛巾"_s)),
                     int(stored_value::Refusal::None));
            points -= n;
            break;
        }
        case 7: { // an exchange deleted, its points given back
            Sql e(u"SELECT id, jf FROM dhjl WHERE mberid = ? ORDER BY id"_s);
            e.bind(card).exec();
            if (!e.next()) {
                moved = false;
                break;
            }
            const int id = e.integer(0);
            const Amount back = e.amount(1).truncated();
            e.query().finish();
            QVERIFY(members::deleteExchange(card, id));
            points += back;
            break;
        }
        case 8: { // the card replaced, twice at most
            if (replacements == 2) {
                moved = false;
                break;
            }
            const QString next = u"20000000000%1"_s.arg(++replacements);
            QCOMPARE(int(members::replaceCard(card, next, u"110"_s)), int(members::CardLoss::Done));
            card = next;
            break;
        }
        }
        if (!moved)
            continue;
        dateNewRecords(when, since);
        steps.append({when, balance, points});
    }
    QVERIFY(replacements > 0 && steps.size() > 60);

    // The whole history, to today: every movement in order, closing at what
    // the card holds.
    const Days all{start.date().addDays(-1), QDate::currentDate()};
    const auto s = memberStatement(card, all);
    QVERIFY(s);
    QVERIFY(s->compared);
    QCOMPARE(s->storedBalance, balance);
    QCOMPARE(s->storedPoints, points);
    QCOMPARE(s->closingBalance, balance);
    QCOMPARE(s->closingPoints, points);
    QVERIFY(s->reconciles());
    QCOMPARE(s->openingBalance, 0.0); // enrolled within the period
    QList<Step> listed;
    Amount cashListed(0);
    for (const Values &row : s->rows) {
        if (!row[4].isNull())
            cashListed += Database::toAmount(row[4]);
        const QString business = row[1].toString();
        if (business == u"期初" || business == u"期末" || business == u"开卡")
            continue;
        listed.append(
            {Database::toDt(row[0]), Database::toAmount(row[6]), Database::toAmount(row[8])});
    }
    QCOMPARE(cashListed, cashTaken);
    // A deleted exchange lists the exchange (at its own hour, already
    // counted) and its deletion: the figures after each deletion are the
    // steps'; every step's figures appear in order.
    int at = 0;
    for (const Step &step : std::as_const(steps)) {
        while (at < listed.size() && listed[at].when < step.when)
            ++at;
        QVERIFY2(at < listed.size(), qPrintable(step.when.toString()));
        // The last row of that hour holds the figures after it.
        int last = at;
        while (last + 1 < listed.size() && listed[last + 1].when == step.when)
            ++last;
        QCOMPARE(listed[last].when, step.when);
        QCOMPARE(listed[last].balance, step.balance);
        QCOMPARE(listed[last].points, step.points);
        at = last + 1;
    }

    // A period in the middle: opening at the figures before it, closing at
    // those of its last movement, not compared with the card.
    const Days middle{start.date().addDays(1), start.date().addDays(3)};
    Step before{{}, Amount(50), Amount(10)}, last = before;
    for (const Step &step : std::as_const(steps)) {
        if (step.when.date() < middle.from)
            before = last = step;
        else if (step.when.date() <= middle.to)
            last = step;
    }
    const auto m = memberStatement(card, middle);
    QVERIFY(m);
    QVERIFY(!m->compared);
    QCOMPARE(m->openingBalance, before.balance);
    QCOMPARE(m->openingPoints, before.points);
    QCOMPARE(m->closingBalance, last.balance);
    QCOMPARE(m->closingPoints, last.points);

    // Written by an older program: the record of a card replacement is
    // missing, so the transfers under the old number are not found.
    Sql gone(u"SELECT oldid, createtime FROM bdjl WHERE lx = '挂失换卡' ORDER BY id"_s);
    gone.exec();
    QVERIFY(gone.next());
    const QString old = gone.text(0);
    const QVariant replaced = gone.value(1);
    gone.query().finish();
    const Amount lost =
        amountAt(u"SELECT coalesce(sum(je), 0) FROM zzjl WHERE zrid = ? AND createtime <= ?"_s,
                 {old, replaced}) -
        amountAt(u"SELECT coalesce(sum(je), 0) FROM zzjl WHERE zcid = ? AND createtime <= ?"_s,
                 {old, replaced});
    QVERIFY(!lost.isZero()); // the seed has transfers under the first card
    Sql(u"DELETE FROM bdjl WHERE oldid = ?"_s).bind(old).exec();
    const auto partial = memberStatement(card, all);
    QVERIFY(partial);
    QCOMPARE(partial->closingBalance, balance - lost);
    QCOMPARE(partial->reconciles(), lost.isZero());
    if (!lost.isZero()) {
        const Values &check = partial->rows.last();
        QCOMPARE(check[1].toString(), u"核对"_s);
        QCOMPARE(Database::toAmount(check[5]), lost);
    }
}

// A card number given out again carries nothing of its former holder; a
// sale without a time counts before everything; a transfer in the second of
// a replacement, and one under a number the card came back to, count once.
void TstStatement::historyEdges()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    state().operatorName = u"admin"_s;
    const QDateTime start = QDateTime::currentDateTime().addDays(-10);
    enrol(kA, u"李雷"_s, start);
    enrol(kB, u"韩梅梅"_s, start);
    const auto dated = [](const QString &table, const QDateTime &when) {
        Sql(u"UPDATE "_s + table + u" SET createtime = ? WHERE id = (SELECT max(id) FROM "_s +
            table + u")"_s)
            .bind(Database::dt(when))
            .exec();
    };
    const auto reconciles = [](const QString &card, Amount balance) {
        const auto s =
            memberStatement(card, {QDate::currentDate().addDays(-30), QDate::currentDate()});
        QVERIFY(s);
        QCOMPARE(s->closingBalance, balance);
        QVERIFY(s->reconciles());
    };

    // A's number given out again after A was deleted.
    QCOMPARE(int(stored_value::transfer(kA, kB, Amount(5), QString())),
             int(stored_value::Refusal::None));
    dated(u"zzjl"_s, start.addDays(1));
    members::deleteMember(kA);
    enrol(kA, u"王芳"_s, start.addDays(2));
    // A sale of the new holder without a time (an older program's row).
    Sql(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, jf, createtime, czy)"
        u" VALUES (?, ?, ?, 0, 0, NULL, 'admin')"_s)
        .bind(kA)
        .bind(false)
        .bind(Amount(3))
        .exec();
    Sql(u"UPDATE mber SET ye = ? WHERE id = ?"_s).bind(Amount(47)).bind(kA).exec();
    reconciles(kA, Amount(47));

    // B replaced by C, a transfer under B in that very second, then C
    // replaced by B again.
    const QString kC = u"300000000001"_s;
    QCOMPARE(int(stored_value::transfer(kB, u"000000000000"_s, Amount(4), QString())),
             int(stored_value::Refusal::None)); // under B, before
    dated(u"zzjl"_s, start.addDays(3));
    QCOMPARE(int(members::replaceCard(kB, kC, u"110"_s)), int(members::CardLoss::Done));
    const QDateTime replaced = start.addDays(4);
    dated(u"bdjl"_s, replaced);
    Sql(u"INSERT INTO zzjl (zcid, zcname, zclv, zrid, zrname, zrlv, je, czy, createtime, ps)"
        u" VALUES (?, '韩梅梅', '', '000000000000', '', '', ?, 'admin', ?, '')"_s)
        .bind(kB)
        .bind(Amount(2))
        .bind(Database::dt(replaced))
        .exec();
    Sql(u"UPDATE mber SET ye = ye - ? WHERE id = ?"_s).bind(Amount(2)).bind(kC).exec();
    QCOMPARE(int(members::replaceCard(kC, kB, u"110"_s)), int(members::CardLoss::Done));
    dated(u"bdjl"_s, start.addDays(5));
    // 50 + 5 from A, less 4 and 2 under B: each once.
    reconciles(kB, Amount(49));
}

void TstStatement::fromTheMemberPanel()
{
    Harness h;
    QVERIFY(h.openDatabase());
    enrol(kA, u"李雷"_s, QDateTime::currentDateTime().addDays(-3));
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    stored_value::recharge(kA, Amount(100), Amount(120), u"赠送20元"_s, QString());
    main->ShowMber(kA);
    QTemporaryDir dir;
    const QString csv = dir.filePath(u"对账单.csv"_s);
    setWorkbookViewer([](const QString &) { return true; });
    QStringList seen;
    h.onModal([&](QDialog *d) {
        seen << d->windowTitle() << d->findChild<QLabel *>(u"lblMember"_s)->text()
             << d->findChild<QLabel *>(u"lblOpening"_s)->text()
             << d->findChild<QLabel *>(u"lblClosing"_s)->text()
             << d->findChild<QLabel *>(u"lblCheck"_s)->text()
             << QString::number(d->findChild<QTreeView *>(u"lvTb"_s)->model()->rowCount());
        // Exported like every report; the running balance is never added up.
        h.onModal([&](QDialog *chooser) {
            qobject_cast<QFileDialog *>(chooser)->selectFile(csv);
            chooser->accept();
        });
        d->findChild<QPushButton *>(u"cmdExcel"_s)->click();
        d->reject();
    });
    main->findChild<QPushButton *>(u"cmdStatement"_s)->click();
    setWorkbookViewer({});
    QCOMPARE(seen, QStringList({u"会员对账单"_s, u"会员：100000000001 李雷"_s,
                                u"期初余额：0元  期初积分：0"_s, u"期末余额：170元  期末积分：10"_s,
                                u"与卡内余额、积分一致。"_s, u"4"_s}));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll())
                                  .remove(QChar(0xFEFF))
                                  .split(u"\r\n"_s, Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 6); // headings, four rows, totals
    QCOMPARE(lines[0], u"时间,业务,单号,说明,现金收付（元）,储值变动（元）,储值余额（元）,积分变动,"
                       u"积分余额,操作员"_s);
    QVERIFY2(lines[3].contains(u",充值,"_s) && lines[3].contains(u",100,120,170,"_s),
             qPrintable(lines[3]));
    // The totals: the cash taken and the change of the balance (the opening
    // amount and the recharge), not the balances.
    QCOMPARE(lines[5], u"合计,,,,100,170,,,,"_s);
    // The no-card customer has no account to state.
    main->ShowMber(u"000000000000"_s);
    main->findChild<QPushButton *>(u"cmdStatement"_s)->click();
    QCOMPARE(h.lastText(), u"无卡用户没有对账单！"_s);
    QCOMPARE(h.unexpectedModals(), 0);
}

namespace
{

// The sum of a report's column over all its rows.
Amount columnSum(const ReportQuery &q, int column)
{
    Amount sum(0);
    forEachRow(q, [&](const Values &row) {
        sum += typedValue(q.columns[column].kind, row[column]).value<Amount>();
        return true;
    });
    return sum;
}

} // namespace

void TstStatement::summaryEqualsReports()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    state().operatorName = u"admin"_s;
    state().decimals = 2;
    const QDate today = QDate::currentDate();
    const QDateTime lastWeek(today.addDays(-7), QTime(10, 0));
    enrol(kA, u"李雷"_s, QDateTime(today, QTime(0, 0, 1)));
    enrol(kB, u"韩梅梅"_s, lastWeek);
    for (int g = 1; g <= 7; ++g)
        QVERIFY(sales::addGoods(
            sales::goodsFromTexts(u"G%1"_s.arg(g), u"商品%1"_s.arg(g), QString(), u"个"_s, u"1"_s,
                                  QString::number(g * 3) + u".33"_s, u"0"_s, u"100"_s)));
    QRandomGenerator rnd(7);
    // A day of business: last week's first, dated back, then today's.
    for (const bool past : {true, false}) {
        const QDateTime since = QDateTime::currentDateTime().addSecs(-5);
        const QString card = past ? kB : kA;
        stored_value::recharge(card, Amount(200), Amount(230), u"赠送30元"_s, QString());
        int lastSale = 0;
        for (int i = 0; i < 12; ++i) {
            const auto goods = sales::readGoods(u"G%1"_s.arg(i % 7 + 1));
            QVERIFY(goods);
            sales::SaleInput sale;
            sale.card = i % 3 == 0 ? u"000000000000"_s : card;
            sale.lines = {sales::makeLine(*goods, Amount(95), Amount(rnd.bounded(1, 4)))};
            sale.total = sale.lines.first().je;
            sale.points = Amount(0);
            sale.cardPart = sale.card == card ? Amount::fromRaw(sale.total.raw() / 3) : Amount(0);
            const auto r = sales::recordSale(sale);
            QCOMPARE(int(r.refusal), int(sales::PayRefusal::None));
            lastSale = r.conId;
        }
        QCOMPARE(
            int(sales::recordDirectSale(card, je("12.345"), false, QString(), QString(), Amount(10))
                    .refusal),
            int(sales::PayRefusal::None));
        QCOMPARE(int(stored_value::recordReturn(lastSale, u"000000000000"_s, QString(), QString(),
                                                je("1.5"), false, QString())),
                 int(stored_value::Refusal::None));
        if (past)
            dateNewRecords(lastWeek, since);
    }

    for (const QDate day : {today, today.addDays(-7)}) {
        const DayFigures f = dayFigures(day);
        const Days one{day, day};
        const ReportQuery sales = salesReport(one, QString(), QString());
        QCOMPARE(f.sales, countRows(sales));
        QCOMPARE(f.sales, 13);
        // The turnover report's sums: each part cut to cents as it is added
        // (the direct sale of 12.345 counts 12.34); the sales list sums the
        // exact amounts, less than a cent a sale more.
        Amount card(0), cash(0);
        Sql parts(u"SELECT czkfk, xjfk FROM con WHERE createtime BETWEEN ? AND ?"_s);
        parts.bind(Database::dt(QDateTime(day, QTime(0, 0))))
            .bind(Database::dt(QDateTime(day, QTime(23, 59, 59))))
            .exec();
        while (parts.next()) {
            card = Trunc2(card + parts.amount(0));
            cash = Trunc2(cash + parts.amount(1));
        }
        QCOMPARE(f.card, card);
        QCOMPARE(f.cash, cash);
        QCOMPARE(f.turnover, Trunc2(card + cash));
        QVERIFY(columnSum(sales, 5) - f.turnover < Amount::fromRaw(100 * f.sales));
        const ReportQuery recharges = rechargeRecords(one, QString(), QString(), QString());
        QCOMPARE(f.rechargePaid, columnSum(recharges, 4));
        QCOMPARE(f.rechargeCredited, columnSum(recharges, 5));
        QCOMPARE(f.rechargeCredited, 230.0);
        QCOMPARE(f.returns, columnSum(returnRecords(one, QString(), QString(), QString()), 3));
        QCOMPARE(f.returns, 1.5);
        QCOMPARE(f.newMembers, 1);
        QCOMPARE(f.averageSale, RoundJe(f.turnover, Amount(1), 13));
        // The goods statistics, largest amounts first: the same five.
        QList<std::pair<Amount, QString>> goods;
        for (const Values &row : goodsStatistics(one, QString(), QString()).compute())
            goods.append({typedValue(Kind::Number, row[6]).value<Amount>(), row[0].toString()});
        std::sort(goods.begin(), goods.end(), [](const auto &a, const auto &b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });
        QVERIFY(goods.size() > 5);
        QCOMPARE(f.topGoods.size(), 5);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(f.topGoods[i].spid, goods[i].second);
            QCOMPARE(f.topGoods[i].amount, goods[i].first);
        }
    }
    QCOMPARE(changeText(Amount(150), Amount(100)), u"+50%"_s);
    QCOMPARE(changeText(Amount(1), Amount(3)), u"-66.7%"_s);
    QCOMPARE(changeText(je("87.741"), Amount(100)), u"-12.3%"_s); // rounded once
    QCOMPARE(changeText(Amount(10001), Amount(10000)), u"0%"_s);
    QCOMPARE(changeText(Amount(1001), Amount(1000)), u"+0.1%"_s);
    QCOMPARE(changeText(Amount(5), Amount(0)), u"—"_s);
}

QTEST_MAIN(TstStatement)
#include "tst_statement.moc"
