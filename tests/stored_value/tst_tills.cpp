// Several tills, each a process of its own, working at once on the same two
// cards of one PostgreSQL server: transfers both ways, recharges, card and
// goods sales, returns of the same sales and deletions of the same points
// exchanges. Afterwards every cent and every point is accounted for.

#include "harness.h"

#include <QProcess>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using test::Harness;

namespace
{
const QString kA = u"100000000001"_s;
const QString kB = u"100000000002"_s;
constexpr int kTills = 4;
constexpr int kOperations = 100;
constexpr int kSeedSales = 6;     // per card, 13.5 each
constexpr int kSeedExchanges = 10; // per card, 50 points each


Amount sum(const QString &sql, const QVariantList &values = {})
{
    return amountAt(u"SELECT coalesce(sum(x), 0) FROM ("_s + sql + u") s"_s, values);
}

int count(const QString &sql, const QVariantList &values = {})
{
    return scalar(sql, values).toInt();
}
} // namespace

class TstTills : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyCentAccountedFor();
};

void TstTills::everyCentAccountedFor()
{
    LT_NEED_POSTGRES();
    Harness h(Backend::Postgres);
    QVERIFY(h.openDatabase());
    const QVariant now = Database::dt(QDateTime::currentDateTime());
    for (const QString &card : {kA, kB}) {
        Sql(A(u"INSERT INTO mber (id, name, pwd, ye, jf, st) VALUES (?, '会员', '1', {1000}, {1000}, 0)"_s))
            .bind(card)
            .exec();
        for (int i = 0; i < kSeedSales; ++i)
            Sql(A(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, jf, createtime, czy, ps)"
                  u" VALUES (?, false, {13.5}, 0, 13, ?, 'admin', 'seed')"_s))
                .bind(card)
                .bind(now)
                .exec();
        for (int i = 0; i < kSeedExchanges; ++i)
            Sql(A(u"INSERT INTO dhjl (mberid, jf, createtime, czy, ps) VALUES (?, {50}, ?, 'admin', 'seed')"_s))
                .bind(card)
                .bind(now)
                .exec();
    }
    Sql(A(u"INSERT INTO sp (spid, name, sj, kc, zt) VALUES ('X', '甲', {1.5}, {100000}, true),"
          u" ('Y', '乙', {2.25}, {100000}, true), ('Z', '丙', {1}, {20}, true)"_s))
        .exec();
    // The lost card that every till tries to replace, and the level that
    // one till deletes while the others enrol members on it.
    Sql(A(u"INSERT INTO mber (id, name, ye, st, zjhm) VALUES ('100000000003', '丢卡', {500}, 0, '')"_s))
        .exec();
    Sql(u"INSERT INTO lv (name) VALUES ('L')"_s).exec();
    const QString url = h.url();
    Database::close();

    QList<QProcess *> tills;
    for (int i = 0; i < kTills; ++i) {
        auto *p = new QProcess(this);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QStringLiteral(TILL_WORKER),
                 {url, QString::number(1000 + i), QString::number(kOperations), u"all"_s, kA, kB});
        tills << p;
    }
    QMap<QString, int> done;
    QStringList errors;
    QSet<QString> deleted;
    int deletions = 0;
    for (QProcess *p : tills) {
        QVERIFY2(p->waitForFinished(180000), "a till did not finish");
        QCOMPARE(p->exitCode(), 0);
        const QStringList lines = QString::fromUtf8(p->readAllStandardOutput()).split(u'\n');
        for (const QString &line : lines) {
            const QStringList w = line.split(u' ');
            if (w[0] == u"done"_s)
                done[w[1]] += w[2].toInt();
            else if (w[0] == u"error"_s)
                errors << line;
            else if (w[0] == u"deleted"_s) {
                ++deletions;
                deleted << w[1];
            }
        }
        delete p;
    }
    // No deadlock, serialization failure or lock wait reached a cashier.
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    // Every kind of operation really ran at the same time as the others.
    for (const char *op : {"transfer", "recharge", "direct", "sale", "return", "exchange", "enrol"})
        QVERIFY2(done.value(QString::fromLatin1(op)) > 0, op);

    QVERIFY(h.openDatabase());
    // An exchange record deleted at two tills gives its points back once.
    QCOMPARE(deletions, deleted.size());
    QCOMPARE(count(u"SELECT count(*) FROM dhjl WHERE ps = 'seed'"_s),
             2 * kSeedExchanges - deletions);
    // Each operation reported done happened, once.
    QCOMPARE(count(u"SELECT count(*) FROM zzjl"_s), done.value(u"transfer"_s));
    QCOMPARE(count(u"SELECT count(*) FROM czjl"_s), done.value(u"recharge"_s));
    QCOMPARE(count(u"SELECT count(*) FROM thjl"_s), done.value(u"return"_s));
    QCOMPARE(count(u"SELECT count(*) FROM con WHERE boolsp AND ps IS DISTINCT FROM 'seed'"_s), done.value(u"sale"_s));
    QCOMPARE(count(u"SELECT count(*) FROM con WHERE NOT boolsp AND ps IS DISTINCT FROM 'seed'"_s),
             done.value(u"direct"_s));
    QCOMPARE(count(u"SELECT count(*) FROM dhjl WHERE ps IS DISTINCT FROM 'seed'"_s), done.value(u"exchange"_s));
    // Nothing is refunded beyond its sale.
    QCOMPARE(count(u"SELECT count(*) FROM con c WHERE c.czkfk + c.xjfk <"
                   u" (SELECT coalesce(sum(je), 0) FROM thjl t WHERE t.conid = c.id)"_s),
             0);
    // Money in equals money out, card by card.
    Amount total;
    for (const QString &card : {kA, kB}) {
        const Amount expected =
            Amount(1000) + sum(u"SELECT czje AS x FROM czjl WHERE mberid = ?"_s, {card}) -
            sum(u"SELECT czkfk AS x FROM con WHERE mberid = ? AND ps IS DISTINCT FROM 'seed'"_s, {card}) +
            sum(u"SELECT je AS x FROM thjl WHERE mberid = ? AND thfs"_s, {card}) -
            sum(u"SELECT je AS x FROM zzjl WHERE zcid = ?"_s, {card}) +
            sum(u"SELECT je AS x FROM zzjl WHERE zrid = ?"_s, {card});
        const Amount ye = amountAt(u"SELECT ye FROM mber WHERE id = ?"_s, {card});
        QCOMPARE(ye, expected);
        QVERIFY(ye >= 0);
        total += ye;
        // Points: earned by the sales, taken by the exchanges, given back
        // by each deleted seed record once.
        const Amount points =
            Amount(1000) +
            Amount(count(u"SELECT coalesce(sum(jf), 0) FROM con WHERE mberid = ? AND ps IS DISTINCT FROM 'seed'"_s,
                         {card})) -
            sum(u"SELECT jf AS x FROM dhjl WHERE mberid = ? AND ps IS DISTINCT FROM 'seed'"_s, {card}) +
            Amount(50) * Amount(kSeedExchanges - count(u"SELECT count(*) FROM dhjl WHERE mberid = ?"
                                                       u" AND ps = 'seed'"_s,
                                                       {card}));
        QCOMPARE(amountAt(u"SELECT jf FROM mber WHERE id = ?"_s, {card}), points);
    }
    QCOMPARE(total, Amount(2000) + sum(u"SELECT czje AS x FROM czjl"_s) -
                        sum(u"SELECT czkfk AS x FROM con WHERE ps IS DISTINCT FROM 'seed'"_s) +
                        sum(u"SELECT je AS x FROM thjl WHERE thfs"_s));
    // The lost card was replaced once, with its balance.
    QCOMPARE(done.value(u"replace"_s), 1);
    QCOMPARE(count(u"SELECT count(*) FROM mber WHERE id = '100000000003'"_s), 0);
    QCOMPARE(count(u"SELECT count(*) FROM mber WHERE id LIKE '40000000%'"_s), 1);
    QCOMPARE(amountAt(u"SELECT ye FROM mber WHERE id LIKE '40000000%'"_s), Amount(500));
    // Every member enrolled on level L has it: it was not deleted under them.
    QCOMPARE(count(u"SELECT count(*) FROM mber WHERE id LIKE '3%'"_s), done.value(u"enrol"_s));
    if (count(u"SELECT count(*) FROM lv WHERE name = 'L'"_s) == 0)
        QCOMPARE(count(u"SELECT count(*) FROM mber WHERE lv = 'L'"_s), 0);
    else
        QVERIFY(done.value(u"delete-level"_s) == 0);
    // Never more of Z sold than there was, and the stock went down by
    // exactly what was sold of each goods.
    QVERIFY(done.value(u"sale"_s) > 0);
    QVERIFY(sum(u"SELECT sl AS x FROM xiangxi WHERE spid = 'Z'"_s) <= Amount(20));
    QCOMPARE(amountAt(u"SELECT kc FROM sp WHERE spid = 'Z'"_s),
             Amount(20) - sum(u"SELECT sl AS x FROM xiangxi WHERE spid = 'Z'"_s));
    for (const QString &code : {u"X"_s, u"Y"_s})
        QCOMPARE(amountAt(u"SELECT kc FROM sp WHERE spid = ?"_s, {code}),
                 Amount(100000) - sum(u"SELECT sl AS x FROM xiangxi WHERE spid = ?"_s, {code}));
}

QTEST_MAIN(TstTills)
#include "tst_tills.moc"
