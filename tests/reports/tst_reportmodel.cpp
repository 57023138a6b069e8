// The reports' lists over the database: rows read in blocks that start where
// the last one ended, the lines of one sale never split, blocks let go and
// read again, and every row reached the same as by one whole query.

#include "amounts.h"
#include "database.h"
#include "harness.h"
#include "reportmodel.h"
#include "reportqueries.h"

#include <QSqlDatabase>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::reports;
using test::Harness;

namespace
{

const QDate kDay(2013, 5, 20);

// Sale k (1..n) at 09:00 plus k / 4 seconds, so that four sales share each
// second; k % 4 lines, and sale `big` has 20. Gives the line names in the
// order the line-item report lists them: newest sale first, lines as written.
QStringList storeSales(int n, int big)
{
    QStringList lines;
    for (int k = 1; k <= n; ++k) {
        Sql(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, jf, createtime, czy) VALUES"
            u" ('100000000001', ?, 0, ?, 0, ?, 'admin')"_s)
            .bind(true)
            .bind(Amount(k))
            .bind(Database::dt(QDateTime(kDay, QTime(9, 0, 0)).addSecs(k / 4)))
            .exec();
        const int id = scalar(u"SELECT max(id) FROM con"_s).toInt();
        const int count = k == big ? 20 : k % 4;
        QStringList these;
        for (int j = 0; j < count; ++j) {
            const QString name = u"L%1-%2"_s.arg(k).arg(j);
            Sql(A(u"INSERT INTO xiangxi (conid, spid, spmc, dj, zk, zhdj, sl, jf, je)"
                  u" VALUES (?, 'G', ?, {1}, {100}, {1}, {1}, 0, {1})"_s))
                .bind(id)
                .bind(name)
                .exec();
            these << name;
        }
        lines = these + lines;
    }
    return lines;
}

QStringList columnOf(const ReportModel &m, int column)
{
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << m.index(r, column).data().toString();
    return out;
}

void fetchAll(ReportModel &m)
{
    while (m.canFetchMore({}))
        m.fetchMore({});
}

} // namespace

class TstReportModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void blocks_data();
    void blocks();
    void emptyAndComputed();
    void reportsLeftHalfway();
};

void TstReportModel::blocks_data()
{
    QTest::addColumn<int>("backendRow");
    QTest::addColumn<int>("blockRows");
    QTest::addColumn<int>("keptBlocks");
    for (const auto &[name, backend] :
         {std::pair{"sqlite", Backend::Sqlite}, std::pair{"postgres", Backend::Postgres}}) {
        QTest::addRow("blocks of 7, three kept, %s", name) << int(backend) << 7 << 3;
        QTest::addRow("blocks of 1, one kept, %s", name) << int(backend) << 1 << 1;
        QTest::addRow("one block for all, %s", name) << int(backend) << 1000 << 64;
    }
}

void TstReportModel::blocks()
{
    LT_USE_BACKEND();
    QFETCH(int, blockRows);
    QFETCH(int, keptBlocks);
    Harness h(backend);
    QVERIFY(h.openDatabase());
    const QStringList lines = storeSales(61, 30);
    const Days day{kDay, kDay};

    // Line items: the lines of a sale share its key and stay together, the
    // sale of 20 lines in a block of its own when blocks are smaller.
    ReportModel items(nullptr, blockRows, keptBlocks);
    items.setQuery(lineItemsReport(day, QString(), QString()));
    fetchAll(items);
    QCOMPARE(columnOf(items, 2), lines);
    QVERIFY2(items.rowsInMemory() <= keptBlocks * qMax(blockRows, 20),
             qPrintable(QString::number(items.rowsInMemory())));
    // Blocks let go come back the same, from either end.
    QCOMPARE(items.index(0, 2).data().toString(), lines.first());
    QCOMPARE(items.index(int(lines.size()) - 1, 2).data().toString(), lines.last());
    QCOMPARE(columnOf(items, 2), lines);

    // Sales: four share each second, so the number decides among them.
    const QStringList ids = [] {
        QStringList out;
        Sql s(u"SELECT id FROM con ORDER BY id DESC"_s);
        s.exec();
        while (s.next())
            out << s.text(0);
        return out;
    }();
    ReportModel sales(nullptr, blockRows, keptBlocks);
    sales.setQuery(salesReport(day, QString(), QString()));
    fetchAll(sales);
    QCOMPARE(columnOf(sales, 0), ids);
    QCOMPARE(sales.value(0, 5).value<Amount>(), Amount(61)); // typed as read
    QCOMPARE(sales.index(0, 5).data().toString(), u"61元"_s);

    // The walk of an export reads the same rows in any block size.
    QStringList walked;
    forEachRow(
        lineItemsReport(day, QString(), QString()),
        [&](const Values &v) {
            walked << v[2].toString();
            return true;
        },
        blockRows);
    QCOMPARE(walked, lines);
    QCOMPARE(countRows(lineItemsReport(day, QString(), QString())), qint64(lines.size()));
}

void TstReportModel::emptyAndComputed()
{
    Harness h;
    QVERIFY(h.openDatabase());
    ReportModel m;
    m.setColumns(salesReport({}, {}, {}).columns);
    QCOMPARE(m.columnCount(), 9);
    QCOMPARE(m.headerData(5, Qt::Horizontal).toString(), u"消费金额"_s);
    m.setQuery(salesReport({kDay, kDay}, QString(), QString()));
    QCOMPARE(m.rowCount(), 0);
    QVERIFY(!m.canFetchMore({}));
    m.setQuery(dailyTurnover(kDay, kDay.addDays(2)));
    QCOMPARE(m.rowCount(), 3);
    QVERIFY(!m.canFetchMore({}));
    QCOMPARE(m.index(2, 0).data().toString(), kDay.addDays(2).toString(u"yyyy-MM-dd"_s));
    QCOMPARE(m.index(2, 1).data().toString(), u"0元"_s);
    m.clear();
    QCOMPARE(m.rowCount(), 0);
    QCOMPARE(m.columnCount(), 5); // the headings stay
}

void TstReportModel::reportsLeftHalfway()
{
    // On the server the rows after the first block come from a statement of
    // the report's own: a report closed or run again halfway lets go of it
    // and its connection, the next one reads rightly, and connections do
    // not pile up.
    LT_NEED_POSTGRES();
    Harness h(Backend::Postgres);
    QVERIFY(h.openDatabase());
    const QStringList lines = storeSales(61, 30);
    const Days day{kDay, kDay};
    auto streams = [] {
        return QSqlDatabase::connectionNames().filter(u"lanting-report-"_s).size();
    };
    for (int round = 0; round < 8; ++round) {
        ReportModel m(nullptr, 7, 3);
        m.setQuery(lineItemsReport(day, QString(), QString()));
        m.fetchMore({});
        QVERIFY(m.canFetchMore({})); // left halfway
        if (round % 2)
            m.setQuery(lineItemsReport(day, QString(), QString()));
        else
            m.clear();
        ReportModel whole(nullptr, 7, 3);
        whole.setQuery(lineItemsReport(day, QString(), QString()));
        fetchAll(whole);
        QCOMPARE(columnOf(whole, 2), lines);
    }
    QVERIFY2(streams() <= 5, qPrintable(QString::number(streams())));
}

QTEST_MAIN(TstReportModel)
#include "tst_reportmodel.moc"
