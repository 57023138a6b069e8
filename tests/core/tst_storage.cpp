// The database on both backends: what a first start delivers, the settings
// store, transactions, date-times, the shared procedures that write, and
// the refusal to touch a database that is not ours.

#include "appstate.h"
#include "database.h"
#include "harness.h"
#include "login.h"
#include "mod1.h"
#include "schema.h"
#include "secrets.h"
#include "sysinfo.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using test::Harness;

namespace
{

int count(const QString &sql, const QVariantList &values = {})
{
    return scalar(sql, values).toInt();
}

} // namespace

class TstStorage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstStartDelivers_data() { Harness::addBackendRows(); }
    void firstStartDelivers();
    void uniqueKeys_data() { Harness::addBackendRows(); }
    void uniqueKeys();
    void settingsStore_data() { Harness::addBackendRows(); }
    void settingsStore();
    void transactionAllOrNothing_data() { Harness::addBackendRows(); }
    void transactionAllOrNothing();
    void dateTimesToTheSecond_data() { Harness::addBackendRows(); }
    void dateTimesToTheSecond();
    void delCon_data() { Harness::addBackendRows(); }
    void delCon();
    void levelDiscount_data() { Harness::addBackendRows(); }
    void levelDiscount();
    void operationLog_data() { Harness::addBackendRows(); }
    void operationLog();
    void quotesAreData_data() { Harness::addBackendRows(); }
    void quotesAreData();
    void reopenKeepsData_data() { Harness::addBackendRows(); }
    void reopenKeepsData();
    void olderVersionMigrated_data() { Harness::addBackendRows(); }
    void olderVersionMigrated();
    void passwordsHashedOnUpgrade_data() { Harness::addBackendRows(); }
    void passwordsHashedOnUpgrade();
    void binaryAmountsBecomeExact_data() { Harness::addBackendRows(); }
    void binaryAmountsBecomeExact();
    void amountWithoutExactValueStopsMigration_data() { Harness::addBackendRows(); }
    void amountWithoutExactValueStopsMigration();
    void migrationRunsOnce_data() { Harness::addBackendRows(); }
    void migrationRunsOnce();
    void newerVersionRefused_data() { Harness::addBackendRows(); }
    void newerVersionRefused();

    void foreignFilesUntouched_data();
    void foreignFilesUntouched();
    void foreignServerDatabaseUntouched();
    void serverWaitsAreBounded();
    void configFromUrl_data();
    void configFromUrl();
};

void TstStorage::firstStartDelivers()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QString error;
    QVERIFY2(h.openDatabase(&error), qPrintable(error));

    for (const auto &[key, value] : schema::deliveredSettings())
        QVERIFY2(count(u"SELECT count(*) FROM sysinfo WHERE infokey = ?"_s, {key}) == 1,
                 qPrintable(key));
    QCOMPARE(count(u"SELECT count(*) FROM sysinfo"_s), int(schema::deliveredSettings().size()));
    QCOMPARE(GetSysInfo(u"klx"_s), u"1"_s);

    Sql admin(u"SELECT pwd, per FROM czy WHERE name = 'admin'"_s);
    admin.exec();
    QVERIFY(admin.next());
    QVERIFY(isHashed(admin.text(0)));
    QVERIFY(secretMatches(admin.text(0), u"860317"_s));
    QCOMPARE(admin.text(1), u"111111111111"_s);

    Sql walkIn(u"SELECT st, ye, jf FROM mber WHERE id = '000000000000'"_s);
    walkIn.exec();
    QVERIFY(walkIn.next());
    QCOMPARE(walkIn.integer(0), 0);
    QCOMPARE(walkIn.amount(1), 0.0);

    QCOMPARE(count(u"SELECT max(version) FROM schemaver"_s), Database::kSchemaVersion);
    // Every table is there and can be read.
    for (const QString &t : schema::tableNames())
        Sql(u"SELECT count(*) FROM "_s + t).exec();
}

void TstStorage::uniqueKeys()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    // Operator names are unique without regard to case.
    QVERIFY_THROWS_EXCEPTION(
        DbError, Sql(u"INSERT INTO czy (name, pwd, per) VALUES ('Admin', '', '')"_s).exec());
    QVERIFY_THROWS_EXCEPTION(
        DbError, Sql(u"INSERT INTO mber (id, name) VALUES ('000000000000', 'x')"_s).exec());
    Sql(u"INSERT INTO lv (name) VALUES ('金卡')"_s).exec();
    QVERIFY_THROWS_EXCEPTION(DbError, Sql(u"INSERT INTO lv (name) VALUES ('金卡')"_s).exec());
    Sql(u"INSERT INTO sp (spid, name) VALUES ('A1', 'x')"_s).exec();
    QVERIFY_THROWS_EXCEPTION(DbError,
                             Sql(u"INSERT INTO sp (spid, name) VALUES ('A1', 'y')"_s).exec());
    Sql(u"INSERT INTO spdz (spid, lv, zkl) VALUES ('A1', '金卡', 90)"_s).exec();
    QVERIFY_THROWS_EXCEPTION(
        DbError, Sql(u"INSERT INTO spdz (spid, lv, zkl) VALUES ('A1', '金卡', 80)"_s).exec());
    Sql(u"INSERT INTO splb (name) VALUES ('饮料')"_s).exec();
    QVERIFY_THROWS_EXCEPTION(DbError, Sql(u"INSERT INTO splb (name) VALUES ('饮料')"_s).exec());
}

void TstStorage::settingsStore()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    QCOMPARE(GetSysInfo(u"nosuchkey"_s), QString());
    const int before = count(u"SELECT count(*) FROM sysinfo"_s);
    SetSysInfo(u"nosuchkey"_s, u"1"_s);
    QCOMPARE(count(u"SELECT count(*) FROM sysinfo"_s), before);
    QCOMPARE(GetSysInfo(u"nosuchkey"_s), QString());

    SetSysInfo(u"fdmc"_s, u"东门店"_s);
    QCOMPARE(GetSysInfo(u"fdmc"_s), u"东门店"_s);

    Sql(u"UPDATE sysinfo SET keyvalue = NULL WHERE infokey = 'bt2'"_s).exec();
    QCOMPARE(GetSysInfo(u"bt2"_s), QString());
}

void TstStorage::transactionAllOrNothing()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    try {
        Transaction tx;
        Sql(u"INSERT INTO lv (name) VALUES ('银卡')"_s).exec();
        Sql(u"INSERT INTO lv (name) VALUES ('银卡')"_s).exec(); // duplicate: fails
        tx.commit();
        QFAIL("the duplicate was accepted");
    } catch (const DbError &) {
    }
    QCOMPARE(count(u"SELECT count(*) FROM lv"_s), 0);

    // A step that fails inside a nested write undoes the outer one too.
    try {
        Transaction outer;
        Sql(u"INSERT INTO lv (name) VALUES ('铜卡')"_s).exec();
        {
            Transaction inner;
            Sql(u"INSERT INTO nosuchtable VALUES (1)"_s).exec();
            inner.commit();
        }
        outer.commit();
        QFAIL("the failing step was accepted");
    } catch (const DbError &) {
    }
    QCOMPARE(count(u"SELECT count(*) FROM lv"_s), 0);

    {
        Transaction tx;
        Sql(u"INSERT INTO lv (name) VALUES ('金卡')"_s).exec();
        tx.commit();
    }
    QCOMPARE(count(u"SELECT count(*) FROM lv"_s), 1);
}

void TstStorage::dateTimesToTheSecond()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    const QDate day(2026, 3, 15);
    const QDateTime first(day, QTime(0, 0, 0));
    const QDateTime last(day, QTime(23, 59, 59, 750)); // milliseconds are dropped
    for (const QDateTime &t : {first, last, QDateTime(day.addDays(1), QTime(0, 0, 0))})
        Sql(u"INSERT INTO syslog (czy, czlx, cznr, createtime) VALUES ('a', 'b', 'c', ?)"_s)
            .bind(Database::dt(t))
            .exec();
    QCOMPARE(count(u"SELECT count(*) FROM syslog WHERE createtime BETWEEN ? AND ?"_s,
                   {Database::dt(first), Database::dt(QDateTime(day, QTime(23, 59, 59)))}),
             2);
    Sql q(u"SELECT createtime FROM syslog ORDER BY createtime"_s);
    q.exec();
    QVERIFY(q.next());
    QCOMPARE(Database::toDt(q.value(0)), first);
    QVERIFY(q.next());
    QCOMPARE(Database::toDt(q.value(0)), QDateTime(day, QTime(23, 59, 59)));
    QCOMPARE(Database::toDate(q.value(0)), day);
    // The day of what an older program or a hand may have stored.
    QCOMPARE(Database::toDate(u"2026-02-29 00:00:00"_s), QDate());
    QCOMPARE(Database::toDate(u"2024-02-29"_s), QDate(2024, 2, 29));
    QCOMPARE(Database::toDate(u"2026-03-15T08:09:10"_s), day);
    QCOMPARE(Database::toDate(u"１２３４-05-06"_s), QDate());
    QCOMPARE(Database::toDate(QVariant()), QDate());
}

void TstStorage::delCon()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    auto addSale = [](int lines) {
        Sql ins(A(
            u"INSERT INTO con (mberid, boolsp, czkfk, xjfk) VALUES ('000000000000', ?, {10}, 0) RETURNING id"_s));
        ins.bind(lines > 0).exec();
        ins.next();
        const int id = ins.integer(0);
        for (int i = 0; i < lines; ++i)
            Sql(A(u"INSERT INTO xiangxi (conid, spid, sl, je) VALUES (?, 'A1', {1}, {5})"_s))
                .bind(id)
                .exec();
        return id;
    };
    const int withLines = addSale(2);
    const int without = addSale(0);
    const int other = addSale(1);

    DelCon(withLines);
    QCOMPARE(count(u"SELECT count(*) FROM con WHERE id = ?"_s, {withLines}), 0);
    QCOMPARE(count(u"SELECT count(*) FROM xiangxi WHERE conid = ?"_s, {withLines}), 0);

    DelCon(without);
    QCOMPARE(count(u"SELECT count(*) FROM con WHERE id = ?"_s, {without}), 0);

    // The other sale and its line stay.
    QCOMPARE(count(u"SELECT count(*) FROM con"_s), 1);
    QCOMPARE(count(u"SELECT count(*) FROM xiangxi WHERE conid = ?"_s, {other}), 1);
}

void TstStorage::levelDiscount()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    Sql(A(u"INSERT INTO lv (name, zk) VALUES ('VIP', {88.5})"_s)).exec();
    QCOMPARE(GetLvZk(u"VIP"_s), 88.5);
    QCOMPARE(GetLvZk(u"vip"_s), 88.5); // names compare without regard to case
    QCOMPARE(GetLvZk(u"已删除的等级"_s), 100.0);
    QCOMPARE(GetLvZk(QString()), 100.0);
}

void TstStorage::operationLog()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    state().operatorName = u"张三"_s;
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    WriteLog(u"添加商品"_s, u"添加商品[可乐]，商品编号为[A1]。"_s);
    Sql q(u"SELECT czy, czlx, cznr, createtime FROM syslog"_s);
    q.exec();
    QVERIFY(q.next());
    QCOMPARE(q.text(0), u"张三"_s);
    QCOMPARE(q.text(1), u"添加商品"_s);
    QCOMPARE(q.text(2), u"添加商品[可乐]，商品编号为[A1]。"_s);
    QVERIFY(Database::toDt(q.value(3)) >= before);
}

void TstStorage::quotesAreData()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    const QString odd = u"O'Brien\"; DROP TABLE czy; --"_s;
    Sql(A(u"INSERT INTO lv (name, zk) VALUES (?, {90})"_s)).bind(odd).exec();
    QCOMPARE(GetLvZk(odd), 90.0);
    SetSysInfo(u"fdmc"_s, odd);
    QCOMPARE(GetSysInfo(u"fdmc"_s), odd);
    QCOMPARE(GetSysInfo(u"' OR '1'='1"_s), QString());
    QCOMPARE(count(u"SELECT count(*) FROM czy"_s), 1);
}

void TstStorage::reopenKeepsData()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    Sql(u"INSERT INTO lv (name) VALUES ('金卡')"_s).exec();
    SetSysInfo(u"fdmc"_s, u"老店"_s);
    Database::close();
    QString error;
    QVERIFY2(h.openDatabase(&error), qPrintable(error));
    QCOMPARE(count(u"SELECT count(*) FROM lv"_s), 1);
    QCOMPARE(GetSysInfo(u"fdmc"_s), u"老店"_s);
    QCOMPARE(count(u"SELECT count(*) FROM czy"_s), 1);
}

namespace
{
// A database as an older program left it, written without this program:
// the tables of `version` with its delivered rows.
// A connection of its own to the harness's database, as another program has.
QSqlDatabase openLegacy(const DbConfig &c, const QString &name = u"legacy"_s)
{
    QSqlDatabase db;
    if (c.backend == Backend::Sqlite) {
        db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(c.sqlitePath);
    } else {
        db = QSqlDatabase::addDatabase(u"QPSQL"_s, name);
        db.setHostName(c.host);
        db.setPort(c.port);
        db.setUserName(c.user);
        db.setPassword(c.password);
        db.setDatabaseName(c.dbName);
    }
    db.open();
    return db;
}

QSqlDatabase legacyDatabase(Harness &h, int version)
{
    QSqlDatabase db = openLegacy(h.config());
    if (!db.isOpen())
        return db;
    const Backend backend = h.config().backend;
    QSqlQuery q(db);
    for (const QString &sql : schema::createStatements(backend, version))
        if (!q.exec(sql))
            qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    q.exec(u"INSERT INTO schemaver (version) VALUES (%1)"_s.arg(version));
    for (const auto &[key, value] : schema::deliveredSettings())
        if (version > 1 || key != u"smsurl"_s) {
            q.prepare(u"INSERT INTO sysinfo (infokey, keyvalue) VALUES (?, ?)"_s);
            q.addBindValue(key);
            q.addBindValue(value);
            q.exec();
        }
    return db;
}

void dropLegacy(QSqlDatabase &db)
{
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(u"legacy"_s);
}
} // namespace

void TstStorage::passwordsHashedOnUpgrade()
{
    // Operators' passwords kept as typed by an older program: hashed in
    // place on upgrade; everyone still logs in with the password they had.
    LT_USE_BACKEND();
    Harness h(backend);
    const QList<std::pair<QString, QString>> operators{
        {u"admin"_s, u"860317"_s}, {u"小王"_s, u"密码Ab1"_s}, {u"empty"_s, QString()}};
    {
        QSqlDatabase db = legacyDatabase(h, 2);
        QVERIFY(db.isOpen());
        for (const auto &[name, pwd] : operators) {
            QSqlQuery q(db);
            q.prepare(u"INSERT INTO czy (name, pwd, per) VALUES (?, ?, '111111111111')"_s);
            q.addBindValue(name);
            q.addBindValue(pwd);
            QVERIFY(q.exec());
        }
        dropLegacy(db);
    }
    QString error;
    QVERIFY2(h.openDatabase(&error), qPrintable(error));
    for (const auto &[name, pwd] : operators) {
        const QString kept = scalar(u"SELECT pwd FROM czy WHERE name = ?"_s, {name}).toString();
        QVERIFY2(isHashed(kept), qPrintable(name));
        QVERIFY(pwd.isEmpty() || !kept.contains(pwd));
        QVERIFY(authenticate(name, pwd).has_value());
        QVERIFY(!authenticate(name, pwd + u"1"_s).has_value());
    }
    QVERIFY(!authenticate(u"小王"_s, u"密码ab1"_s).has_value()); // exactly, case and all
    // Members' card passwords are many: they are marked for the background.
    QCOMPARE(GetSysInfo(u"mberpwd"_s), u"plain"_s);
}

void TstStorage::olderVersionMigrated()
{
    LT_USE_BACKEND();
    Harness h(backend);
    {
        // A database of the first version: no gateway address yet.
        QSqlDatabase db = legacyDatabase(h, 1);
        QVERIFY(db.isOpen());
        QVERIFY(QSqlQuery(db).exec(u"INSERT INTO lv (name, zk) VALUES ('金卡', 85)"_s));
        dropLegacy(db);
    }
    QString error;
    QVERIFY2(h.openDatabase(&error), qPrintable(error));
    QCOMPARE(count(u"SELECT max(version) FROM schemaver"_s), Database::kSchemaVersion);
    QCOMPARE(count(u"SELECT count(*) FROM sysinfo WHERE infokey = 'smsurl'"_s), 1);
    QCOMPARE(GetSysInfo(u"smsurl"_s), QString());
    QCOMPARE(count(u"SELECT count(*) FROM lv"_s), 1); // nothing lost
    QCOMPARE(GetLvZk(u"金卡"_s), 85.0);
}

void TstStorage::binaryAmountsBecomeExact()
{
    // Doubles as version 2 stored them, binary remainders and all, become
    // the exact amounts they stood for; ids and indexes carry on.
    LT_USE_BACKEND();
    Harness h(backend);
    {
        QSqlDatabase db = legacyDatabase(h, 2);
        QVERIFY(db.isOpen());
        QSqlQuery q(db);
        QVERIFY(q.prepare(u"INSERT INTO mber (id, name, ye, jf, ljczje) VALUES (?, ?, ?, ?, ?)"_s));
        const QList<std::tuple<QString, double, double>> members{
            {u"100000000001"_s, 0.1 + 0.2, 99.5},
            {u"100000000002"_s, 0.3 - 0.1 - 0.2, 12.0},
            {u"100000000003"_s, 12.345, -0.0},
            {u"100000000004"_s, 99999999.99, 1e-9},
        };
        for (const auto &[id, ye, jf] : members) {
            q.addBindValue(id);
            q.addBindValue(u"会员"_s);
            q.addBindValue(ye);
            q.addBindValue(jf);
            q.addBindValue(ye * 3);
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        QVERIFY(q.prepare(
            u"INSERT INTO con (mberid, czkfk, xjfk, jf) VALUES ('100000000001', ?, ?, 7)"_s));
        for (int i = 0; i < 3; ++i) {
            q.addBindValue(8.13 + 1.83);
            q.addBindValue(0.7 + 0.1);
            QVERIFY(q.exec());
        }
        QVERIFY(q.exec(u"DELETE FROM con WHERE id = 3"_s)); // its number is not given out again
        QVERIFY(q.exec(u"INSERT INTO lv (name, zk, czbl) VALUES ('金卡', 88.5, 3.5)"_s));
        QVERIFY(q.exec(
            u"INSERT INTO xiangxi (conid, spid, dj, sl, je) VALUES (1, 'A', 3.33, 1.25, 4.1625)"_s));
        dropLegacy(db);
    }
    QString error;
    QVERIFY2(h.openDatabase(&error), qPrintable(error));
    QCOMPARE(count(u"SELECT max(version) FROM schemaver"_s), Database::kSchemaVersion);
    auto ye = [](const QString &id) {
        return amountAt(u"SELECT ye FROM mber WHERE id = ?"_s, {id});
    };
    QCOMPARE(ye(u"100000000001"_s), je("0.3"));
    QCOMPARE(ye(u"100000000002"_s), Amount());
    QCOMPARE(ye(u"100000000003"_s), je("12.345"));
    QCOMPARE(ye(u"100000000004"_s), je("99999999.99"));
    QCOMPARE(amountAt(u"SELECT ljczje FROM mber WHERE id = '100000000001'"_s), je("0.9"));
    QCOMPARE(amountAt(u"SELECT jf FROM mber WHERE id = '100000000001'"_s), je("99.5"));
    QCOMPARE(amountAt(u"SELECT jf FROM mber WHERE id = '100000000004'"_s), Amount());
    QCOMPARE(amountAt(u"SELECT sum(czkfk + xjfk) FROM con"_s), je("21.52")); // 2 × (9.96 + 0.8)
    QCOMPARE(amountAt(u"SELECT je FROM xiangxi"_s), je("4.1625"));
    QCOMPARE(GetLvZk(u"金卡"_s), 88.5);
    // The exact sums work in the statements themselves.
    QCOMPARE(count(u"SELECT count(*) FROM mber WHERE ye = ?"_s, {QVariant::fromValue(je("0.3"))}),
             1);
    // The indexes came back: card numbers are still unique.
    QVERIFY_THROWS_EXCEPTION(
        DbError, Sql(u"INSERT INTO mber (id, name) VALUES ('100000000001', 'x')"_s).exec());
    Sql next(u"INSERT INTO con (mberid, czkfk, xjfk) VALUES ('100000000002', 0, 0) RETURNING id"_s);
    next.exec();
    QVERIFY(next.next());
    QCOMPARE(next.integer(0), 4);
}

void TstStorage::amountWithoutExactValueStopsMigration()
{
    // An infinite balance, as an overflowing recharge used to store, has no
    // exact amount: the database is left as it was and the reason shown.
    LT_USE_BACKEND();
    Harness h(backend);
    {
        QSqlDatabase db = legacyDatabase(h, 2);
        QVERIFY(db.isOpen());
        QSqlQuery q(db);
        QVERIFY(q.prepare(u"INSERT INTO mber (id, name, ye) VALUES ('100000000001', 'x', ?)"_s));
        q.addBindValue(std::numeric_limits<double>::infinity());
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        dropLegacy(db);
    }
    QString error;
    QVERIFY(!h.openDatabase(&error));
    QVERIFY2(error.contains(u"mber"_s) && error.contains(u"ye"_s) && error.contains(u"1行"_s),
             qPrintable(error));
    QSqlDatabase db = openLegacy(h.config());
    QSqlQuery q(db);
    QVERIFY(q.exec(u"SELECT max(version) FROM schemaver"_s) && q.next());
    QCOMPARE(q.value(0).toInt(), 2);
    QVERIFY(q.exec(u"SELECT ye FROM mber"_s) && q.next());
    QVERIFY(std::isinf(q.value(0).toDouble()));
    q.finish();
    dropLegacy(db);
}

void TstStorage::migrationRunsOnce()
{
    // Two programs start on the same older database at once: the one that
    // comes second waits for the other's conversion and then finds it done,
    // rather than converting the amounts again.
    LT_USE_BACKEND();
    Harness h(backend);
    {
        QSqlDatabase db = legacyDatabase(h, 2);
        QVERIFY(db.isOpen());
        QVERIFY(QSqlQuery(db).exec(
            u"INSERT INTO mber (id, name, ye) VALUES ('100000000001', 'x', 12.5)"_s));
        dropLegacy(db);
    }
    const DbConfig c = h.config();
    std::atomic<bool> holding = false, converted = false;
    std::thread first([&] {
        {
            QSqlDatabase db = openLegacy(c, u"first-program"_s);
            if (db.isOpen()) {
                QSqlQuery q(db);
                q.exec(backend == Backend::Sqlite ? u"BEGIN IMMEDIATE"_s : u"BEGIN"_s);
                if (backend == Backend::Postgres)
                    q.exec(u"LOCK TABLE schemaver IN ACCESS EXCLUSIVE MODE"_s);
                holding = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                bool ok = true;
                for (const QString &sql : schema::migrationStatements(backend, 2))
                    ok = q.exec(sql) && ok;
                ok = q.exec(u"UPDATE schemaver SET version = 3"_s) && q.exec(u"COMMIT"_s) && ok;
                converted = ok;
            }
            holding = true;
            db.close();
        }
        QSqlDatabase::removeDatabase(u"first-program"_s);
    });
    while (!holding)
        std::this_thread::yield();
    QString error;
    const bool opened = h.openDatabase(&error);
    first.join();
    QVERIFY(converted);
    QVERIFY2(opened, qPrintable(error));
    QCOMPARE(amountAt(u"SELECT ye FROM mber"_s), je("12.5"));
    QCOMPARE(count(u"SELECT max(version) FROM schemaver"_s), Database::kSchemaVersion);
}

void TstStorage::newerVersionRefused()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    Sql(u"UPDATE schemaver SET version = ?"_s).bind(Database::kSchemaVersion + 1).exec();
    Database::close();
    QString error;
    QVERIFY(!h.openDatabase(&error));
    QVERIFY2(error.contains(u"新"_s), qPrintable(error));
}

void TstStorage::foreignFilesUntouched_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("hint");
    QTest::newRow("text file") << QByteArray("这不是数据库，只是一段文字。\n").repeated(50)
                               << u"损坏"_s;
    QTest::newRow("empty file") << QByteArray() << u"不是本系统"_s;
    QByteArray header("SQLite format 3");
    header.append('\0');
    QTest::newRow("damaged database") << header + QByteArray(4080, '\x5a') << u"损坏"_s;
}

void TstStorage::foreignFilesUntouched()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, hint);
    Harness h;
    const QString path = h.config().sqlitePath;
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QString error;
    QVERIFY(!h.openDatabase(&error));
    QVERIFY2(error.contains(hint), qPrintable(error));
    QVERIFY(!Database::isOpen());
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), content);

    // A real SQLite database of some other program is not ours either.
    QFile::remove(path);
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other"_s);
        other.setDatabaseName(path);
        QVERIFY(other.open());
        QSqlQuery(other).exec(u"CREATE TABLE members (id text)"_s);
        other.close();
    }
    QSqlDatabase::removeDatabase(u"other"_s);
    QVERIFY(!h.openDatabase(&error));
    QVERIFY2(error.contains(u"不是本系统"_s), qPrintable(error));
}

void TstStorage::serverWaitsAreBounded()
{
    // A locked row or a stuck statement ends in an error, not a frozen till.
    LT_NEED_POSTGRES();
    Harness h(Backend::Postgres);
    QVERIFY(h.openDatabase());
    QCOMPARE(scalar(u"SELECT current_setting('lock_timeout')"_s).toString(), u"10s"_s);
    QCOMPARE(scalar(u"SELECT current_setting('statement_timeout')"_s).toString(), u"2min"_s);
}

void TstStorage::foreignServerDatabaseUntouched()
{
    LT_NEED_POSTGRES();
    Harness h(Backend::Postgres);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, u"other"_s);
        const DbConfig c = h.config();
        db.setHostName(c.host);
        db.setPort(c.port);
        db.setUserName(c.user);
        db.setDatabaseName(c.dbName);
        QVERIFY(db.open());
        QSqlQuery(db).exec(u"CREATE TABLE members (id text)"_s);
        db.close();
    }
    QSqlDatabase::removeDatabase(u"other"_s);
    QString error;
    QVERIFY(!h.openDatabase(&error));
    QVERIFY2(error.contains(u"不是本系统"_s), qPrintable(error));
}

void TstStorage::configFromUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("backendRow");
    QTest::addColumn<QString>("where");
    QTest::newRow("server") << u"postgresql://shop:pw@10.0.0.5:5433/member"_s << true
                            << int(Backend::Postgres) << u"10.0.0.5:5433/member shop"_s;
    QTest::newRow("server defaults") << u"postgres://shop@dbhost"_s << true
                                     << int(Backend::Postgres) << u"dbhost:5432/lanting shop"_s;
    QTest::newRow("file") << u"sqlite:///var/lib/shop/qzdb.qdb"_s << true << int(Backend::Sqlite)
                          << u"/var/lib/shop/qzdb.qdb"_s;
    QTest::newRow("unknown") << u"mysql://x/y"_s << false << 0 << QString();
    QTest::newRow("garbage") << u"::::"_s << false << 0 << QString();
}

void TstStorage::configFromUrl()
{
    QFETCH(QString, url);
    QFETCH(bool, valid);
    QFETCH(int, backendRow);
    QFETCH(QString, where);
    QString error;
    const auto c = DbConfig::fromUrl(url, &error);
    QCOMPARE(c.has_value(), valid);
    if (!valid) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QCOMPARE(int(c->backend), backendRow);
    if (c->backend == Backend::Sqlite)
        QCOMPARE(c->sqlitePath, where);
    else
        QCOMPARE(u"%1:%2/%3 %4"_s.arg(c->host).arg(c->port).arg(c->dbName, c->user), where);
}

QTEST_MAIN(TstStorage)
#include "tst_storage.moc"
