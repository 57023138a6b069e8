// How the till's lookups, the sale write and the reports scale with a shop's
// history: 50 000 members, 200 000 sales with 600 000 lines over two years.
// Run build/bench/bench_storage (optionally with -iterations N); it is not
// part of the test suite.

#include "database.h"
#include "harness.h"
#include "memberlist.h"
#include "memberlookup.h"
#include "reportqueries.h"
#include "settlement.h"

#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;

namespace
{
constexpr int kMembers = 50000;
constexpr int kSales = 200000;
constexpr int kGoods = 2000;
const QDateTime kStart(QDate(2025, 1, 1), QTime(9, 0));

QString card(int i)
{
    return u"%1"_s.arg(100000000000LL + i);
}
} // namespace

class BenchStorage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void findByCard();
    void findByNamePart();
    void memberListLastPage();
    void memberHistory();
    void recordSale();
    void goodsStatisticsOfAMonth();
    void dailyTurnoverOfAYear();
    void cleanupTestCase();

private:
    test::Harness *m_h = nullptr;
};

void BenchStorage::initTestCase()
{
    m_h = new test::Harness;
    QVERIFY(m_h->openDatabase());
    QSqlDatabase db = Database::connection();
    QVERIFY(db.transaction());
    QSqlQuery q(db);
    QVERIFY(q.prepare(
        A(u"INSERT INTO mber (id, name, lv, tel, ye, jf, st, ljxfje, ljxfcs, ljczje, createtime)"
          u" VALUES (?, ?, '普通会员', ?, {100000}, 0, 0, 0, 0, 0, ?)"_s)));
    const QStringList family{u"王"_s, u"李"_s, u"张"_s, u"刘"_s,
                             u"陈"_s, u"杨"_s, u"赵"_s, u"黄"_s};
    for (int i = 1; i <= kMembers; ++i) {
        q.addBindValue(card(i));
        q.addBindValue(family[i % family.size()] + QString::number(i));
        q.addBindValue(u"139%1"_s.arg(i, 8, 10, QChar(u'0')));
        q.addBindValue(Database::dt(kStart));
        QVERIFY(q.exec());
    }
    QVERIFY(q.prepare(A(
        u"INSERT INTO sp (spid, name, lb, dw, jj, sj, kc) VALUES (?, ?, '饮料', '瓶', {2}, {3}, {1000000})"_s)));
    for (int g = 1; g <= kGoods; ++g) {
        q.addBindValue(u"G%1"_s.arg(g));
        q.addBindValue(u"商品%1"_s.arg(g));
        QVERIFY(q.exec());
    }
    QSqlQuery line(db);
    QVERIFY(line.prepare(A(u"INSERT INTO xiangxi (conid, spid, spmc, dj, zk, zhdj, sl, jf, je)"
                           u" VALUES (?, ?, ?, {3}, {100}, {3}, {1}, 0, {3})"_s)));
    QVERIFY(q.prepare(A(u"INSERT INTO con (id, mberid, boolsp, czkfk, xjfk, jf, createtime, czy)"
                        u" VALUES (?, ?, 1, {9}, 0, 9, ?, 'admin')"_s)));
    QRandomGenerator rnd(42);
    for (int s = 1; s <= kSales; ++s) {
        q.addBindValue(s);
        q.addBindValue(card(1 + int(rnd.bounded(kMembers))));
        q.addBindValue(Database::dt(kStart.addSecs(qint64(s) * 300)));
        QVERIFY(q.exec());
        for (int l = 0; l < 3; ++l) {
            const int g = 1 + int(rnd.bounded(kGoods));
            line.addBindValue(s);
            line.addBindValue(u"G%1"_s.arg(g));
            line.addBindValue(u"商品%1"_s.arg(g));
            QVERIFY(line.exec());
        }
    }
    // One regular with a long history.
    QVERIFY(q.prepare(u"UPDATE con SET mberid = ? WHERE id % 100 = 0"_s));
    q.addBindValue(card(7));
    QVERIFY(q.exec());
    QVERIFY(db.commit());
    QVERIFY(q.exec(u"ANALYZE"_s));
}

void BenchStorage::findByCard()
{
    QList<members::MemberHit> hits;
    QBENCHMARK
    {
        hits = members::findMembers(card(31415), true);
    }
    QCOMPARE(hits.size(), 1);
}

void BenchStorage::findByNamePart()
{
    // Typed lookup: part of a card number or name, or a whole telephone number.
    QList<members::MemberHit> hits;
    QBENCHMARK
    {
        hits = members::findMembers(u"31415"_s, false);
    }
    QVERIFY(!hits.isEmpty());
}

void BenchStorage::memberListLastPage()
{
    members::ListPage page;
    const int last = (kMembers + members::kListPageSize - 1) / members::kListPageSize;
    QBENCHMARK
    {
        page = members::memberListPage(members::MemberFilter::search(QString(), QString()), last);
    }
    QVERIFY(!page.rows.isEmpty());
}

void BenchStorage::memberHistory()
{
    members::History h;
    QBENCHMARK
    {
        h = members::readHistory(card(7));
        members::consumptionTotals(card(7));
    }
    QVERIFY(h.sales.size() >= kSales / 100);
}

void BenchStorage::recordSale()
{
    sales::SaleInput sale;
    sale.card = card(12345);
    sales::BasketLine l;
    l.spid = u"G1"_s;
    l.name = u"商品1"_s;
    l.sj = l.zhdj = l.je = 3;
    l.sl = 1;
    sale.lines = {l, l};
    sale.total = 6;
    sale.cardPart = 6;
    sale.points = 6;
    sales::SaleResult r;
    QBENCHMARK
    {
        r = sales::recordSale(sale);
    }
    QCOMPARE(r.refusal, sales::PayRefusal::None);
}

void BenchStorage::goodsStatisticsOfAMonth()
{
    reports::Rows rows;
    QBENCHMARK
    {
        rows = reports::texts(reports::goodsStatistics({QDate(2025, 6, 1), QDate(2025, 6, 30)},
                                                       QString(), QString()));
    }
    QVERIFY(!rows.isEmpty());
}

void BenchStorage::dailyTurnoverOfAYear()
{
    reports::Rows rows;
    QBENCHMARK
    {
        rows = reports::texts(reports::dailyTurnover(QDate(2025, 1, 1), QDate(2025, 12, 31)));
    }
    QCOMPARE(rows.size(), 365);
}

void BenchStorage::cleanupTestCase()
{
    delete m_h;
}

QTEST_MAIN(BenchStorage)
#include "bench_storage.moc"
