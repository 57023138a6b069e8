// Throughput of tills sharing one PostgreSQL server: 8 tills (processes)
// doing recharges, card payments and transfers, all on one card (every
// operation waits for the one before) and each on a card of its own.
// Needs the server of the test command: LANTING_TEST_PG=postgresql://...
// Run build/bench/bench_tills; it is not part of the test suite.

#include "harness.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;

namespace
{
constexpr int kTills = 8;
constexpr int kOperations = 400; // per till

} // namespace

class BenchTills : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void throughput_data();
    void throughput();
};

void BenchTills::throughput_data()
{
    QTest::addColumn<bool>("oneCard");
    QTest::newRow("8 tills, one card") << true;
    QTest::newRow("8 tills, 8 cards") << false;
}

void BenchTills::throughput()
{
    QFETCH(bool, oneCard);
    LT_NEED_POSTGRES();
    test::Harness h(Backend::Postgres);
    QVERIFY(h.openDatabase());
    QStringList cards;
    for (int i = 1; i <= kTills; ++i) {
        cards << u"1000000000%1"_s.arg(i, 2, 10, QChar(u'0'));
        Sql(A(u"INSERT INTO mber (id, name, pwd, ye, st) VALUES (?, '会员', '1', {1000000}, 0)"_s))
            .bind(cards.last())
            .exec();
    }
    const QString url = h.url();
    Database::close();
    QElapsedTimer clock;
    clock.start();
    QList<QProcess *> tills;
    for (int i = 0; i < kTills; ++i) {
        auto *p = new QProcess(this);
        const QStringList mine =
            oneCard ? QStringList{cards[0]} : QStringList{cards[i], cards[(i + 1) % kTills]};
        p->start(QStringLiteral(TILL_WORKER),
                 QStringList{url, QString::number(i + 1), QString::number(kOperations), u"pay"_s} +
                     mine);
        tills << p;
    }
    int errors = 0;
    for (QProcess *p : tills) {
        QVERIFY(p->waitForFinished(600000));
        errors += (u"\n"_s + QString::fromUtf8(p->readAllStandardOutput())).count(u"\nerror "_s);
        delete p;
    }
    const double seconds = clock.elapsed() / 1000.0;
    qInfo("%s: %d operations in %.2f s, %.0f operations per second, %d errors",
          QTest::currentDataTag(), kTills * kOperations, seconds, kTills * kOperations / seconds,
          errors);
    QCOMPARE(errors, 0);
}

QTEST_MAIN(BenchTills)
#include "bench_tills.moc"
