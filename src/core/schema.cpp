#include "schema.h"

using namespace Qt::Literals::StringLiterals;

namespace lanting::schema
{

namespace
{

// Levels, operators and categories carry a key of their own only so that
// lists can show them in the order they were entered.
// Column types are written with placeholders and filled in per backend:
// %T text, %I integer, %N exact amount (Amount: ten-thousandths on SQLite, numeric on
// PostgreSQL), %H the amount 100 in that form, %D date-time, %B yes/no, %A autonumber key.
const char *const kTables[] = {
    "mber (id %T NOT NULL, name %T DEFAULT '', sex %I DEFAULT 0, lv %T DEFAULT '',"
    " tel %T DEFAULT '', zjlx %T DEFAULT '', zjhm %T DEFAULT '', pwd %T DEFAULT '',"
    " csny %D, booljzrq %B DEFAULT %F, jzrq %D, jsr %T DEFAULT '', addr %T DEFAULT '',"
    " qq %T DEFAULT '', fx %T DEFAULT '', photo %T DEFAULT '', ps %T,"
    " ye %N DEFAULT 0, csje %N DEFAULT 0, csjf %I DEFAULT 0, jf %N DEFAULT 0, st %I DEFAULT 0,"
    " ljxfje %N DEFAULT 0, ljxfcs %I DEFAULT 0, ljczje %N DEFAULT 0, createtime %D)",
    "con (id %A, mberid %T, boolsp %B DEFAULT %F, czkfk %N DEFAULT 0, xjfk %N DEFAULT 0,"
    " jf %I, createtime %D, czy %T, ps %T)",
    "xiangxi (conid %I, spid %T, spmc %T, dj %N DEFAULT 0, zk %N DEFAULT %H, zhdj %N DEFAULT 0,"
    " sl %N DEFAULT 0, jf %N DEFAULT 0, je %N DEFAULT 0)",
    "czjl (id %A, mberid %T, mbername %T, mberlb %T, ssje %N DEFAULT 0, czje %N DEFAULT 0,"
    " yhsm %T, czy %T, createtime %D, ps %T)",
    "dhjl (id %A, mberid %T, mbername %T, mberlb %T, jf %N DEFAULT 0, czy %T, createtime %D,"
    " ps %T)",
    "thjl (id %A, conid %I, mberid %T, mbername %T, mberlb %T, je %N DEFAULT 0,"
    " thfs %B DEFAULT %F, czy %T, createtime %D, ps %T)",
    "zzjl (id %A, zcid %T, zcname %T, zclv %T, zrid %T, zrname %T, zrlv %T, je %N DEFAULT 0,"
    " czy %T, createtime %D, ps %T)",
    "sjtx (id %A, mberid %T, txsj %D, lx %T, ps %T, czy %T)",
    "jbjl (id %A, czy %T, logintime %D, jbtime %D, yyje %N DEFAULT 0, ssxj %N DEFAULT 0,"
    " czje %N DEFAULT 0, thfhxj %N DEFAULT 0, thfhcz %N DEFAULT 0)",
    "lv (id %A, name %T NOT NULL, csje %N DEFAULT 0, csjf %N DEFAULT 0, zk %N DEFAULT %H,"
    " czbl %N DEFAULT 0, jf %N DEFAULT 0)",
    "czy (id %A, name %T NOT NULL, pwd %T DEFAULT '', per %T DEFAULT '111011101000')",
    "sp (spid %T NOT NULL, name %T, lb %T DEFAULT '', dw %T DEFAULT '', jj %N DEFAULT 0,"
    " sj %N DEFAULT 0, jf %N DEFAULT 0, zt %B DEFAULT %TRUE, kc %N DEFAULT 0)",
    "splb (id %A, name %T NOT NULL)",
    "spdz (spid %T NOT NULL, lv %T NOT NULL, zkl %N DEFAULT %H)",
    // Bands are kept in the order they were entered: the first matching band wins.
    "czgz (id %A, shangxian %N DEFAULT 0, xiaxian %N DEFAULT 0, je %N DEFAULT 0)",
    "syslog (id %A, czy %T, czlx %T, cznr %T, createtime %D)",
    "sysinfo (infokey %T NOT NULL, keyvalue %T)",
    "schemaver (version %I NOT NULL)",
};

// Unique keys (names compared without regard to case, as the screens check
// them) and the indexes behind every lookup of the screens and reports.
const char *const kIndexes[] = {
    "CREATE UNIQUE INDEX ux_mber_id ON mber (id)",
    "CREATE INDEX ix_mber_name ON mber (name)",
    "CREATE INDEX ix_mber_tel ON mber (tel)",
    "CREATE INDEX ix_mber_lv ON mber (lv)",
    "CREATE INDEX ix_mber_jsr ON mber (jsr)",
    // The listed members, and the disabled ones, in card order.
    "CREATE INDEX ix_mber_st ON mber (st, id)",
    // Members enrolled on a day, for the day's summary.
    "CREATE INDEX ix_mber_time ON mber (createtime)",
    // A member's history in time order, and the totals of its sales from
    // the index alone.
    "CREATE INDEX ix_con_mber ON con (mberid, createtime, czkfk, xjfk)",
    "CREATE INDEX ix_con_time ON con (createtime)",
    "CREATE INDEX ix_xiangxi_con ON xiangxi (conid)",
    "CREATE INDEX ix_xiangxi_sp ON xiangxi (spid)",
    "CREATE INDEX ix_czjl_mber ON czjl (mberid, createtime)",
    "CREATE INDEX ix_czjl_time ON czjl (createtime)",
    "CREATE INDEX ix_dhjl_mber ON dhjl (mberid, createtime)",
    "CREATE INDEX ix_dhjl_time ON dhjl (createtime)",
    "CREATE INDEX ix_thjl_con ON thjl (conid)",
    "CREATE INDEX ix_thjl_mber ON thjl (mberid, createtime)",
    "CREATE INDEX ix_thjl_time ON thjl (createtime)",
    "CREATE INDEX ix_zzjl_zc ON zzjl (zcid, createtime)",
    "CREATE INDEX ix_zzjl_zr ON zzjl (zrid, createtime)",
    "CREATE INDEX ix_zzjl_time ON zzjl (createtime)",
    "CREATE INDEX ix_sjtx_mber ON sjtx (mberid, txsj)",
    "CREATE INDEX ix_sjtx_time ON sjtx (txsj)",
    "CREATE INDEX ix_jbjl_time ON jbjl (jbtime)",
    "CREATE INDEX ix_syslog_time ON syslog (createtime)",
    "CREATE UNIQUE INDEX ux_lv_name ON lv (lower(name))",
    "CREATE UNIQUE INDEX ux_czy_name ON czy (lower(name))",
    "CREATE UNIQUE INDEX ux_sp_spid ON sp (spid)",
    "CREATE INDEX ix_sp_name ON sp (name)",
    "CREATE INDEX ix_sp_lb ON sp (lb)",
    "CREATE UNIQUE INDEX ux_splb_name ON splb (lower(name))",
    "CREATE UNIQUE INDEX ux_spdz ON spdz (spid, lv)",
    "CREATE INDEX ix_spdz_lv ON spdz (lv)",
    "CREATE UNIQUE INDEX ux_sysinfo_key ON sysinfo (infokey)",
};

QString typed(const char *ddl, Backend backend, int version = Database::kSchemaVersion)
{
    QString s = QString::fromUtf8(ddl);
    const bool pg = backend == Backend::Postgres;
    s.replace(u"%A"_s, pg ? u"integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"_s
                          : u"INTEGER PRIMARY KEY AUTOINCREMENT"_s);
    s.replace(u"%TRUE"_s, pg ? u"true"_s : u"1"_s);
    s.replace(u"%T"_s, u"text"_s);
    s.replace(u"%I"_s, u"integer"_s);
    // Up to version 2 amounts were binary doubles.
    const bool exact = version >= 3;
    s.replace(u"%N"_s, !exact ? (pg ? u"double precision"_s : u"real"_s)
                              : (pg ? u"numeric(19,4)"_s : u"integer"_s));
    s.replace(u"%H"_s, pg || !exact ? u"100"_s : u"1000000"_s);
    s.replace(u"%D"_s, pg ? u"timestamp(0)"_s : u"text"_s);
    s.replace(u"%B"_s, pg ? u"boolean"_s : u"integer"_s);
    s.replace(u"%F"_s, pg ? u"false"_s : u"0"_s);
    return s;
}

} // namespace

// Members by the month and day of their birthday, for the reminders.
static QString birthdayIndex(Backend backend)
{
    return u"CREATE INDEX ix_mber_birthday ON mber ("_s + Database::monthDayOf(u"csny"_s, backend) +
           u")"_s;
}

// Substrings of card numbers and names, for the lookup: an FTS5 trigram
// index on SQLite, kept in step with the members by triggers; pg_trgm
// indexes on PostgreSQL, where the server may lack the extension or the
// right to add it (the lookup is then slower, never wrong).
static QStringList memberTrigrams(Backend backend)
{
    if (backend == Backend::Postgres)
        return {
            u"DO $$ BEGIN CREATE EXTENSION IF NOT EXISTS pg_trgm;"
            u" EXCEPTION WHEN others THEN RAISE NOTICE 'pg_trgm: %', SQLERRM; END $$"_s,
            u"DO $$ BEGIN IF EXISTS (SELECT 1 FROM pg_extension WHERE extname = 'pg_trgm') THEN"
            u" EXECUTE 'CREATE INDEX ix_mber_id_trgm ON mber USING gin (lower(id) gin_trgm_ops)';"
            u" EXECUTE 'CREATE INDEX ix_mber_name_trgm ON mber USING gin (lower(name) "
            u"gin_trgm_ops)';"
            u" END IF; END $$"_s,
        };
    return {
        u"CREATE VIRTUAL TABLE mber_trgm USING fts5(id, name, content = 'mber', tokenize = 'trigram')"_s,
        u"CREATE TRIGGER mber_trgm_insert AFTER INSERT ON mber BEGIN"
        u" INSERT INTO mber_trgm (rowid, id, name) VALUES (new.rowid, new.id, new.name); END"_s,
        u"CREATE TRIGGER mber_trgm_delete AFTER DELETE ON mber BEGIN"
        u" INSERT INTO mber_trgm (mber_trgm, rowid, id, name) VALUES ('delete', old.rowid, old.id, "
        u"old.name);"
        u" END"_s,
        u"CREATE TRIGGER mber_trgm_update AFTER UPDATE OF id, name ON mber BEGIN"
        u" INSERT INTO mber_trgm (mber_trgm, rowid, id, name) VALUES ('delete', old.rowid, old.id, "
        u"old.name);"
        u" INSERT INTO mber_trgm (rowid, id, name) VALUES (new.rowid, new.id, new.name); END"_s,
        u"INSERT INTO mber_trgm (mber_trgm) VALUES ('rebuild')"_s,
    };
}

// What changed a member's account and no other table keeps (version 12):
// the card replaced (the old number, for the transfers left under it) and
// the points exchange deleted (the exchange as it was, and the points given
// back), so that a member's statement accounts for every movement.
static QStringList accountChanges(Backend backend)
{
    return {u"CREATE TABLE IF NOT EXISTS "_s + typed("bdjl (id %A, mberid %T, lx %T, oldid %T, jf "
                                                     "%N DEFAULT 0, yjf %N DEFAULT 0, yssj %D,"
                                                     " czy %T, createtime %D, ps %T)",
                                                     backend),
            u"CREATE INDEX IF NOT EXISTS ix_bdjl_mber ON bdjl (mberid, createtime)"_s};
}

QStringList createStatements(Backend backend, int version)
{
    QStringList out;
    for (const char *t : kTables)
        out << u"CREATE TABLE "_s + typed(t, backend, version);
    for (const char *i : kIndexes)
        out << QString::fromUtf8(i);
    if (version >= 4)
        out << birthdayIndex(backend);
    if (version >= 5)
        out << memberTrigrams(backend);
    if (version >= 12)
        out << accountChanges(backend);
    return out;
}

namespace
{

struct Table {
    QString name;
    QStringList columns, amounts; // every column; those holding amounts
    bool autonumber = false;
};

// The tables of the current version, read off their definitions.
QList<Table> currentTables()
{
    QList<Table> out;
    for (const char *t : kTables) {
        const QString ddl = QString::fromUtf8(t);
        Table table;
        table.name = ddl.section(u' ', 0, 0);
        const QString body = ddl.mid(ddl.indexOf(u'(') + 1).chopped(1);
        for (const QString &piece : body.split(u',')) {
            const QString column = piece.trimmed().section(u' ', 0, 0);
            table.columns << column;
            if (piece.contains(u"%N"_s))
                table.amounts << column;
            table.autonumber = table.autonumber || piece.contains(u"%A"_s);
        }
        out << table;
    }
    return out;
}

// Amounts were binary doubles up to version 2. Each becomes the exact
// amount it stands for, rounded to four decimals, in place.
QStringList toExactAmounts(Backend backend)
{
    QStringList out;
    for (const Table &t : currentTables()) {
        if (t.amounts.isEmpty())
            continue;
        if (backend == Backend::Postgres) {
            QStringList alters;
            for (const QString &c : t.amounts)
                alters << u"ALTER COLUMN %1 TYPE numeric(19,4) USING round(%1::numeric, 4)"_s.arg(
                    c);
            out << u"ALTER TABLE "_s + t.name + u' ' + alters.join(u", "_s);
            continue;
        }
        // SQLite keeps a column's declared type: the table is built anew with
        // integer columns and the rows are copied over, ids and all.
        const QString old = t.name + u"_v2"_s;
        QStringList values;
        for (const QString &c : t.columns)
            values << (t.amounts.contains(c) ? u"CAST(round(%1 * 10000) AS INTEGER)"_s.arg(c) : c);
        out << u"ALTER TABLE %1 RENAME TO %2"_s.arg(t.name, old);
        for (const char *ddl : kTables)
            if (QString::fromUtf8(ddl).section(u' ', 0, 0) == t.name)
                out << u"CREATE TABLE "_s + typed(ddl, backend, 3);
        if (t.autonumber) // numbers of deleted rows are not given out again
            out << u"UPDATE sqlite_sequence SET name = '%1' WHERE name = '%2'"_s.arg(t.name, old);
        out << u"INSERT INTO %1 (%2) SELECT %3 FROM %4"_s.arg(t.name, t.columns.join(u", "_s),
                                                              values.join(u", "_s), old);
        out << u"DROP TABLE "_s + old;
    }
    if (backend == Backend::Sqlite)
        for (const char *i : kIndexes)
            out << QString::fromUtf8(i).replace(u" INDEX "_s, u" INDEX IF NOT EXISTS "_s);
    return out;
}

// Settings rows added by an upgrade, kept where a database has them already.
QStringList settingsWhereMissing(std::initializer_list<std::pair<const char *, const char *>> rows)
{
    QStringList out;
    for (const auto &[key, value] : rows)
        out << u"INSERT INTO sysinfo (infokey, keyvalue) SELECT '%1', '%2' WHERE NOT EXISTS"
               u" (SELECT 1 FROM sysinfo WHERE infokey = '%1')"_s.arg(QString::fromLatin1(key),
                                                                      QString::fromLatin1(value));
    return out;
}

} // namespace

QStringList migrationStatements(Backend backend, int from)
{
    switch (from) {
    case 1: // the SMS gateway's address, empty until the shop fills it in
        return {u"INSERT INTO sysinfo (infokey, keyvalue) VALUES ('smsurl', '')"_s};
    case 2:
        return toExactAmounts(backend);
    case 3:
        return {birthdayIndex(backend)};
    case 4:
        return memberTrigrams(backend);
    case 5:
        return {u"DROP INDEX ix_con_mber"_s,
                u"CREATE INDEX ix_con_mber ON con (mberid, createtime, czkfk, xjfk)"_s};
    case 6:
        return {u"DROP INDEX IF EXISTS ix_mber_st"_s,
                u"CREATE INDEX ix_mber_st ON mber (st, id)"_s};
    case 8: // members' card passwords still as typed: hashed in the background
        return {u"INSERT INTO sysinfo (infokey, keyvalue) VALUES ('mberpwd', 'plain')"_s};
    case 9: // ESC/POS receipt printers and customer displays, where missing
        return settingsWhereMissing(
            {{"xpkind", "cups"}, {"escpos", ""}, {"xpwidth", "58"}, {"xsdk", ""}});
    case 10: // PC/SC card readers, where missing
        return settingsWhereMissing(
            {{"icdev", "0"}, {"icname", ""}, {"icuid", "0"}, {"icblock", "4"}});
    case 11:
        return accountChanges(backend);
    case 12:
        return {u"CREATE INDEX IF NOT EXISTS ix_mber_time ON mber (createtime)"_s};
    }
    return {};
}

QList<std::pair<QString, QString>> migrationChecks(Backend backend, int from)
{
    QList<std::pair<QString, QString>> out;
    if (from != 2)
        return out;
    // An infinite, undefined or enormous double has no exact amount, nor has
    // a text that SQLite let into a number column: the migration stops before
    // anything changes rather than invent one.
    for (const Table &t : currentTables())
        for (const QString &c : t.amounts) {
            QString bad = u"abs(%1) >= 900000000000000 OR %1 <> %1"_s.arg(c);
            if (backend == Backend::Sqlite)
                bad += u" OR typeof(%1) NOT IN ('integer', 'real', 'null')"_s.arg(c);
            out << std::pair{u"SELECT count(*) FROM %1 WHERE %2"_s.arg(t.name, bad),
                             u"数据表 %1 的 %2 "
                             u"列有%3行数值无法换算为精确金额（无穷大、无效、文字或超过九百万亿），"
                             u"请先更正这些数值。"_s.arg(t.name, c)};
        }
    return out;
}

QList<std::pair<QString, QString>> deliveredSettings()
{
    return {
        {u"xiaoshu"_s, u"2"_s},
        {u"yuan"_s, u"1"_s},
        {u"txtian"_s, u"7"_s},
        {u"showtx"_s, u"yes"_s},
        {u"fdmc"_s, u"岚汀会员店"_s},
        {u"kc"_s, u"no"_s},
        {u"qxdk"_s, u"COM1"_s},
        {u"boolprint"_s, u"no"_s},
        {u"printer"_s, QString()},
        {u"dyfs"_s, u"1"_s},
        {u"bt1"_s, u"欢迎光临"_s},
        {u"bt2"_s, QString()},
        {u"jz1"_s, u"谢谢惠顾，欢迎再次光临！"_s},
        {u"jz2"_s, QString()},
        {u"czsendm"_s, u"no"_s},
        {u"xfsendm"_s, u"no"_s},
        {u"czmoban"_s, u"尊敬的#姓名#，您的会员卡#卡号#本次充值#充值金额#，卡内余额#余额#。"_s},
        {u"xfmoban"_s,
         u"尊敬的#姓名#，您的会员卡#卡号#本次消费#消费金额#，卡内余额#余额#，目前积分#积分#。"_s},
        {u"skin"_s, u"0"_s},
        {u"klx"_s, u"1"_s},
        {u"ckh"_s, u"1"_s},
        {u"bt"_s, u"9600"_s},
        {u"icpwd"_s, u"FFFFFFFFFFFF"_s},
        {u"lvup"_s, u"no"_s},
        {u"czyhfs"_s, u"0"_s},
        {u"fs"_s, u"0"_s},
        {u"bkpath"_s, QString()},
        {u"exitbk"_s, u"no"_s},
        {u"ppath"_s, u"defpath"_s},
        {u"smsurl"_s, QString()},
        // The devices a shop buys today: the receipt printer's kind
        // ("cups" or "escpos"), the ESC/POS printer's address and paper
        // width, the customer display's port.
        {u"xpkind"_s, u"cups"_s},
        {u"escpos"_s, QString()},
        {u"xpwidth"_s, u"58"_s},
        {u"xsdk"_s, QString()},
        // The IC card reader's kind ("0" serial, "1" PC/SC), the PC/SC
        // reader's name (empty: the first present), whether only the card's
        // serial number is read, and the block that holds the card number.
        {u"icdev"_s, u"0"_s},
        {u"icname"_s, QString()},
        {u"icuid"_s, u"0"_s},
        {u"icblock"_s, u"4"_s},
    };
}

QStringList tableNames()
{
    QStringList out;
    for (const char *t : kTables)
        out << QString::fromUtf8(t).section(u' ', 0, 0);
    out << u"bdjl"_s;
    return out;
}

} // namespace lanting::schema
