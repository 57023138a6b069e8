// The till and the reports at a chain's history: 1 000 000 members,
// 5 000 000 sales with 15 000 000 lines over two years, 5 000 goods and
// 1 000 000 recharges, in the embedded file.
//
// Each operation runs through the program's own functions and, in the same
// run, as the best hand-written query for the same answer (the floor); the
// table gives the medians, their ratio and the program's peak memory. The
// data is generated once into a cache outside the repository
// ($LANTING_BENCH_CACHE, else ~/.cache/lanting-bench) and reused.
//
//   scripts/bench.sh            builds with optimisation and runs this
//   LANTING_BENCH_SCALE=0.05    a twentieth of the data, for a quick look
//   LANTING_BENCH_TABLE=FILE    also writes the table (Markdown) to FILE
//   LANTING_BENCH_README=FILE   puts it into FILE between its table markers
//   --generate                  only makes the data (when it is not there)
//   --path                      prints where the data is kept
//
// With LANTING_BENCH_PG=postgresql://... the same operations run on that
// server, the data copied there from the embedded file first
// (scripts/bench.sh --postgres does all of it); --schema only makes the
// program's tables there, for the copy.

#include "amounts.h"
#include "appstate.h"
#include "database.h"
#include "memberlist.h"
#include "memberlookup.h"
#include "peakmemory.h"
#include "programfolder.h"
#include "reminders.h"
#include "reportmodel.h"
#include "reportqueries.h"
#include "secrets.h"
#include "settlement.h"
#include "summary.h"
#include "xlsbook.h"
#include "xlsxexport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <functional>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using lanting::bench::peakKiB;
using lanting::bench::resetPeak;

namespace
{

double scale()
{
    const double s = qEnvironmentVariable("LANTING_BENCH_SCALE", u"1"_s).toDouble();
    return s > 0 ? s : 1;
}

struct Size {
    qint64 members, sales, recharges, goods;
};

Size size()
{
    const double s = scale();
    return {qint64(1000000 * s), qint64(5000000 * s), qint64(1000000 * s),
            std::max<qint64>(50, qint64(5000 * std::min(1.0, s * 4)))};
}

const QDate kFirstDay(2025, 1, 1);
constexpr int kDays = 730; // two years
const QString kNoCard = u"000000000000"_s;

QString card(qint64 i)
{
    return QString::number(100000000000LL + i);
}

QString goodsCode(int g)
{
    return u"69%1"_s.arg(g, 11, 10, QChar(u'0'));
}

const QStringList kFamily{u"王"_s, u"李"_s, u"张"_s, u"刘"_s, u"陈"_s, u"杨"_s, u"赵"_s, u"黄"_s,
                          u"周"_s, u"吴"_s, u"徐"_s, u"孙"_s, u"胡"_s, u"朱"_s, u"高"_s, u"林"_s};
const QString kGiven = u"伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平刚桂英华玉兰萍红建国志文"_s;

QString nameOf(qint64 i)
{
    QString n = kFamily[i % kFamily.size()];
    n += kGiven[(i / 16) % kGiven.size()];
    if (i % 3)
        n += kGiven[(i / 7 + 11) % kGiven.size()];
    return n;
}

QString telOf(qint64 i)
{
    return u"139%1"_s.arg(i, 8, 10, QChar(u'0'));
}

QString when(qint64 secondsFromStart)
{
    return QDateTime(kFirstDay, QTime(0, 0))
        .addSecs(secondsFromStart)
        .toString(u"yyyy-MM-dd HH:mm:ss"_s);
}

bool exec(QSqlQuery &q)
{
    if (q.exec())
        return true;
    qFatal("%s", qPrintable(q.lastError().text()));
}

void fill();

// Builds the data file with the program's own schema, rows straight in the
// stored form of the embedded file (amounts as ten-thousandths).
void generate(const QString &path)
{
    const Size n = size();
    QTextStream(stdout) << "Generating " << path << " (" << n.members << " members, " << n.sales
                        << " sales) ...\n";
    QFile::remove(path);
    DbConfig c;
    c.sqlitePath = path + u".part"_s;
    QFile::remove(c.sqlitePath);
    QString error;
    if (!Database::open(c, &error))
        qFatal("%s", qPrintable(error));
    fill();
    Database::close();
    if (!QFile::rename(c.sqlitePath, path))
        qFatal("cannot move the generated file into place");
}

void fill()
{
    const Size n = size();
    QSqlDatabase db = Database::connection();
    QSqlQuery q(db);
    q.exec(u"PRAGMA journal_mode = OFF"_s);
    q.exec(u"PRAGMA synchronous = OFF"_s);
    q.exec(u"PRAGMA cache_size = -1000000"_s);
    db.transaction();
    QRandomGenerator rnd(20261210);
    const QStringList levels{u"普通会员"_s, u"银卡"_s, u"金卡"_s, u"钻石卡"_s, u"员工"_s};
    q.prepare(u"INSERT INTO lv (name, zk, jf) VALUES (?, ?, ?)"_s);
    for (int i = 0; i < levels.size(); ++i) {
        q.addBindValue(levels[i]);
        q.addBindValue(qlonglong(1000000 - 50000 * i));
        q.addBindValue(qlonglong(10000000LL * i));
        exec(q);
    }
    q.prepare(
        u"INSERT INTO sp (spid, name, lb, dw, jj, sj, jf, zt, kc) VALUES (?, ?, ?, '件', ?, ?, 0, 1, ?)"_s);
    for (int g = 1; g <= n.goods; ++g) {
        const qint64 price = 10000 + rnd.bounded(2000000);
        q.addBindValue(goodsCode(g));
        q.addBindValue(u"商品%1号"_s.arg(g));
        q.addBindValue(u"类别%1"_s.arg(g % 40));
        q.addBindValue(qlonglong(price * 6 / 10));
        q.addBindValue(qlonglong(price));
        q.addBindValue(qlonglong(10000000000LL));
        exec(q);
    }
    q.prepare(
        u"INSERT INTO mber (id, name, sex, lv, tel, zjlx, zjhm, pwd, csny, booljzrq, jzrq, ye, jf, "
        u"st,"
        u" ljxfje, ljxfcs, ljczje, createtime) VALUES (?, ?, ?, ?, ?, '身份证', ?, ?, ?, 0, ?, ?, ?, ?, 0, 0, ?, ?)"_s);
    // One hash for every member: the salt repeats, the cost of a check does not change.
    const QString pwd = hashSecret(u"123"_s, SecretUse::Card);
    for (qint64 i = 1; i <= n.members; ++i) {
        q.addBindValue(card(i));
        q.addBindValue(nameOf(i));
        q.addBindValue(int(i % 3));
        q.addBindValue(levels[i % levels.size()]);
        q.addBindValue(telOf(i));
        q.addBindValue(u"4401%1"_s.arg(i, 14, 10, QChar(u'0')));
        q.addBindValue(pwd);
        q.addBindValue(
            QDate(1950, 1, 1).addDays(rnd.bounded(20000)).toString(u"yyyy-MM-dd 00:00:00"_s));
        q.addBindValue(when(0));
        q.addBindValue(qlonglong(rnd.bounded(10000000)));
        q.addBindValue(qlonglong(rnd.bounded(100000) * 10000));
        q.addBindValue(i % 100 == 0 ? 2 : 0);
        q.addBindValue(qlonglong(rnd.bounded(100000000)));
        q.addBindValue(when(rnd.bounded(kDays * 86400)));
        exec(q);
    }
    QSqlQuery line(db);
    line.prepare(
        u"INSERT INTO xiangxi (conid, spid, spmc, dj, zk, zhdj, sl, jf, je) VALUES (?, ?, ?, ?, 1000000, ?, ?, 0, ?)"_s);
    q.prepare(
        u"INSERT INTO con (id, mberid, boolsp, czkfk, xjfk, jf, createtime, czy, ps) VALUES (?, ?, ?, ?, ?, ?, ?, ?, '')"_s);
    const QStringList operators{u"admin"_s, u"小王"_s, u"小李"_s, u"小张"_s};
    const double spacing = double(kDays) * 86400 / n.sales;
    for (qint64 s = 1; s <= n.sales; ++s) {
        const bool walkIn = s % 10 == 0;
        const bool goods = s % 7 != 0;
        qint64 total = 0;
        const int lines = goods ? 1 + int(rnd.bounded(5)) : 0; // three on average
        for (int l = 0; l < lines; ++l) {
            const int g = 1 + int(rnd.bounded(int(n.goods)));
            const qint64 price = 10000 + (g * 7919) % 2000000;
            const qint64 quantity = 1 + rnd.bounded(3);
            line.addBindValue(s);
            line.addBindValue(goodsCode(g));
            line.addBindValue(u"商品%1号"_s.arg(g));
            line.addBindValue(qlonglong(price));
            line.addBindValue(qlonglong(price));
            line.addBindValue(qlonglong(quantity * 10000));
            line.addBindValue(qlonglong(price * quantity));
            exec(line);
            total += price * quantity;
        }
        if (!goods)
            total = 10000 * (1 + rnd.bounded(500));
        const qint64 byCard = walkIn ? 0 : (rnd.bounded(2) ? total : 0);
        q.addBindValue(s);
        q.addBindValue(walkIn ? kNoCard : card(1 + rnd.bounded(n.members)));
        q.addBindValue(goods ? 1 : 0);
        q.addBindValue(qlonglong(byCard));
        q.addBindValue(qlonglong(total - byCard));
        q.addBindValue(qlonglong(total / 10000));
        q.addBindValue(when(qint64(s * spacing)));
        q.addBindValue(operators[s % operators.size()]);
        exec(q);
    }
    q.prepare(u"INSERT INTO czjl (mberid, mbername, mberlb, ssje, czje, yhsm, czy, createtime, ps)"
              u" VALUES (?, ?, ?, ?, ?, '不在充值规则范围内。', ?, ?, '')"_s);
    const qint64 rechargeSpacing = qint64(kDays) * 86400 / n.recharges;
    for (qint64 r = 1; r <= n.recharges; ++r) {
        const qint64 m = 1 + rnd.bounded(n.members);
        const qint64 paid = 10000 * (50 + rnd.bounded(1000));
        q.addBindValue(card(m));
        q.addBindValue(nameOf(m));
        q.addBindValue(levels[m % levels.size()]);
        q.addBindValue(qlonglong(paid));
        q.addBindValue(qlonglong(paid + paid / 10));
        q.addBindValue(operators[r % operators.size()]);
        q.addBindValue(when(r * rechargeSpacing));
        exec(q);
    }
    q.prepare(
        u"INSERT INTO thjl (conid, mberid, mbername, mberlb, je, thfs, czy, createtime, ps) VALUES (?, ?, '', '', ?, ?, 'admin', ?, '')"_s);
    for (qint64 r = 1; r <= n.sales / 100; ++r) {
        const qint64 s = 1 + rnd.bounded(n.sales);
        q.addBindValue(s);
        q.addBindValue(card(1 + rnd.bounded(n.members)));
        q.addBindValue(qlonglong(10000));
        q.addBindValue(rnd.bounded(2));
        q.addBindValue(when(qint64(s * spacing) + 3600));
        exec(q);
    }
    q.prepare(
        u"INSERT INTO syslog (czy, czlx, cznr, createtime) VALUES ('admin', '修改商品信息', ?, ?)"_s);
    const qint64 logs = n.members / 10, logSpacing = qint64(kDays) * 86400 / logs;
    for (qint64 r = 1; r <= logs; ++r) {
        q.addBindValue(u"修改了商品编号为[%1]的商品信息。"_s.arg(goodsCode(1 + int(r % n.goods))));
        q.addBindValue(when(r * logSpacing));
        exec(q);
    }
    db.commit();
}

// The floor's own helper: a trigram index of card numbers and names, kept
// apart from the program's tables.
void floorHelpers()
{
    QSqlQuery q(Database::connection());
    if (q.exec(u"SELECT 1 FROM sqlite_master WHERE name = 'bench_trgm'"_s) && q.next())
        return;
    QTextStream(stdout) << "Building the floor's trigram index ...\n";
    q.exec(u"CREATE VIRTUAL TABLE bench_trgm USING fts5(id, name, tokenize = 'trigram')"_s);
    q.exec(u"INSERT INTO bench_trgm (rowid, id, name) SELECT rowid, id, name FROM mber"_s);
}

struct Times {
    double median = 0, p95 = 0;
};

Times timesMs(int runs, const std::function<void()> &op)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        op();
        times << t.nsecsElapsed() / 1e6;
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times[qMin(times.size() - 1, qsizetype(times.size() * 0.95))]};
}

// Reads every row and every column of a statement, as a list would.
qint64 drain(const QString &sql, const QVariantList &values = {})
{
    QSqlQuery q(Database::connection());
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    exec(q);
    qint64 rows = 0;
    const int columns = q.record().count();
    while (q.next()) {
        for (int c = 0; c < columns; ++c)
            q.value(c);
        ++rows;
    }
    return rows;
}

QVariant day(const QDate &d, bool end = false)
{
    return Database::dt(QDateTime(d, end ? QTime(23, 59, 59) : QTime(0, 0)));
}

struct Result {
    QString operation;
    double program = 0, p95 = 0, floor = 0;
    qint64 peakMiB = 0;
};

// What a report's list does when scrolled to its very end: every block read,
// those far behind let go. Returns the rows.
qint64 scrollToEnd(const reports::ReportQuery &q)
{
    reports::ReportModel m;
    m.setQuery(q);
    while (m.canFetchMore({}))
        m.fetchMore({});
    return m.rowCount();
}

// What a report's list shows first: its first block, the first screen of
// cells formatted.
void firstScreen(const reports::ReportQuery &q)
{
    reports::ReportModel m;
    m.setQuery(q);
    for (int r = 0; r < qMin(40, m.rowCount()); ++r)
        for (int c = 0; c < m.columnCount(); ++c)
            m.index(r, c).data();
}

} // namespace

int main(int argc, char **argv)
{
    keepTimeZoneLoaded(); // as the program does at start
    QCoreApplication app(argc, argv);
    const QString cacheDir =
        qEnvironmentVariable("LANTING_BENCH_CACHE", QDir::homePath() + u"/.cache/lanting-bench"_s);
    QDir().mkpath(cacheDir);
    // Named by the data it holds; a newer program migrates it on opening.
    const QString path = u"%1/scale-data3-%2.qdb"_s.arg(cacheDir).arg(scale());
    if (app.arguments().contains(u"--path"_s)) {
        QTextStream(stdout) << path << '\n';
        return 0;
    }
    if (!QFileInfo::exists(path))
        generate(path);
    if (app.arguments().contains(u"--generate"_s))
        return 0; // the data only, for a later run
    const QString server = qEnvironmentVariable("LANTING_BENCH_PG");
    const bool pg = !server.isEmpty();
    QString error;
    DbConfig c;
    c.sqlitePath = path;
    if (pg) {
        const auto url = DbConfig::fromUrl(server, &error);
        if (!url)
            qFatal("%s", qPrintable(error));
        c = *url;
    }
    if (!Database::open(c, &error))
        qFatal("%s", qPrintable(error));
    if (app.arguments().contains(u"--schema"_s))
        return 0;
    if (pg) {
        QSqlQuery loaded(Database::connection());
        if (!loaded.exec(u"SELECT 1 FROM bench_loaded"_s) || !loaded.next())
            qFatal("The server holds no benchmark data: run scripts/bench.sh --postgres");
    } else {
        floorHelpers();
    }
    state().operatorName = u"admin"_s;
    state().decimals = 2;
    const Size n = size();
    QRandomGenerator rnd(7);
    // The periods end on the last whole day of the data.
    const QDate lastDay =
        Database::toDt(scalar(u"SELECT max(createtime) FROM con"_s)).date().addDays(-1);
    const QDate aMonth = lastDay.addDays(-30);
    const QDate aYear = lastDay.addDays(-364);
    QList<Result> results;
    // Only the operations whose name holds this text, when given.
    const QString only = qEnvironmentVariable("LANTING_BENCH_ONLY");
    auto measure = [&](const QString &name, int runs, const std::function<void()> &program,
                       const std::function<void()> &floor) {
        QTextStream(stdout) << name << " ..." << Qt::flush;
        if (!only.isEmpty() && !name.contains(only))
            return;
        Result r{name};
        resetPeak();
        const Times t = timesMs(runs, program);
        r.program = t.median;
        r.p95 = t.p95;
        r.peakMiB = peakKiB() / 1024;
        r.floor = timesMs(runs, floor).median;
        QTextStream(stdout) << " " << r.program << " ms, floor " << r.floor << " ms\n";
        results << r;
    };
    auto someCard = [&] { return card(1 + rnd.bounded(n.members)); };

    // Substrings by a trigram index: the floor's own FTS5 table on SQLite,
    // the program's pg_trgm indexes on PostgreSQL.
    const QString lookup =
        pg ? u"SELECT id, name, lv FROM mber WHERE lower(id) LIKE ? OR tel = ? ORDER BY id LIMIT 14"_s
           : u"SELECT id, name, lv FROM mber WHERE rowid IN ("
             u"SELECT rowid FROM bench_trgm WHERE bench_trgm MATCH ? UNION "
             u"SELECT rowid FROM mber WHERE tel = ?) ORDER BY id LIMIT 14"_s;
    auto idPattern = [&](const QString &t) {
        return pg ? u"%"_s + t + u"%"_s : u"id : \"%1\""_s.arg(t);
    };
    // A whole card swiped, or a whole telephone number typed, is looked for
    // as every typed text is: the floor answers the same, card numbers and
    // names holding it and the telephone (on SQLite by the trigrams of its
    // last six digits, checked whole).
    auto wholeNumber = [&](const QString &t) {
        if (pg)
            drain(lookup, {idPattern(t), t});
        else
            drain(u"SELECT id, name, lv FROM mber WHERE rowid IN (SELECT rowid FROM bench_trgm"
                  u" WHERE bench_trgm MATCH ?) AND instr(id, ?) > 0"
                  u" UNION SELECT id, name, lv FROM mber WHERE tel = ? ORDER BY id LIMIT 14"_s,
                  {idPattern(t.right(6)), t, t});
    };
    measure(
        u"swipe of a whole card number"_s, 21, [&] { members::findMembers(someCard(), false); },
        [&] { wholeNumber(someCard()); });
    auto cardPart = [&] { return someCard().mid(4, 6); };
    measure(
        u"typed part of a card number"_s, 21, [&] { members::findMembers(cardPart(), false); },
        [&] {
            const QString t = cardPart();
            drain(lookup, {idPattern(t), t});
        });
    auto namePart = [&] { return nameOf(1 + rnd.bounded(n.members)).right(2); };
    measure(
        u"typed part of a name"_s, 21, [&] { members::findMembers(namePart(), false); },
        [&] {
            const QString t = namePart();
            // On the server the same answer as the program's: two characters
            // are too short for trigrams, so card numbers, names and the
            // telephone in card order until fourteen are found.
            if (pg)
                drain(u"SELECT id, name, lv FROM mber WHERE lower(id) LIKE ? OR lower(name) LIKE ?"
                      u" OR tel = ? ORDER BY id LIMIT 14"_s,
                      {u"%"_s + t + u"%"_s, u"%"_s + t + u"%"_s, t});
            else
                drain(u"SELECT id, name, lv FROM mber WHERE rowid IN (SELECT rowid FROM bench_trgm"
                      u" WHERE name LIKE ?) ORDER BY id LIMIT 14"_s,
                      {u"%"_s + t + u"%"_s});
        });
    auto tel = [&] { return telOf(1 + rnd.bounded(n.members)); };
    measure(
        u"typed whole telephone number"_s, 21, [&] { members::findMembers(tel(), false); },
        [&] { wholeNumber(tel()); });

    const QString history =
        u"SELECT id, createtime, czkfk, xjfk, jf, czy, ps FROM con WHERE mberid = ?"
        u" ORDER BY createtime DESC, id DESC LIMIT 100"_s;
    // The panel's four lists: sales, recharges, reminders, points exchanges.
    const QStringList histories{
        history,
        u"SELECT id, createtime, ssje, czje, yhsm, czy, ps FROM czjl WHERE mberid = ?"
        u" ORDER BY createtime DESC, id DESC LIMIT 100"_s,
        u"SELECT id, txsj, lx, ps, czy FROM sjtx WHERE mberid = ? ORDER BY id"_s,
        u"SELECT id, createtime, jf, ps, czy FROM dhjl WHERE mberid = ?"
        u" ORDER BY createtime DESC, id DESC LIMIT 100"_s};
    measure(
        u"member panel, a member"_s, 11,
        [&] {
            const QString m = someCard();
            members::readMember(m);
            members::readHistory(m);
            members::consumptionTotals(m);
        },
        [&] {
            const QString m = someCard();
            drain(u"SELECT * FROM mber WHERE id = ?"_s, {m});
            for (const QString &h : histories)
                drain(h, {m});
            drain(u"SELECT sum(czkfk + xjfk), count(*) FROM con WHERE mberid = ?"_s, {m});
        });
    // The no-card customer's first screen is up before the sum over its
    // half a million sales is asked for.
    measure(
        u"member panel, the no-card customer, first screen"_s, 5,
        [&] {
            members::readMember(kNoCard);
            members::readHistory(kNoCard);
        },
        [&] {
            drain(u"SELECT * FROM mber WHERE id = ?"_s, {kNoCard});
            for (const QString &h : histories)
                drain(h, {kNoCard});
        });
    measure(
        u"member panel, the no-card customer's totals"_s, 5,
        [&] { members::consumptionTotals(kNoCard); },
        [&] {
            drain(u"SELECT sum(czkfk + xjfk), count(*) FROM con WHERE mberid = ?"_s, {kNoCard});
        });
    const int lastPage =
        int((n.members * 99 / 100 + members::kListPageSize - 1) / members::kListPageSize);
    const QString listColumns =
        u"SELECT id, name, sex, lv, ljxfje, ljxfcs, ye, jf, ljczje, tel, ps FROM mber"_s;
    measure(
        u"member list, first page"_s, 11,
        [&] { members::memberListPage(members::MemberFilter::search(QString(), QString()), 1); },
        [&] { drain(listColumns + u" WHERE st = 0 ORDER BY id LIMIT 32"_s); });
    // The last page, reached by paging down: it starts after the last member
    // of the page before.
    QString beforeLastPage, lastPageStart;
    {
        QSqlQuery q(Database::connection());
        q.prepare(u"SELECT id FROM mber WHERE st = 0 ORDER BY id LIMIT 2 OFFSET ?"_s);
        q.addBindValue((lastPage - 1) * members::kListPageSize - 1);
        if (q.exec() && q.next()) {
            beforeLastPage = q.value(0).toString();
            if (q.next())
                lastPageStart = q.value(0).toString();
        }
    }
    measure(
        u"member list, paging down to the last page"_s, 5,
        [&] {
            members::memberListPage(members::MemberFilter::search(QString(), QString()), lastPage,
                                    beforeLastPage);
        },
        [&] {
            drain(listColumns + u" WHERE st = 0 AND id >= ? ORDER BY id LIMIT 32"_s,
                  {lastPageStart});
        });
    // The disabled members are listed at the page the list was on, which no
    // page button led to: that page is counted from the first, by the floor
    // too.
    const int disabledPages =
        int((n.members / 100 + members::kListPageSize - 1) / members::kListPageSize);
    measure(
        u"member list, the disabled members at their last page"_s, 5,
        [&] { members::memberListPage(members::MemberFilter::disabled(), disabledPages); },
        [&] {
            drain(listColumns + u" WHERE st = 2 ORDER BY id LIMIT 32 OFFSET ?"_s,
                  {(disabledPages - 1) * members::kListPageSize});
        });
    auto part = [&] { return someCard().mid(5, 4); };
    measure(
        u"member list, part of a card number"_s, 11,
        [&] { members::memberListPage(members::MemberFilter::search(part(), QString()), 1); },
        [&] {
            const QString t = part();
            drain(
                listColumns +
                    (pg ? u" WHERE lower(id) LIKE ?"_s
                        : u" WHERE rowid IN (SELECT rowid FROM bench_trgm WHERE bench_trgm MATCH ?)"_s) +
                    u" AND st = 0 ORDER BY id LIMIT 32"_s,
                {idPattern(t)});
        });
    measure(
        u"birthday reminder at login"_s, 3, [&] { members::birthdaysWithin(7, lastDay); },
        [&] {
            // The seven month-days by the program's own index.
            QVariantList days;
            for (int d = 0; d < 7; ++d)
                days << lastDay.addDays(d).month() * 100 + lastDay.addDays(d).day();
            drain(u"SELECT id, name, sex, lv, csny FROM mber WHERE "_s +
                      Database::monthDayOf(u"csny"_s, Database::backend()) +
                      u" IN (?, ?, ?, ?, ?, ?, ?)"_s,
                  days);
        });

    const QString goodsFloor =
        u"SELECT x.spid, s.lb, max(x.spmc), s.dw, s.jj, sum(x.sl), sum(x.je) FROM con c"
        u" JOIN xiangxi x ON x.conid = c.id LEFT JOIN sp s ON s.spid = x.spid"
        u" WHERE c.createtime BETWEEN ? AND ? GROUP BY x.spid, s.lb, s.dw, s.jj"_s;
    for (const auto &[label, from, runs] :
         {std::tuple{u"day"_s, lastDay, 5}, std::tuple{u"month"_s, aMonth, 3},
          std::tuple{u"year"_s, aYear, 1}}) {
        const reports::Days days{from, lastDay};
        measure(
            u"goods statistics, one "_s + label, runs,
            [&] { scrollToEnd(reports::goodsStatistics(days, QString(), QString())); },
            [&] {
                drain(goodsFloor, {day(from), day(lastDay, true)});
            });
    }
    const QString salesFloor =
        u"SELECT c.id, c.createtime, c.mberid, m.name, m.lv, c.xjfk + c.czkfk, c.jf, c.czy, c.ps"
        u" FROM con c LEFT JOIN mber m ON m.id = c.mberid WHERE c.createtime BETWEEN ? AND ?"
        u" ORDER BY c.createtime DESC, c.id DESC"_s;
    const QString linesFloor =
        u"SELECT c.createtime, x.spid, x.spmc, c.mberid, m.name, m.lv, x.dj, x.zk, x.zhdj, x.sl, "
        u"x.je"
        u" FROM con c JOIN xiangxi x ON x.conid = c.id LEFT JOIN mber m ON m.id = c.mberid"
        u" WHERE c.createtime BETWEEN ? AND ? ORDER BY c.createtime DESC, c.id DESC"_s;
    for (const auto &[label, from, runs] :
         {std::tuple{u"day"_s, lastDay, 5}, std::tuple{u"month"_s, aMonth, 3},
          std::tuple{u"year"_s, aYear, 1}}) {
        const reports::Days days{from, lastDay};
        const QVariantList period{day(from), day(lastDay, true)};
        if (label != u"day"_s) {
            measure(
                u"sales report, one "_s + label + u", first screen"_s, 5,
                [&] { firstScreen(reports::salesReport(days, QString(), QString())); },
                [&] { drain(salesFloor + u" LIMIT 40"_s, period); });
            measure(
                u"line items, one "_s + label + u", first screen"_s, 5,
                [&] { firstScreen(reports::lineItemsReport(days, QString(), QString())); },
                [&] { drain(linesFloor + u" LIMIT 40"_s, period); });
        }
        measure(
            u"sales report, one "_s + label + u", every row"_s, runs,
            [&] { scrollToEnd(reports::salesReport(days, QString(), QString())); },
            [&] { drain(salesFloor, period); });
        measure(
            u"line items, one "_s + label + u", every row"_s, runs,
            [&] { scrollToEnd(reports::lineItemsReport(days, QString(), QString())); },
            [&] { drain(linesFloor, period); });
    }
    const reports::Days year{aYear, lastDay};
    // The reports panel's first page: a day and the same weekday of the week
    // before, figure by figure.
    measure(
        u"today's summary, a day and last week's"_s, 11,
        [&] {
            reports::dayFigures(lastDay);
            reports::dayFigures(lastDay.addDays(-7));
        },
        [&] {
            for (const QDate d : {lastDay, lastDay.addDays(-7)}) {
                const QVariantList span{day(d), day(d, true)};
                drain(u"SELECT sum(czkfk), sum(xjfk), count(*) FROM con"
                      u" WHERE createtime BETWEEN ? AND ?"_s,
                      span);
                drain(u"SELECT sum(je) FROM thjl WHERE createtime BETWEEN ? AND ?"_s, span);
                drain(u"SELECT sum(ssje), sum(czje) FROM czjl WHERE createtime BETWEEN ? AND ?"_s,
                      span);
                drain(u"SELECT count(*) FROM mber WHERE createtime BETWEEN ? AND ?"_s, span);
                drain(u"SELECT x.spid, sum(x.je) FROM con c JOIN xiangxi x ON x.conid = c.id"
                      u" WHERE c.createtime BETWEEN ? AND ? GROUP BY x.spid"
                      u" ORDER BY 2 DESC LIMIT 5"_s,
                      span);
            }
        });
    measure(
        u"daily turnover, one year"_s, 1,
        [&] { scrollToEnd(reports::dailyTurnover(aYear, lastDay)); },
        [&] {
            const QString d = Database::dayOf(u"createtime"_s);
            drain(u"SELECT "_s + d +
                      u", sum(czkfk), sum(xjfk) FROM con"
                      u" WHERE createtime BETWEEN ? AND ? GROUP BY 1"_s,
                  {day(aYear), day(lastDay, true)});
            drain(u"SELECT "_s + d +
                      u", sum(je) FROM thjl"
                      u" WHERE createtime BETWEEN ? AND ? GROUP BY 1"_s,
                  {day(aYear), day(lastDay, true)});
        });
    measure(
        u"recharge records, one year"_s, 1,
        [&] { scrollToEnd(reports::rechargeRecords(year, QString(), QString(), QString())); },
        [&] {
            drain(
                u"SELECT createtime, mberid, mbername, mberlb, ssje, czje, yhsm, czy, ps FROM czjl"
                u" WHERE createtime BETWEEN ? AND ? ORDER BY id"_s,
                {day(aYear), day(lastDay, true)});
        });
    measure(
        u"operation log, one year"_s, 1, [&] { scrollToEnd(reports::logEntries(year, QString())); },
        [&] {
            drain(u"SELECT czy, czlx, cznr, createtime FROM syslog WHERE createtime BETWEEN ? AND ?"
                  u" ORDER BY id"_s,
                  {day(aYear), day(lastDay, true)});
        });
    measure(
        u"balances of all members"_s, 1, [&] { scrollToEnd(reports::allBalances()); },
        [&] { drain(u"SELECT id, name, ye FROM mber ORDER BY id"_s); });

    // Exports of 100 000 and 1 000 000 rows (the balances), against reading
    // the same rows: the file written as the rows come, in constant memory.
    {
        QTemporaryDir out;
        for (const qint64 rows : {qint64(100000), n.members}) {
            reports::ReportQuery q = reports::allBalances();
            q.where(u"id <= ?"_s, {card(rows)});
            const QString label = rows == 100000 ? u"100 000"_s : u"1 000 000"_s;
            measure(
                u"export of %1 rows, CSV"_s.arg(label), 1,
                [&] {
                    if (!reports::writeCsv(out.filePath(u"a.csv"_s), reports::exportTable(q))
                             .isEmpty())
                        qFatal("export failed");
                },
                [&] {
                    drain(u"SELECT id, name, ye FROM mber WHERE id <= ? ORDER BY id"_s,
                          {card(rows)});
                });
            measure(
                u"export of %1 rows, .xlsx"_s.arg(label), 1,
                [&] {
                    if (!reports::writeXlsx(out.filePath(u"a.xlsx"_s), u"余额"_s,
                                            reports::exportTable(q), 2)
                             .isEmpty())
                        qFatal("export failed");
                },
                [&] {
                    drain(u"SELECT id, name, ye FROM mber WHERE id <= ? ORDER BY id"_s,
                          {card(rows)});
                });
        }
        // The legacy workbook holds one sheet: as many rows as it takes.
        reports::ReportQuery q = reports::allBalances();
        q.where(u"id <= ?"_s, {card(65000)});
        measure(
            u"export of 65 000 rows, .xls"_s, 1,
            [&] {
                reports::Report r;
                r.title = u"余额"_s;
                r.columns = q.columns;
                reports::forEachRow(q, [&](const reports::Values &v) {
                    r.values << v.mid(0, q.columns.size());
                    return true;
                });
                const std::optional<QByteArray> book =
                    reports::fillTemplate(reports::defaultTemplate(), r);
                QFile f(out.filePath(u"a.xls"_s));
                if (!book || !f.open(QIODevice::WriteOnly) || f.write(*book) != book->size())
                    qFatal("export failed");
            },
            [&] {
                drain(u"SELECT id, name, ye FROM mber WHERE id <= ? ORDER BY id"_s, {card(65000)});
            });
    }

    // A 20-line card sale, durable as the program writes it (the file's own
    // journal and synchronous settings), kept out of the data afterwards.
    {
        QSqlQuery(Database::connection()).exec(u"DROP TABLE IF EXISTS bench_undo"_s);
        sales::SaleInput s;
        s.card = card(42);
        for (int l = 0; l < 20; ++l) {
            sales::BasketLine b;
            b.spid = goodsCode(1 + l);
            b.name = u"商品"_s;
            b.sj = b.zhdj = b.je = 1;
            b.sl = 1;
            s.lines << b;
        }
        s.total = 20;
        s.cardPart = 0;
        const int before = scalar(u"SELECT max(id) FROM con"_s).toInt();
        measure(
            u"a 20-line sale"_s, 21, [&] { sales::recordSale(s); },
            [&] {
                QSqlDatabase db = Database::connection();
                db.transaction();
                QSqlQuery q(db);
                q.prepare(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, jf, createtime, czy, ps)"
                          u" VALUES (?, ?, 0, ?, 0, ?, 'admin', '') RETURNING id"_s);
                q.addBindValue(s.card);
                q.addBindValue(true);
                q.addBindValue(Database::stored(Amount(20)));
                q.addBindValue(day(lastDay));
                exec(q);
                q.next();
                const QVariant id = q.value(0);
                q.prepare(u"INSERT INTO xiangxi (conid, spid, spmc, dj, zk, zhdj, sl, jf, je)"
                          u" VALUES (?, ?, '商品', ?, ?, ?, ?, 0, ?)"_s);
                const QVariant one = Database::stored(Amount(1)),
                               hundred = Database::stored(Amount(100));
                for (const auto &b : s.lines) {
                    q.addBindValue(id);
                    q.addBindValue(b.spid);
                    for (const QVariant &v : {one, hundred, one, one, one})
                        q.addBindValue(v);
                    exec(q);
                }
                db.commit();
            });
        Sql(u"DELETE FROM xiangxi WHERE conid > ?"_s).bind(before).exec();
        Sql(u"DELETE FROM con WHERE id > ?"_s).bind(before).exec();
    }

    QString table;
    QTextStream t(&table);
    auto ms = [](double v) { return QString::number(v, 'f', v < 10 ? 2 : 0) + u" ms"_s; };
    t << "| operation | program, median | program, 95th percentile | floor | ratio | peak memory "
         "|\n"
         "|---|---|---|---|---|---|\n";
    for (const Result &r : results)
        t << "| " << r.operation << " | " << ms(r.program) << " | " << ms(r.p95) << " | "
          << ms(r.floor) << " | " << QString::number(r.floor > 0 ? r.program / r.floor : 0, 'f', 1)
          << " | " << r.peakMiB << " MB |\n";
    t.flush();
    QTextStream(stdout) << "\n"
                        << (pg ? "PostgreSQL" : "SQLite") << ", scale " << scale() << ": "
                        << n.members << " members, " << n.sales << " sales, " << n.recharges
                        << " recharges, " << n.goods << " goods\n\n"
                        << table;
    // The README's table, between its two markers, when asked.
    const QString readme = qEnvironmentVariable("LANTING_BENCH_README");
    if (!readme.isEmpty()) {
        QFile f(readme);
        if (f.open(QIODevice::ReadOnly)) {
            QString text = QString::fromUtf8(f.readAll());
            f.close();
            const QString begin = pg ? u"<!-- bench_scale postgres table -->\n"_s
                                     : u"<!-- bench_scale table -->\n"_s,
                          end = u"<!-- end of table -->"_s;
            const qsizetype a = text.indexOf(begin), b = text.indexOf(end, a);
            if (a >= 0 && b > a && f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                text.replace(a + begin.size(), b - a - begin.size(), table);
                f.write(text.toUtf8());
            }
        }
    }
    const QString out = qEnvironmentVariable("LANTING_BENCH_TABLE");
    if (!out.isEmpty()) {
        QFile f(out);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(table.toUtf8());
    }
    Database::close();
    return 0;
}
