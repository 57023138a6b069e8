// The settings window, backup and restore, skins and the about window.

#include "amounts.h"
#include "appstate.h"
#include "database.h"
#include "fakedesktop.h"
#include "frmmain.h"
#include "harness.h"
#include "ptydevice.h"
#include "schema.h"
#include "secrets.h"
#include "shift.h"
#include "sysinfo.h"
#include "urlcatcher.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QToolButton>
#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using test::Harness;

namespace
{

template <typename T = QWidget> T *w(QWidget *d, const QString &name)
{
    return d->findChild<T *>(name);
}
void click(QWidget *d, const QString &name)
{
    w<QPushButton>(d, name)->click();
}

void settingsIcon(Harness &h, FrmMain *main, int icon, std::function<void(QDialog *)> body)
{
    main->findChild<QPushButton *>(u"cmdSysz"_s)->click();
    h.onModal(std::move(body));
    main->findChild<QToolButton *>(u"Imgsz_%1"_s.arg(icon))->click();
}

// Answers the folder chooser with a folder.
std::function<void(QDialog *)> choose(const QString &folder)
{
    return [folder](QDialog *d) {
        auto *f = qobject_cast<QFileDialog *>(d);
        QVERIFY(f);
        f->setDirectory(folder);
        f->selectFile(folder);
        static_cast<QDialog *>(f)->accept();
    };
}

} // namespace

using test::UrlCatcher;

class TstMaintenance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void settingsShownAndSaved();
    void copiesMustBeWhole();
    void backupAndRestore();
    void restoreRefusals();
    void tamperedRestores_data();
    void tamperedRestores();
    void filesForTheOwnerOnly();
    void leftoversOfAnInterruption();
    void serverBackupRefused();
    void skins();
    void skinAtStart();
    void help();
    void about();
};

void TstMaintenance::settingsShownAndSaved()
{
    Harness h;
    QVERIFY(h.startProgram());
    SetSysInfo(u"printer"_s, u"早已拆掉的打印机"_s);
    FrmMain *main = h.login();
    QVERIFY(main);
    QCOMPARE(RoundJe(lit(2.345)), 2.35);
    settingsIcon(h, main, 5, [&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"其它设置"_s);
        QCOMPARE(w<QLineEdit>(d, u"txtShopName"_s)->text(), u"岚汀会员店"_s);
        QCOMPARE(w<QComboBox>(d, u"comQx"_s)->count(), 8); // COM1 to COM7, the printer
        QCOMPARE(w<QComboBox>(d, u"comQx"_s)->itemText(7), u"打印机"_s);
        QCOMPARE(w<QComboBox>(d, u"comPrinter"_s)->currentIndex(), -1); // no longer installed
        QVERIFY(w<QPushButton>(d, u"dcButton2"_s)->styleSheet().contains(u"blue"_s));
        w<QLineEdit>(d, u"txtShopName"_s)->setText(u"新店"_s);
        w<QComboBox>(d, u"comXiaoshu"_s)->setCurrentText(u"0"_s);
        w<QLineEdit>(d, u"txtYuan"_s)->setText(u"不积分"_s);
        w<QLineEdit>(d, u"txtTian"_s)->setText(u"3.0"_s);
        w<QCheckBox>(d, u"chkKc"_s)->setChecked(true);
        w<QComboBox>(d, u"comQx"_s)->setCurrentText(u"COM5"_s);
        click(d, u"dcButton1"_s);
        w<QCheckBox>(d, u"chPrint"_s)->setChecked(true);
        w<QLineEdit>(d, u"txtBt1"_s)->setText(u"欢迎光临"_s);
        w<QLineEdit>(d, u"txtNum"_s)->setText(QString());
        click(d, u"cmdSave"_s);
    });
    QCOMPARE(h.unexpectedModals(), 0);
    QVERIFY(h.messages().isEmpty());
    QCOMPARE(GetSysInfo(u"fdmc"_s), u"新店"_s);
    QVERIFY(main->windowTitle().contains(u"[新店]"_s));
    QCOMPARE(GetSysInfo(u"yuan"_s), u"0"_s);
    QCOMPARE(state().yuanPerPoint, 0.0);
    QCOMPARE(GetSysInfo(u"txtian"_s), u"3"_s);
    QCOMPARE(GetSysInfo(u"kc"_s), u"yes"_s);
    QCOMPARE(GetSysInfo(u"qxdk"_s), u"COM5"_s);
    QCOMPARE(state().drawerPort, u"COM5"_s);
    QCOMPARE(GetSysInfo(u"boolprint"_s), u"yes"_s);
    QCOMPARE(state().bt1, u"欢迎光临"_s);
    QCOMPARE(GetSysInfo(u"dyfs"_s), u"0"_s);
    QCOMPARE(state().copies, 0);
    QCOMPARE(GetSysInfo(u"printer"_s), QString());
    // The decimals at once: whole yuan.
    QCOMPARE(state().decimals, 0);
    QCOMPARE(RoundJe(lit(2.4)), 2.0);
    // Closing without saving writes nothing.
    settingsIcon(h, main, 5, [&](QDialog *d) {
        w<QLineEdit>(d, u"txtShopName"_s)->setText(u"不要"_s);
        click(d, u"cmdClose"_s);
    });
    QCOMPARE(GetSysInfo(u"fdmc"_s), u"新店"_s);

    // An ESC/POS printer needs its address; with it, the printer, its paper,
    // the drawer through it and the customer display are kept.
    settingsIcon(h, main, 5, [&](QDialog *d) {
        QCOMPARE(w<QComboBox>(d, u"comKind"_s)->currentIndex(), 0);
        click(d, u"dcButton1"_s);
        w<QComboBox>(d, u"comKind"_s)->setCurrentIndex(1);
        click(d, u"cmdSave"_s);
        QCOMPARE(h.lastText(), u"请输入ESC/POS小票打印机的地址！"_s);
        QVERIFY(d->isVisible());
        w<QLineEdit>(d, u"txtEscpos"_s)->setText(u" 192.168.1.50:9100 "_s);
        w<QComboBox>(d, u"comPaper"_s)->setCurrentIndex(1);
        w<QLineEdit>(d, u"txtDisplay"_s)->setText(u"/dev/ttyUSB0"_s);
        w<QComboBox>(d, u"comQx"_s)->setCurrentText(u"打印机"_s);
        click(d, u"cmdSave"_s);
    });
    QCOMPARE(GetSysInfo(u"xpkind"_s), u"escpos"_s);
    QCOMPARE(GetSysInfo(u"escpos"_s), u"192.168.1.50:9100"_s);
    QCOMPARE(GetSysInfo(u"xpwidth"_s), u"80"_s);
    QCOMPARE(GetSysInfo(u"xsdk"_s), u"/dev/ttyUSB0"_s);
    QCOMPARE(GetSysInfo(u"qxdk"_s), u"打印机"_s);
    QVERIFY(state().escposPrinter);
    QCOMPARE(state().escposAddress, u"192.168.1.50:9100"_s);
    QCOMPARE(state().paperMm, 80);
    QCOMPARE(state().displayPort, u"/dev/ttyUSB0"_s);
}

void TstMaintenance::copiesMustBeWhole()
{
    Harness h;
    QVERIFY(h.startProgram());
    FrmMain *main = h.login();
    QVERIFY(main);
    settingsIcon(h, main, 5, [&](QDialog *d) {
        for (const QString &bad : {u"2份"_s, u"1.5"_s}) {
            w<QLineEdit>(d, u"txtNum"_s)->setText(bad);
            click(d, u"cmdSave"_s);
            QCOMPARE(h.lastText(), u"打印份数必须是整数！"_s);
            QVERIFY(d->isVisible());
        }
        w<QLineEdit>(d, u"txtNum"_s)->setText(u" 2 "_s);
        click(d, u"cmdSave"_s);
        QVERIFY(!d->isVisible());
    });
    QCOMPARE(GetSysInfo(u"dyfs"_s), u"2"_s);
    QCOMPARE(state().copies, 2);
}

void TstMaintenance::backupAndRestore()
{
    Harness h;
    QVERIFY(h.startProgram());
    Sql(A(u"INSERT INTO mber (id, name, ye) VALUES ('100000000001', '张三', {10})"_s)).exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    QTemporaryDir root;
    const QString folder = root.filePath(u"备份"_s);
    for (int round = 1; round <= 2; ++round) {
        Sql(u"UPDATE mber SET ye = ? WHERE id = '100000000001'"_s).bind(Amount(round * 100)).exec();
        settingsIcon(h, main, 6, [&](QDialog *d) {
            QCOMPARE(d->windowTitle(), u"数据库备份/恢复"_s);
            QDir().mkpath(folder);
            h.onModal(choose(folder));
            click(d, u"cmdBak"_s);
            QCOMPARE(h.lastText(), u"备份成功！"_s);
            QCOMPARE(h.messages().last().icon, MsgIcon::Information);
            click(d, u"cmdClose"_s);
        });
    }
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{u"qzdbbak.qdb"_s});
    Sql(A(u"UPDATE mber SET ye = {1} WHERE id = '100000000001'"_s)).exec();
    settingsIcon(h, main, 6, [&](QDialog *d) {
        // No: nothing changes.
        h.onModal(choose(folder));
        h.answer(MsgAnswer::No);
        click(d, u"cmdR"_s);
        QCOMPARE(h.messages().last().caption, u"数据库还原确认"_s);
        QCOMPARE(h.messages().last().defaultAnswer, MsgAnswer::No);
        QCOMPARE(amountAt(u"SELECT ye FROM mber WHERE id = '100000000001'"_s), 1.0);
        h.onModal(choose(folder));
        h.answer(MsgAnswer::Yes);
        click(d, u"cmdR"_s);
        QCOMPARE(h.lastText(), u"数据库恢复成功！"_s);
        click(d, u"cmdClose"_s);
    });
    QCOMPARE(h.unexpectedModals(), 0);
    // The later backup, through the program's own connection.
    QCOMPARE(amountAt(u"SELECT ye FROM mber WHERE id = '100000000001'"_s), 200.0);
    // Nothing kept aside once the copy is in use.
    QCOMPARE(QDir(h.folder()).entryList({u"qzdb.qdb.*"_s}, QDir::Files), QStringList());
}

void TstMaintenance::serverBackupRefused()
{
    // A server database has no file here: backups are made on the server.
    LT_NEED_POSTGRES();
    Harness h(Backend::Postgres);
    FrmMain *main = h.login();
    QVERIFY(main);
    settingsIcon(h, main, 6, [&](QDialog *d) {
        for (const char *button : {"cmdBak", "cmdR"}) {
            h.clearMessages();
            click(d, QString::fromLatin1(button));
            QCOMPARE(h.lastText(), u"数据库在服务器上，请在数据库服务器上备份和恢复。"_s);
        }
        click(d, u"cmdClose"_s);
    });
    QCOMPARE(h.unexpectedModals(), 0); // no folder was asked for
}

void TstMaintenance::restoreRefusals()
{
    Harness h;
    QVERIFY(h.startProgram());
    Sql(u"INSERT INTO czy (name, pwd, per) VALUES ('op', '', '111111111110')"_s).exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    QTemporaryDir other;
    QFile(other.filePath(u"qzdb.qdb"_s)).open(QIODevice::WriteOnly);
    QTemporaryDir foreign;
    QTemporaryDir newer;
    {
        QFile f(foreign.filePath(u"qzdbbak.qdb"_s));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a database at all");
    }
    Sql(u"INSERT INTO mber (id, name) VALUES ('100000000001', '张三')"_s).exec();
    settingsIcon(h, main, 6, [&](QDialog *d) {
        h.onModal(choose(other.path()));
        click(d, u"cmdR"_s);
        QCOMPARE(h.lastText(), u"该文件夹不存在本软件的数据库！"_s);
        // A file of that name that is not ours never replaces the database.
        h.onModal(choose(foreign.path()));
        h.answer(MsgAnswer::Yes);
        click(d, u"cmdR"_s);
        QCOMPARE(h.messages().last().caption, u"错误"_s);
        // One of ours from a newer program: refused only when opened, and
        // the live database comes back as it was.
        QVERIFY(Database::copyTo(newer.filePath(u"qzdbbak.qdb"_s)));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"newer"_s);
            db.setDatabaseName(newer.filePath(u"qzdbbak.qdb"_s));
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(u"UPDATE schemaver SET version = 99"_s));
            QVERIFY(QSqlQuery(db).exec(u"DELETE FROM mber"_s));
            db.close();
        }
        QSqlDatabase::removeDatabase(u"newer"_s);
        h.clearMessages();
        h.onModal(choose(newer.path()));
        h.answer(MsgAnswer::Yes);
        click(d, u"cmdR"_s);
        QCOMPARE(h.messages().last().caption, u"错误"_s);
        QVERIFY(Database::isOpen());
        QCOMPARE(scalar(u"SELECT count(*) FROM mber WHERE id = '100000000001'"_s).toInt(), 1);
        click(d, u"cmdClose"_s);
    });
    QCOMPARE(scalar(u"SELECT count(*) FROM mber WHERE id = '100000000001'"_s).toInt(), 1);
    QCOMPARE(QDir(h.folder()).entryList({u"qzdb.qdb*"_s}, QDir::Files), QStringList{u"qzdb.qdb"_s});
    delete main;
    main = h.login(u"op"_s, QString());
    QVERIFY(main);
    h.clearMessages();
    main->findChild<QPushButton *>(u"cmdSysz"_s)->click();
    main->findChild<QToolButton *>(u"Imgsz_6"_s)->click();
    QCOMPARE(h.lastText(), u"您没有权限执行此操作！"_s);
    QCOMPARE(h.unexpectedModals(), 0);
}

void TstMaintenance::tamperedRestores_data()
{
    // What is done to a real backup (or, for "empty tables", in place of
    // one), and the words the refusal must hold.
    QTest::addColumn<QString>("tamper");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("a trigger") << u"CREATE TRIGGER backdoor AFTER INSERT ON czjl BEGIN"
                                  u" INSERT INTO czy (name, pwd, per) VALUES ('backdoor', 'x',"
                                  u" '111111111111'); UPDATE mber SET ye = ye + 10000000000; END"_s
                               << u"触发器"_s;
    QTest::newRow("a view") << u"CREATE VIEW every_member AS SELECT * FROM mber"_s << u"视图"_s;
    QTest::newRow("a table not ours") << u"CREATE TABLE notes (x)"_s << u"notes"_s;
    QTest::newRow("a column less") << u"ALTER TABLE mber DROP COLUMN ps"_s << u"数据表 mber"_s;
    QTest::newRow("an index less") << u"DROP INDEX ix_con_time"_s << u"ix_con_time"_s;
    QTest::newRow("empty tables") << u"empty tables"_s << u"不一致"_s;
    QTest::newRow("damaged pages") << u"damaged pages"_s << u"损坏"_s;
    QTest::newRow("the version before") << u"the version before"_s << QString();
}

void TstMaintenance::tamperedRestores()
{
    // A file offered for restore replaces nothing until it has passed every
    // check; the live database stays as it was.
    QFETCH(QString, tamper);
    QFETCH(QString, refusal);
    Harness h;
    QVERIFY(h.startProgram());
    {
        Transaction tx;
        Sql q(u"INSERT INTO mber (id, name, ps) VALUES (?, '张三', ?)"_s);
        for (int i = 0; i < 400; ++i) // a file of many pages
            q.bind(QString::number(100000000000LL + i)).bind(QString(200, u'备')).exec();
        tx.commit();
    }
    FrmMain *main = h.login();
    QVERIFY(main);
    QTemporaryDir folder;
    const QString file = folder.filePath(u"qzdbbak.qdb"_s);
    if (tamper == u"empty tables"_s) {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"tamper"_s);
        db.setDatabaseName(file);
        QVERIFY(db.open());
        for (const QString &t : schema::tableNames())
            if (t != u"schemaver"_s)
                QVERIFY(QSqlQuery(db).exec(u"CREATE TABLE %1 (x)"_s.arg(t)));
        QVERIFY(QSqlQuery(db).exec(u"CREATE TABLE schemaver (version integer)"_s));
        QVERIFY(QSqlQuery(db).exec(
            u"INSERT INTO schemaver VALUES (%1)"_s.arg(Database::kSchemaVersion)));
        db.close();
    } else if (tamper == u"the version before"_s) {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"tamper"_s);
        db.setDatabaseName(file);
        QVERIFY(db.open());
        for (const QString &sql :
             schema::createStatements(Backend::Sqlite, Database::kSchemaVersion - 1))
            QVERIFY2(QSqlQuery(db).exec(sql), qPrintable(sql));
        QVERIFY(QSqlQuery(db).exec(
            u"INSERT INTO schemaver VALUES (%1)"_s.arg(Database::kSchemaVersion - 1)));
        db.close();
    } else {
        QVERIFY(Database::copyTo(file));
        if (tamper == u"damaged pages"_s) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.size() > 40 * 4096);
            f.seek(f.size() / 2 / 4096 * 4096);
            f.write(QByteArray(3 * 4096, '\xA5'));
        } else {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"tamper"_s);
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY2(q.exec(tamper), qPrintable(q.lastError().text()));
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(u"tamper"_s);
    Sql(u"UPDATE mber SET name = '李四' WHERE id = '100000000000'"_s).exec();
    settingsIcon(h, main, 6, [&](QDialog *d) {
        h.onModal(choose(folder.path()));
        h.answer(MsgAnswer::Yes);
        click(d, u"cmdR"_s);
        click(d, u"cmdClose"_s);
    });
    QVERIFY(Database::isOpen());
    if (refusal.isEmpty()) {
        QCOMPARE(h.lastText(), u"数据库恢复成功！"_s);
        QCOMPARE(scalar(u"SELECT max(version) FROM schemaver"_s).toInt(), Database::kSchemaVersion);
        QCOMPARE(scalar(u"SELECT count(*) FROM mber"_s).toInt(), 0);
        return;
    }
    QCOMPARE(h.messages().last().caption, u"错误"_s);
    QVERIFY2(h.lastText().contains(refusal), qPrintable(h.lastText()));
    // The live database as it was, whole, and nothing beside it.
    QCOMPARE(scalar(u"SELECT name FROM mber WHERE id = '100000000000'"_s).toString(), u"李四"_s);
    QCOMPARE(scalar(u"SELECT count(*) FROM mber WHERE ps <> ''"_s).toInt(), 400);
    QCOMPARE(scalar(u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
    QCOMPARE(scalar(u"SELECT count(*) FROM sqlite_master WHERE type IN ('trigger', 'view')"
                    u" AND name NOT LIKE 'mber_trgm%'"_s)
                 .toInt(),
             0);
    QCOMPARE(QDir(h.folder()).entryList({u"qzdb.qdb*"_s}, QDir::Files), QStringList{u"qzdb.qdb"_s});
    // An ordinary recharge afterwards makes no operator and no money.
    Sql(A(u"INSERT INTO czjl (mberid, ssje, czje) VALUES ('100000000001', {1}, {1})"_s)).exec();
    QCOMPARE(scalar(u"SELECT count(*) FROM czy WHERE name = 'backdoor'"_s).toInt(), 0);
    QCOMPARE(QFileInfo::exists(file), true); // the chosen file is left alone
}

namespace
{
// The permission bits of a file or folder, as ls shows them in octal.
int modeOf(const QString &path)
{
    struct stat st {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}
} // namespace

void TstMaintenance::filesForTheOwnerOnly()
{
    // Under the usual umask the database, backups and their folders are
    // still the owner's alone; a database an older program left readable
    // to all is narrowed when it is opened.
    const mode_t before = ::umask(022);
    auto restoreUmask = qScopeGuard([before] { ::umask(before); });
    {
        Harness h;
        QVERIFY(h.startProgram());
        QCOMPARE(modeOf(h.folder() + u"/qzdb.qdb"_s), 0600);
        FrmMain *main = h.login();
        QVERIFY(main);
        QTemporaryDir root;
        QVERIFY(QFile::setPermissions(root.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                       QFile::ExeOwner | QFile::ReadOther |
                                                       QFile::ExeOther));
        const QString folder = root.filePath(u"备份"_s);
        QVERIFY(QDir().mkpath(folder));
        settingsIcon(h, main, 6, [&](QDialog *d) {
            h.onModal(choose(folder));
            click(d, u"cmdBak"_s);
            QCOMPARE(h.lastText(), u"备份成功！"_s);
            click(d, u"cmdClose"_s);
        });
        QCOMPARE(modeOf(folder + u"/qzdbbak.qdb"_s), 0600);
        // The handover's backup at exit makes its folders as it goes.
        QVERIFY(reports::backupOnExit(root.filePath(u"交班/本月"_s)));
        QCOMPARE(modeOf(root.filePath(u"交班"_s)), 0700);
        QCOMPARE(modeOf(root.filePath(u"交班/本月"_s)), 0700);
        QCOMPARE(modeOf(root.filePath(u"交班/本月/qzdbbak.qdb"_s)), 0600);
        QCOMPARE(modeOf(root.path()), 0705); // there before: left alone
    }
    Harness h;
    QVERIFY(h.startProgram());
    Database::close();
    QVERIFY(QFile::setPermissions(h.folder() + u"/qzdb.qdb"_s,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                      QFile::ReadOther));
    QVERIFY(h.startProgram());
    QCOMPARE(modeOf(h.folder() + u"/qzdb.qdb"_s), 0600);
}

void TstMaintenance::leftoversOfAnInterruption()
{
    // A restore or backup killed midway: what it left is gone at the next
    // start; the database as it was comes back when the live file is
    // missing or does not open.
    Harness h;
    QVERIFY(h.startProgram());
    Sql(u"INSERT INTO mber (id, name) VALUES ('100000000001', '张三')"_s).exec();
    QTemporaryDir backups;
    SetSysInfo(u"bkpath"_s, backups.path());
    Database::close();
    const QString live = h.folder() + u"/qzdb.qdb"_s;
    const QString kept = live + u".old-20261210080000"_s;
    auto write = [](const QString &path, const QByteArray &bytes) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    auto files = [&] {
        return QDir(h.folder()).entryList({u"qzdb.qdb*"_s}, QDir::Files, QDir::Name);
    };
    auto member = [] {
        return scalar(u"SELECT name FROM mber WHERE id = '100000000001'"_s).toString();
    };

    // The copy being checked and a kept copy beside a live file that opens.
    QVERIFY(write(live + u".restore"_s, "half a copy"));
    QVERIFY(write(live + u".restore-journal"_s, "journal"));
    QVERIFY(QFile::copy(live, kept));
    QVERIFY(write(backups.filePath(u"qzdbbak.qdb.part"_s), "half a backup"));
    QVERIFY(write(backups.filePath(u"qzdbbak.qdb.part-journal"_s), "journal"));
    QVERIFY(h.startProgram());
    QCOMPARE(files(), QStringList{u"qzdb.qdb"_s});
    QCOMPARE(QDir(backups.path()).entryList(QDir::Files), QStringList());
    QCOMPARE(member(), u"张三"_s);

    // The live file gone, or not a database: the kept copy takes its place.
    // The live file gone, or not a database (kept aside, not overwritten):
    // the kept copy takes its place.
    for (const bool damaged : {false, true}) {
        Database::close();
        QVERIFY(QFile::rename(live, kept));
        if (damaged)
            QVERIFY(write(live, QByteArray(8192, '\x5a')));
        h.clearMessages();
        QVERIFY(h.startProgram());
        QVERIFY2(Database::isOpen(), qPrintable(h.lastText()));
        QCOMPARE(member(), u"张三"_s);
        QStringList left = files();
        QCOMPARE(left.takeFirst(), u"qzdb.qdb"_s);
        QCOMPARE(left.size(), damaged ? 1 : 0);
        if (damaged) {
            QVERIFY(left.first().startsWith(u"qzdb.qdb.unopened-"_s));
            QFile aside(QDir(h.folder()).filePath(left.first()));
            QVERIFY(aside.open(QIODevice::ReadOnly));
            QCOMPARE(aside.readAll(), QByteArray(8192, '\x5a'));
            aside.close();
            QVERIFY(aside.remove());
        }
    }

    // A live database that does not open for another reason (a newer
    // program's) is never replaced: the kept copy waits beside it.
    Sql(u"UPDATE schemaver SET version = 99"_s).exec();
    Database::close();
    QVERIFY(QFile::copy(live, kept));
    QString error;
    QVERIFY(!Database::openAtStart(h.config(), &error));
    QVERIFY2(error.contains(u"新版本"_s), qPrintable(error));
    QCOMPARE(files(), QStringList({u"qzdb.qdb"_s, u"qzdb.qdb.old-20261210080000"_s}));
}

void TstMaintenance::skins()
{
    Harness h;
    QVERIFY(h.startProgram());
    FrmMain *main = h.login();
    QVERIFY(main);
    auto *classic = main->findChild<QAction *>(u"mnuSkin_1"_s);
    QVERIFY(classic);
    QCOMPARE(classic->text(), u"蓝色经典"_s);
    QVERIFY(main->findChild<QAction *>(u"mnuSkin_0"_s)->isChecked());
    classic->trigger();
    QCOMPARE(GetSysInfo(u"skin"_s), u"1"_s);
    QVERIFY(classic->isChecked());
    QVERIFY(!main->findChild<QAction *>(u"mnuSkin_0"_s)->isChecked());
    QCOMPARE(main->property("skinBackground").value<QColor>(), QColor(153, 204, 245));
    main->findChild<QAction *>(u"mnuSkin_0"_s)->trigger();
    QCOMPARE(main->property("skinBackground").value<QColor>(), QColor(224, 224, 224));
    QCOMPARE(main->findChildren<QAction *>(QRegularExpression(u"^mnuSkin_"_s)).size(), 20);
}

void TstMaintenance::skinAtStart()
{
    // The stored look is on while the login window loads.
    Harness h;
    QVERIFY(h.startProgram());
    const QColor system = qApp->palette().color(QPalette::Button);
    SetSysInfo(u"skin"_s, u"3"_s);
    QVERIFY(h.startProgram());
    QCOMPARE(qApp->palette().color(QPalette::Button), QColor(0xE8, 0xC8, 0x9C));
    SetSysInfo(u"skin"_s, u"25"_s); // out of range: the look stays as it is
    QVERIFY(h.startProgram());
    QCOMPARE(qApp->palette().color(QPalette::Button), QColor(0xE8, 0xC8, 0x9C));
    SetSysInfo(u"skin"_s, u"0"_s);
    QVERIFY(h.startProgram());
    QCOMPARE(qApp->palette().color(QPalette::Button), system);
}

void TstMaintenance::help()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(u"file"_s, &catcher, "open");
    auto *button = main->findChild<QPushButton *>(u"cmdHelp"_s);
    // No pages anywhere (the test program has none beside it): said so.
    button->click();
    QVERIFY(catcher.urls.isEmpty());
    QCOMPARE(h.lastText(), u"找不到帮助文件。"_s);
    h.clearMessages();
    // The shop's own pages in the program folder.
    QVERIFY(QDir(h.folder()).mkpath(u"help"_s));
    const QString page = QDir(h.folder()).filePath(u"help/index.html"_s);
    QFile f(page);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("<html></html>");
    f.close();
    {
        test::FakeDesktop desktop; // a browser, whatever this machine has
        button->click();
    }
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(page)});
    QVERIFY(h.messages().isEmpty());
    QDesktopServices::unsetUrlHandler(u"file"_s);
    // No browser on the till (no xdg-open): said so, with where the pages are.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", h.folder().toLocal8Bit());
    button->click();
    qputenv("PATH", path);
    QVERIFY2(h.lastText().startsWith(u"本机没有可以打开帮助的浏览器。"_s),
             qPrintable(h.lastText()));
    QVERIFY(h.lastText().endsWith(QDir::toNativeSeparators(page)));
}

void TstMaintenance::about()
{
    Harness h;
    QVERIFY(h.startProgram());
    test::Pty pty;
    QVERIFY(pty.isOpen());
    test::configureDrawerPort(h.folder(), u"COM1"_s, pty.slavePath());
    FrmMain *main = h.login();
    QVERIFY(main);
    state().drawerPort = u"COM1"_s;
    QByteArray sentBefore;
    h.onModal([&](QDialog *d) {
        sentBefore = pty.read();
        QCOMPARE(d->windowTitle(), u"关于 岚汀会员管理系统专业版"_s);
        QCOMPARE(w<QLabel>(d, u"lblVer"_s)->text(), u"版本：1.0.0"_s);
        click(d, u"cmdOK"_s);
    });
    main->findChild<QPushButton *>(u"cmdAbout"_s)->click();
    QCOMPARE(sentBefore, QByteArray::fromHex("1b7020003cff"));
    QCOMPARE(h.unexpectedModals(), 0);
}

QTEST_MAIN(TstMaintenance)
#include "tst_maintenance.moc"
