#include "database.h"

#include "operators.h"
#include "programfolder.h"
#include "schema.h"
#include "secrets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QSettings>
#include <QSqlError>
#include <QSqlRecord>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>
#include <cstdio>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace lanting
{

namespace
{

const QString kConn = u"lanting"_s;
const QString kTimeFormat = u"yyyy-MM-dd HH:mm:ss"_s;
Backend g_backend = Backend::Sqlite;
bool g_trigrams = false; // the members' trigram indexes are there
DbConfig g_config;       // of the open database
int g_txDepth = 0;
bool g_txFailed = false;
// A statement of the running transaction failed: PostgreSQL refuses every
// further statement of it, the freeing of prepared statements included.
bool g_txAborted = false;
// Statements whose freeing waits for the end of an aborted transaction.
QList<QSqlQuery> g_parked;

QString errorText(const QSqlError &e)
{
    QString t = e.databaseText().trimmed();
    if (t.isEmpty())
        t = e.driverText().trimmed();
    if (t.isEmpty())
        t = e.text().trimmed();
    return t;
}

// The error of a statement as the cashier is told it. Waits for other tills
// end in a message of ours, never in the server's English.
DbError dbError(const QSqlError &e)
{
    if (g_txDepth > 0)
        g_txAborted = true;
    const QString code = e.nativeErrorCode();
    using K = DbError::Kind;
    if (g_backend == Backend::Postgres) {
        if (code == u"40P01"_s || code == u"40001"_s)
            return DbError(u"数据库正忙（与其他收银台的操作冲突），操作没有进行，请再试一次。"_s,
                           K::Conflict);
        if (code == u"55P03"_s)
            return DbError(
                u"其他收银台正在处理同一会员或商品，等待超时，操作没有进行，请稍后再试。"_s,
                K::Busy);
        if (code == u"57014"_s)
            return DbError(u"数据库服务器处理超时，操作没有进行，请稍后再试。"_s, K::Busy);
        if (code == u"23505"_s)
            return DbError(errorText(e), K::Duplicate);
    } else {
        if (code == u"5"_s || code == u"6"_s || code == u"517"_s || code == u"261"_s ||
            errorText(e).contains(u"database is locked"_s))
            return DbError(u"数据库正忙，请稍后再试。"_s, K::Busy);
        if (code == u"2067"_s || code == u"1555"_s || errorText(e).startsWith(u"UNIQUE"_s))
            return DbError(errorText(e), K::Duplicate);
    }
    return DbError(errorText(e));
}

void control(QSqlDatabase &db, const QString &sql);

// Statements without values (the schema's DDL among them, which PostgreSQL
// cannot prepare) run as they are; the others are prepared and bound.
void run(QSqlDatabase &db, const QString &sql, const QVariantList &values = {})
{
    if (values.isEmpty()) {
        control(db, sql);
        return;
    }
    QSqlQuery q(db);
    if (!q.prepare(sql))
        throw dbError(q.lastError());
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw dbError(q.lastError());
}

// Transaction control and DDL are not statements that can be prepared.
void control(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw dbError(q.lastError());
}

QString beginText(Backend backend)
{
    return backend == Backend::Sqlite ? u"BEGIN IMMEDIATE"_s : u"BEGIN"_s;
}

QStringList tablesOf(QSqlDatabase &db, Backend backend)
{
    QSqlQuery q(db);
    const QString sql =
        backend == Backend::Sqlite
            ? u"SELECT name FROM sqlite_master WHERE type = 'table'"_s
            : u"SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema()"_s;
    if (!q.exec(sql))
        throw DbError(errorText(q.lastError()));
    QStringList names;
    while (q.next())
        names << q.value(0).toString().toLower();
    return names;
}

// A new database: every table and index, the delivered rows and the version,
// in one transaction.
void createSchema(QSqlDatabase &db, Backend backend)
{
    control(db, beginText(backend));
    try {
        for (const QString &stmt : schema::createStatements(backend))
            run(db, stmt);
        for (const auto &[key, value] : schema::deliveredSettings())
            run(db, u"INSERT INTO sysinfo (infokey, keyvalue) VALUES (?, ?)"_s, {key, value});
        run(db, u"INSERT INTO czy (name, pwd, per) VALUES (?, ?, ?)"_s,
            {kAdminName, hashSecret(kDeliveredPassword), u"111111111111"_s});
        const QString now = QDateTime::currentDateTime().toString(kTimeFormat);
        run(db,
            u"INSERT INTO mber (id, name, st, booljzrq, jzrq, createtime) VALUES (?, ?, 0, ?, ?, ?)"_s,
            {u"000000000000"_s, u"非会员"_s, false, now, now});
        run(db, u"INSERT INTO schemaver (version) VALUES (?)"_s, {Database::kSchemaVersion});
        control(db, u"COMMIT"_s);
    } catch (...) {
        QSqlQuery(db).exec(u"ROLLBACK"_s);
        throw;
    }
}

// The version of a database of ours; one newer than this program is refused.
int versionOf(QSqlDatabase &db, const QString &where)
{
    QSqlQuery q(db);
    if (!q.exec(u"SELECT max(version) FROM schemaver"_s)) {
        const DbError e = dbError(q.lastError());
        if (e.busy()) // another program holds it: not damage
            throw e;
        throw DbError(u"%1已损坏：%2"_s.arg(where, errorText(q.lastError())));
    }
    if (!q.next())
        throw DbError(u"%1已损坏：%2"_s.arg(where, errorText(q.lastError())));
    const int version = q.value(0).toInt();
    if (version > Database::kSchemaVersion)
        throw DbError(
            u"%1的版本(%2)比本程序(%3)新，请使用新版本的程序。"_s.arg(where).arg(version).arg(
                Database::kSchemaVersion));
    return version;
}

// Operators' passwords kept as typed by an older program: hashed in place.
void hashOperatorPasswords(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(u"SELECT id, pwd FROM czy"_s))
        throw dbError(q.lastError());
    QList<std::pair<QVariant, QString>> plain;
    while (q.next())
        if (!isHashed(q.value(1).toString()))
            plain.append({q.value(0), q.value(1).toString()});
    q.finish();
    for (const auto &[id, pwd] : plain)
        run(db, u"UPDATE czy SET pwd = ? WHERE id = ?"_s, {hashSecret(pwd), id});
}

// Checks that an existing database is one of ours and brings it to the
// current version. Nothing is written to a database that is not ours.
void checkAndMigrate(QSqlDatabase &db, Backend backend, const QString &where)
{
    const QStringList tables = tablesOf(db, backend);
    if (!tables.contains(u"schemaver"_s))
        throw DbError(u"%1不是本系统的数据库，程序不会改动它。"_s.arg(where));
    // Each step holds the version first and reads it again: of two programs
    // starting on the same older database, the second waits and then finds
    // the step done, instead of converting the amounts a second time.
    while (versionOf(db, where) < Database::kSchemaVersion) {
        control(db, beginText(backend));
        try {
            if (backend == Backend::Postgres)
                control(db, u"LOCK TABLE schemaver IN ACCESS EXCLUSIVE MODE"_s);
            const int v = versionOf(db, where);
            if (v < Database::kSchemaVersion) {
                for (const auto &[sql, message] : schema::migrationChecks(backend, v)) {
                    QSqlQuery c(db);
                    if (!c.exec(sql) || !c.next())
                        throw dbError(c.lastError());
                    if (c.value(0).toLongLong() > 0)
                        throw DbError(
                            u"%1无法升级：%2"_s.arg(where, message.arg(c.value(0).toLongLong())));
                }
                for (const QString &stmt : schema::migrationStatements(backend, v))
                    run(db, stmt);
                if (v == 7)
                    hashOperatorPasswords(db);
                run(db, u"UPDATE schemaver SET version = ?"_s, {v + 1});
            }
            control(db, u"COMMIT"_s);
        } catch (...) {
            QSqlQuery(db).exec(u"ROLLBACK"_s);
            throw;
        }
    }
    const QStringList now = tablesOf(db, backend);
    for (const QString &t : schema::tableNames())
        if (!now.contains(t))
            throw DbError(u"%1已损坏：缺少数据表 %2。"_s.arg(where, t));
}

// A database with a history that has never been analysed (one an older
// program kept) gets the planner's statistics once, quickly; afterwards
// SQLite refreshes them on closing and the server's autovacuum does. A new
// or small one is left to the planner's defaults: statistics of empty
// tables would mislead it once the shop's history has grown.
void gatherStatistics(QSqlDatabase &db, Backend backend)
{
    QSqlQuery q(db);
    const QString sizable = u"SELECT count(*) FROM (SELECT 1 FROM con LIMIT 1000) s"_s;
    if (backend == Backend::Sqlite) {
        if (q.exec(u"SELECT 1 FROM sqlite_master WHERE name = 'sqlite_stat1'"_s) && q.next())
            return;
        if (!q.exec(sizable) || !q.next() || q.value(0).toInt() < 1000)
            return;
        q.finish();
        q.exec(u"PRAGMA analysis_limit = 1000"_s);
        q.exec(u"ANALYZE"_s);
        return;
    }
    if (q.exec(u"SELECT count(*) FROM pg_stat_user_tables WHERE last_analyze IS NULL"
               u" AND last_autoanalyze IS NULL AND relname = 'con'"_s) &&
        q.next() && q.value(0).toInt() > 0 && q.exec(sizable) && q.next() &&
        q.value(0).toInt() >= 1000) {
        q.finish();
        q.exec(u"ANALYZE"_s);
    }
}

QSqlDatabase addConnection(const DbConfig &c, const QString &name)
{
    if (c.backend == Backend::Sqlite) {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(c.sqlitePath);
        db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=5000"_s);
        return db;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, name);
    db.setHostName(c.host);
    db.setPort(c.port);
    db.setUserName(c.user);
    db.setPassword(c.password);
    db.setDatabaseName(c.dbName);
    // A server or network that stops answering must not hold the till for
    // ever: a dead link is noticed within half a minute, a row locked by
    // another till is waited for ten seconds, a statement for two minutes.
    // A report runs on one of the server's cores, never on all of them
    // while the other tills are selling; a report's list is read a block
    // at a time, and parallel workers started for every block would cost
    // more than they save.
    db.setConnectOptions(u"connect_timeout=5;keepalives=1;keepalives_idle=10;"
                         u"keepalives_interval=5;keepalives_count=3;"
                         u"options='-c lock_timeout=10000 -c statement_timeout=120000"
                         u" -c max_parallel_workers_per_gather=0'"_s);
    // Exact numerics arrive as their decimal text, never as a double.
    db.setNumericalPrecisionPolicy(QSql::HighPrecision);
    return db;
}

// Puts `from` in the place of `to` in one step (rename(2) replaces an
// existing file atomically, unlike QFile::rename).
bool renameOver(const QString &from, const QString &to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// A new SQLite file is built beside its final name and moved into place only
// when complete, so a failure never leaves a half-made database behind.
void createSqliteFile(const DbConfig &c)
{
    const QString temp = c.sqlitePath + u".new"_s;
    QFile::remove(temp);
    const QString name = kConn + u"-create"_s;
    {
        DbConfig tc = c;
        tc.sqlitePath = temp;
        QSqlDatabase db = addConnection(tc, name);
        if (!db.open()) {
            const QString e = errorText(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw DbError(u"无法创建数据库文件[%1]：%2"_s.arg(c.sqlitePath, e));
        }
        try {
            createSchema(db, Backend::Sqlite);
        } catch (...) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            QFile::remove(temp);
            throw;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    ownerOnly(temp);
    if (!QFile::rename(temp, c.sqlitePath)) {
        QFile::remove(temp);
        throw DbError(u"无法创建数据库文件[%1]。"_s.arg(c.sqlitePath));
    }
}

} // namespace

DbError::DbError(QString message, Kind kind)
    : m_message(std::move(message)), m_what(m_message.toUtf8()), m_kind(kind)
{
}

std::optional<DbConfig> DbConfig::fromUrl(const QString &text, QString *error)
{
    const QUrl url(text, QUrl::StrictMode);
    DbConfig c;
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && scheme == u"sqlite"_s && !url.path().isEmpty()) {
        c.backend = Backend::Sqlite;
        c.sqlitePath = url.path();
        return c;
    }
    if (url.isValid() && (scheme == u"postgresql"_s || scheme == u"postgres"_s)) {
        c.backend = Backend::Postgres;
        c.host = url.host().isEmpty() ? u"localhost"_s : url.host();
        c.port = url.port(5432);
        c.user = url.userName();
        c.password = url.password();
        c.dbName = url.path().mid(1);
        if (c.dbName.isEmpty())
            c.dbName = u"lanting"_s;
        return c;
    }
    if (error)
        *error =
            u"无法识别的数据库地址[%1]，应为 postgresql://用户:密码@主机:端口/数据库 或 sqlite:///文件路径。"_s
                .arg(text);
    return std::nullopt;
}

std::optional<DbConfig> DbConfig::forFolder(const QString &folder, QString *error)
{
    const QString ini = folder + u"/lanting.ini"_s;
    if (QFileInfo::exists(ini)) {
        QSettings s(ini, QSettings::IniFormat);
        const QString url = s.value(u"database/url"_s).toString().trimmed();
        if (!url.isEmpty())
            return fromUrl(url, error);
    }
    DbConfig c;
    c.sqlitePath = folder + u"/qzdb.qdb"_s;
    return c;
}

bool Database::open(const DbConfig &c, QString *error)
{
    close();
    g_backend = c.backend;
    g_config = c;
    try {
        if (c.backend == Backend::Sqlite) {
            const QFileInfo fi(c.sqlitePath);
            const QString where = u"数据库文件[%1]"_s.arg(QDir::toNativeSeparators(c.sqlitePath));
            if (!fi.exists())
                createSqliteFile(c);
            else if (!fi.isFile() || !fi.isReadable())
                throw DbError(u"%1无法读取。"_s.arg(where));
            else if (fi.permissions() &
                     (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther))
                ownerOnly(c.sqlitePath); // made by an older program under a looser umask
            QSqlDatabase db = addConnection(c, kConn);
            if (!db.open())
                throw DbError(u"%1无法打开：%2"_s.arg(where, errorText(db.lastError())));
            try {
                tablesOf(db, Backend::Sqlite);
            } catch (const DbError &e) {
                throw DbError(u"%1已损坏或不是数据库文件：%2"_s.arg(where, e.message()));
            }
            checkAndMigrate(db, Backend::Sqlite, where);
            gatherStatistics(db, Backend::Sqlite);
            g_trigrams = true;
        } else {
            const QString where = u"数据库服务器[%1:%2/%3]"_s.arg(c.host).arg(c.port).arg(c.dbName);
            QSqlDatabase db = addConnection(c, kConn);
            if (!db.open())
                throw DbError(u"无法连接%1：%2"_s.arg(where, errorText(db.lastError())));
            if (tablesOf(db, Backend::Postgres).isEmpty())
                createSchema(db, Backend::Postgres);
            checkAndMigrate(db, Backend::Postgres, where);
            gatherStatistics(db, Backend::Postgres);
            // A server without pg_trgm has the members without them.
            QSqlQuery q(db);
            g_trigrams = q.exec(u"SELECT count(*) FROM pg_indexes WHERE tablename = 'mber'"
                                u" AND indexname IN ('ix_mber_id_trgm', 'ix_mber_name_trgm')"_s) &&
                         q.next() && q.value(0).toInt() == 2;
        }
    } catch (const DbError &e) {
        close();
        if (error)
            *error = e.message();
        return false;
    }
    return true;
}

void Database::close()
{
    g_parked.clear(); // while their connection is still there
    if (QSqlDatabase::contains(kConn)) {
        {
            QSqlDatabase db = QSqlDatabase::database(kConn, false);
            // Keeps the planner's statistics fresh, as SQLite advises on
            // closing; a bounded look at each index takes moments at any size.
            if (g_backend == Backend::Sqlite && db.isOpen() && g_txDepth == 0) {
                QSqlQuery q(db);
                q.exec(u"PRAGMA analysis_limit = 1000"_s);
                q.exec(u"PRAGMA optimize"_s);
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(kConn);
    }
    g_txDepth = 0;
    g_txFailed = false;
    g_txAborted = false;
}

bool Database::inTransaction()
{
    return g_txDepth > 0;
}

bool Database::isOpen()
{
    return QSqlDatabase::contains(kConn) && QSqlDatabase::database(kConn, false).isOpen();
}

QSqlDatabase Database::connection()
{
    if (!QSqlDatabase::contains(kConn))
        throw DbError(u"数据库没有连接。"_s);
    QSqlDatabase db = QSqlDatabase::database(kConn, false);
    if (!db.isOpen())
        throw DbError(u"数据库没有连接。"_s);
    return db;
}

bool Database::hasMemberTrigrams()
{
    return g_trigrams;
}

Backend Database::backend()
{
    return g_backend;
}

QVariant Database::dt(const QDateTime &when)
{
    if (!when.isValid())
        return QVariant(QMetaType(QMetaType::QString));
    return when.toString(kTimeFormat);
}

QString Database::dayOf(const QString &column)
{
    return g_backend == Backend::Postgres ? u"to_char("_s + column + u", 'YYYY-MM-DD')"_s
                                          : u"substr("_s + column + u", 1, 10)"_s;
}

QVariant Database::stored(Amount amount)
{
    if (!amount.isValid())
        throw DbError(outOfRangeText());
    if (g_backend == Backend::Postgres)
        return amount.toDecimalText();
    return QVariant::fromValue(qlonglong(amount.raw()));
}

Amount Database::toAmount(const QVariant &v)
{
    if (v.isNull())
        return {};
    switch (v.metaType().id()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return Amount::fromDecimalText(v.toString());
    case QMetaType::Double: // a column left from an older database
        return Amount::fromDecimalText(QString::number(v.toDouble(), 'f', Amount::kScale));
    default:
        break;
    }
    if (v.metaType() == QMetaType::fromType<Amount>())
        return v.value<Amount>();
    // Whole numbers: ten-thousandths in an amount column of SQLite, whole
    // values (a count, a sum of integers) on PostgreSQL.
    const qint64 n = v.toLongLong();
    return g_backend == Backend::Sqlite ? Amount::fromRaw(n) : Amount(n);
}

QString Database::monthDayOf(const QString &column, Backend backend)
{
    if (backend == Backend::Postgres)
        return u"(CAST(extract(month FROM %1) AS integer) * 100 + CAST(extract(day FROM %1) AS integer))"_s
            .arg(column);
    return u"(CAST(substr(%1, 6, 2) AS INTEGER) * 100 + CAST(substr(%1, 9, 2) AS INTEGER))"_s.arg(
        column);
}

// The first `fields` numbers of the stored form "yyyy-MM-dd HH:mm:ss",
// read digit by digit (lists read one for every row, and the general parser
// is many times slower); false when one of them is not all digits.
static bool readDigits(const QString &s, int fields, int *v)
{
    static constexpr int at[6][2] = {{0, 4}, {5, 2}, {8, 2}, {11, 2}, {14, 2}, {17, 2}};
    for (int f = 0; f < fields; ++f) {
        v[f] = 0;
        for (int i = at[f][0]; i < at[f][0] + at[f][1]; ++i) {
            const char16_t c = s[i].unicode();
            if (c < u'0' || c > u'9')
                return false;
            v[f] = v[f] * 10 + (c - u'0');
        }
    }
    return true;
}

QDateTime Database::toDt(const QVariant &stored)
{
    if (stored.isNull())
        return {};
    if (stored.metaType().id() == QMetaType::QDateTime)
        return stored.toDateTime();
    const QString s = stored.toString();
    // The stored form "yyyy-MM-dd HH:mm:ss" read digit by digit: lists read
    // it for every row, and the general parser is many times slower.
    if (s.size() == 19 && s[4] == u'-' && s[7] == u'-' && s[10] == u' ' && s[13] == u':' &&
        s[16] == u':') {
        int v[6] = {};
        const bool digits = readDigits(s, 6, v);
        const QDate date(v[0], v[1], v[2]);
        const QTime time(v[3], v[4], v[5]);
        if (digits && date.isValid() && time.isValid())
            return QDateTime(date, time);
    }
    QDateTime d = QDateTime::fromString(s, kTimeFormat);
    if (!d.isValid())
        d = QDateTime::fromString(s, Qt::ISODate);
    if (!d.isValid())
        d = QDateTime(QDate::fromString(s, u"yyyy-MM-dd"_s), QTime(0, 0));
    return d;
}

QDate Database::toDate(const QVariant &stored)
{
    if (stored.metaType().id() == QMetaType::QString) {
        const QString s = stored.toString();
        if (s.size() >= 10 && s[4] == u'-' && s[7] == u'-') {
            int v[3] = {};
            const bool digits = readDigits(s, 3, v);
            const QDate date(v[0], v[1], v[2]);
            if (digits && date.isValid())
                return date;
        }
    }
    return toDt(stored).date();
}

Sql::Sql(const QString &text) : m_text(text), m_query(Database::connection())
{
    m_query.setForwardOnly(true);
    if (!m_query.prepare(text))
        throw dbError(m_query.lastError());
}

Sql::~Sql()
{
    // Freeing a prepared statement inside an aborted transaction fails and
    // would leave it on the server for the life of the connection: it is
    // freed once the transaction has been rolled back.
    if (!m_moved && g_backend == Backend::Postgres && g_txAborted && g_txDepth > 0)
        g_parked.append(m_query);
}

Sql &Sql::bind(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<Amount>())
        return bind(value.value<Amount>());
    if (value.metaType().id() == QMetaType::Double || value.metaType().id() == QMetaType::Float) {
        Q_ASSERT_X(false, "Sql::bind", "an amount bound as a binary double");
        throw DbError(u"内部错误：金额没有以精确小数保存，操作没有进行。"_s);
    }
    m_query.addBindValue(value);
    return *this;
}

Sql &Sql::bind(Amount value)
{
    m_query.addBindValue(Database::stored(value));
    return *this;
}

std::optional<Amount> Sql::maybeAmount(int column) const
{
    const QVariant v = m_query.value(column);
    return v.isNull() ? std::nullopt : std::optional(Database::toAmount(v));
}

std::optional<Amount> Sql::maybeWhole(int column) const
{
    const QVariant v = m_query.value(column);
    return v.isNull() ? std::nullopt : std::optional(Amount(v.toLongLong()));
}

Sql &Sql::exec()
{
    if (!m_query.exec())
        throw dbError(m_query.lastError());
    return *this;
}

QStringList firstColumn(const QString &text, const QVariantList &values)
{
    Sql q(text);
    for (const QVariant &v : values)
        q.bind(v);
    q.exec();
    QStringList out;
    while (q.next())
        out << q.text(0);
    return out;
}

QString likeContains(const QString &text)
{
    QString t = text.toLower();
    t.replace(u'\\', u"\\\\"_s).replace(u'%', u"\\%"_s).replace(u'_', u"\\_"_s);
    return u'%' + t + u'%';
}

QVariant scalar(const QString &text, const QVariantList &values)
{
    Sql q(text);
    for (const QVariant &v : values)
        q.bind(v);
    q.exec();
    return q.next() ? q.value(0) : QVariant();
}

Transaction::Transaction()
{
    if (g_txDepth++ > 0)
        return; // joins the transaction already running
    g_txFailed = false;
    g_txAborted = false;
    QSqlDatabase db = Database::connection();
    try {
        control(db, beginText(g_backend));
    } catch (...) {
        --g_txDepth;
        throw;
    }
}

Transaction::~Transaction()
{
    if (!m_done) {
        g_txFailed = true;
        if (g_txDepth == 1 && Database::isOpen())
            QSqlQuery(Database::connection()).exec(u"ROLLBACK"_s);
    }
    if (--g_txDepth == 0) {
        g_txAborted = false;
        g_parked.clear(); // now their statements can be freed
    }
}

void Transaction::commit()
{
    if (m_done)
        return;
    if (g_txDepth > 1) {
        m_done = true;
        return;
    }
    if (g_txFailed || g_txAborted) // the server would answer COMMIT with a silent rollback
        throw DbError(u"保存失败，已撤销全部更改。"_s);
    QSqlDatabase db = Database::connection();
    control(db, u"COMMIT"_s);
    m_done = true;
}

QString forUpdate()
{
    return g_backend == Backend::Postgres ? u" FOR UPDATE"_s : QString();
}

QString placeholders(qsizetype n)
{
    QStringList marks;
    for (qsizetype i = 0; i < n; ++i)
        marks << u"?"_s;
    return marks.join(u", "_s);
}

QString forShare()
{
    return g_backend == Backend::Postgres ? u" FOR SHARE"_s : QString();
}

bool detail::mayRetry(const DbError &e, int attempt)
{
    constexpr int kAttempts = 6;
    if (!e.retryable() || g_txDepth > 0 || attempt >= kAttempts)
        return false;
    // A short, growing and random pause, so that the two tills that met do
    // not meet again at once.
    QThread::msleep(5 * attempt + QRandomGenerator::global()->bounded(10 * attempt));
    return true;
}

namespace
{

// The files SQLite may keep beside a database file.
void removeWithSides(const QString &file)
{
    for (const char *side : {"", "-journal", "-wal", "-shm"})
        QFile::remove(file + QLatin1String(side));
}

// Whether the file starts as every SQLite database does.
bool isDatabaseFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(16) == QByteArray("SQLite format 3\0", 16);
}

// The live database kept aside by a restore, newest last.
QStringList keptCopies(const QString &live)
{
    const QFileInfo fi(live);
    QStringList out;
    for (const QString &name :
         fi.dir().entryList({fi.fileName() + u".old-*"_s}, QDir::Files, QDir::Name))
        if (!name.endsWith(u"-journal"_s) && !name.endsWith(u"-wal"_s) && !name.endsWith(u"-shm"_s))
            out << fi.dir().filePath(name);
    return out;
}

} // namespace

bool Database::openAtStart(const DbConfig &config, QString *error)
{
    if (config.backend != Backend::Sqlite)
        return open(config, error);
    const QString live = config.sqlitePath;
    removeWithSides(live + u".restore"_s);
    QStringList kept = keptCopies(live);
    if (!QFileInfo::exists(live) && !kept.isEmpty())
        renameOver(kept.takeLast(), live);
    if (open(config, error)) {
        for (const QString &k : keptCopies(live))
            removeWithSides(k);
        return true;
    }
    // Only a live file that is no database at all gives way to the kept
    // one (one that is busy, or of a newer program, is left as it is), and
    // it is kept aside itself rather than overwritten.
    kept = keptCopies(live);
    if (kept.isEmpty() || isDatabaseFile(live))
        return false;
    close();
    for (const char *side : {"-journal", "-wal", "-shm"})
        QFile::remove(live + QLatin1String(side));
    if (QFileInfo::exists(live) &&
        !QFile::rename(live, live + u".unopened-"_s +
                                 QDateTime::currentDateTime().toString(u"yyyyMMddHHmmss"_s)))
        return false;
    if (!renameOver(kept.takeLast(), live))
        return false;
    if (!open(config, error))
        return false;
    for (const QString &k : keptCopies(live))
        removeWithSides(k);
    return true;
}

void Database::clearBackupLeftovers(const QString &folder)
{
    if (!folder.isEmpty())
        removeWithSides(QDir(folder).filePath(u"qzdbbak.qdb.part"_s));
}

bool Database::copyTo(const QString &path)
{
    if (!isOpen() || backend() != Backend::Sqlite)
        return false;
    // VACUUM INTO wants a file that does not exist yet; it is built beside
    // the target and moved over it when complete.
    const QString part = path + u".part"_s;
    removeWithSides(part);
    QSqlQuery q(connection());
    if (!q.prepare(u"VACUUM INTO ?"_s))
        return false;
    q.addBindValue(part);
    if (!q.exec() || !ownerOnly(part)) {
        removeWithSides(part);
        return false;
    }
    // The new copy takes the old one's place in one step: there is always a
    // whole backup under the name.
    if (!renameOver(part, path)) {
        removeWithSides(part);
        return false;
    }
    return true;
}

namespace
{

// A definition as written, blanks and "IF NOT EXISTS" aside (an index made
// again by an upgrade carries them).
QString definition(const QString &sql)
{
    return sql.simplified().replace(u"IF NOT EXISTS "_s, QString(), Qt::CaseInsensitive);
}

// The structure of an embedded database: every table with its columns,
// every index, trigger and view with its definition; SQLite's own tables
// (sequences, statistics) aside.
QStringList structureOf(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(u"SELECT type, name, tbl_name, sql FROM sqlite_master"
                u" WHERE name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"_s))
        throw dbError(q.lastError());
    QList<QStringList> objects;
    while (q.next())
        objects << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                               q.value(3).toString()};
    q.finish();
    QStringList out;
    for (const QStringList &o : objects) {
        if (o[0] == u"table"_s && !o[3].startsWith(u"CREATE VIRTUAL"_s, Qt::CaseInsensitive)) {
            QSqlQuery c(db);
            if (!c.prepare(u"SELECT name, type, \"notnull\", dflt_value, pk, hidden"
                           u" FROM pragma_table_xinfo(?)"_s))
                throw dbError(c.lastError());
            c.addBindValue(o[1]);
            if (!c.exec())
                throw dbError(c.lastError());
            QStringList columns;
            while (c.next())
                columns << u"%1 %2 %3 %4 %5 %6"_s.arg(c.value(0).toString(), c.value(1).toString(),
                                                      c.value(2).toString(), c.value(3).toString(),
                                                      c.value(4).toString(), c.value(5).toString());
            out << u"数据表 %1（%2）"_s.arg(o[1], columns.join(u"，"_s));
        } else {
            const QString kind = o[0] == u"table"_s     ? u"数据表"_s
                                 : o[0] == u"index"_s   ? u"索引"_s
                                 : o[0] == u"trigger"_s ? u"触发器"_s
                                 : o[0] == u"view"_s    ? u"视图"_s
                                                        : o[0];
            out << u"%1 %2：%3"_s.arg(kind, o[1], definition(o[3]));
        }
    }
    out.sort();
    return out;
}

// The structure of a new database of this version.
QStringList ourStructure()
{
    const QString name = u"lanting-reference"_s;
    QStringList out;
    {
        QSqlDatabase ref = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        ref.setDatabaseName(u":memory:"_s);
        if (!ref.open())
            throw dbError(ref.lastError());
        for (const QString &stmt : schema::createStatements(Backend::Sqlite))
            run(ref, stmt);
        out = structureOf(ref);
        ref.close();
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

// Why a file offered for restore may not replace the live database, or
// nothing when it may: it must be whole (SQLite's integrity check), hold
// nothing that runs by itself but our own triggers (a trigger would run
// with the next recharge, not when it is restored), be of a version this
// program knows, and after the upgrade to this version have exactly our
// tables, columns and indexes. The file is upgraded on the way; it is a
// copy of the chosen one.
QString restoreProblem(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(u"PRAGMA integrity_check"_s) || !q.next())
        return u"文件已损坏：%1"_s.arg(errorText(q.lastError()));
    if (q.value(0).toString() != u"ok"_s)
        return u"文件已损坏（完整性检查未通过：%1）"_s.arg(q.value(0).toString());
    q.finish();
    const QStringList ours = ourStructure();
    for (const QString &item : structureOf(db))
        if ((item.startsWith(u"触发器"_s) || item.startsWith(u"视图"_s)) && !ours.contains(item))
            return u"文件含有不属于本系统的%1"_s.arg(item.section(u'：', 0, 0));
    if (!tablesOf(db, Backend::Sqlite).contains(u"schemaver"_s))
        return u"不是本系统的数据库"_s;
    checkAndMigrate(db, Backend::Sqlite, u"备份文件"_s);
    const QStringList theirs = structureOf(db);
    for (const QString &item : theirs)
        if (!ours.contains(item))
            return u"数据库结构与本程序的不一致（多出或不同：%1）"_s.arg(item);
    for (const QString &item : ours)
        if (!theirs.contains(item))
            return u"数据库结构与本程序的不一致（缺少：%1）"_s.arg(item);
    return {};
}

} // namespace

bool Database::restoreFrom(const QString &backupFile, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!isOpen() || g_backend != Backend::Sqlite)
        return fail(u"数据库不是本机的数据库文件，无法恢复。"_s);
    const DbConfig config = g_config;
    const QString live = config.sqlitePath;
    const QString part = live + u".restore"_s;
    removeWithSides(part);
    if (!QFile::copy(backupFile, part) || !ownerOnly(part)) {
        removeWithSides(part);
        return fail(u"无法复制文件[%1]。"_s.arg(QDir::toNativeSeparators(backupFile)));
    }
    // The copy must be a database of ours before it replaces anything.
    {
        QSqlDatabase check = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"lanting-restore-check"_s);
        check.setDatabaseName(part);
        QString bad;
        if (!check.open())
            bad = errorText(check.lastError());
        else {
            try {
                bad = restoreProblem(check);
            } catch (const DbError &e) {
                bad = e.message();
            }
        }
        check.close();
        check = QSqlDatabase();
        QSqlDatabase::removeDatabase(u"lanting-restore-check"_s);
        if (!bad.isEmpty()) {
            removeWithSides(part);
            return fail(
                u"备份文件[%1]无法使用：%2"_s.arg(QDir::toNativeSeparators(backupFile), bad));
        }
    }
    close();
    // The live file stays where it is, and also under a second name, until
    // the copy has opened as our database (its version and tables are only
    // checked by open()). The copy takes its place in one rename, so there
    // is a whole database under the name at every moment; a copy that does
    // not open is replaced by the kept file in one rename again.
    const QString kept =
        live + u".old-"_s + QDateTime::currentDateTime().toString(u"yyyyMMddHHmmss"_s);
    QFile::remove(kept); // at most a link made by this same second
    const bool aside =
        ::link(QFile::encodeName(live).constData(), QFile::encodeName(kept).constData()) == 0 ||
        QFile::copy(live, kept);
    QString why;
    if (!aside || !renameOver(part, live)) {
        removeWithSides(part);
        if (aside)
            QFile::remove(kept);
        open(config, &why);
        return fail(u"无法替换数据库文件。"_s);
    }
    if (open(config, &why)) {
        QFile::remove(kept);
        return true;
    }
    close();
    for (const char *side : {"-wal", "-shm", "-journal"})
        QFile::remove(live + QLatin1String(side));
    if (!renameOver(kept, live)) // never reopened: that would make a new, empty file
        return fail(
            u"备份文件无法使用（%1），原数据库保存在[%2]，请退出程序后把它改名为[%3]。"_s.arg(
                why, QDir::toNativeSeparators(kept), QDir::toNativeSeparators(live)));
    QString again;
    open(config, &again);
    return fail(u"备份文件[%1]无法使用：%2"_s.arg(QDir::toNativeSeparators(backupFile), why));
}

} // namespace lanting
