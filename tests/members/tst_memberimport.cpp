// Members from a spreadsheet: headings matched to fields, every problem
// marked, exact balances and points written with no recharge record, new
// levels created or mapped, one operation-log row, all or nothing; and the
// import window driven from the member list.

#include "appstate.h"
#include "database.h"
#include "frmimport.h"
#include "frmmain.h"
#include "harness.h"
#include "memberimport.h"
#include "sysinfo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::members;
using test::Harness;

namespace
{

// One row of each kind; the line numbers are the spreadsheet's.
const QString kFixture =
    u"会员卡号,姓名,手机号码,会员等级,余额（元）,积分,出生日期,身份证号,有效期至,性别,备注\r\n"
    u"100000000001,李雷,13800000001,金卡,110.2549,12,1990-07-01,110101199007010011,2030/12/31,男,"
    u"\"说\"\"好\"\"\"\r\n"                          // 2: fine
    u"100000000002,韩梅梅,,银卡,0,0,,,,,\r\n"        // 3: fine, a new level
    u"100000000003,,,,,,,,,,\r\n"                    // 4: no name
    u"100000000004,王芳,,,12abc,,,,,,\r\n"           // 5: balance unreadable
    u"100000000005,赵强,,,,,1990-02-31,,,,\r\n"      // 6: no such day
    u"100000000006,钱多,,,-5,,,,,,\r\n"              // 7: negative
    u"000000000000,无卡,,,,,,,,,\r\n"                // 8: present already
    u"100000000007,甲,,,,,,,,,\r\n"                  // 9: repeated
    u"100000000007,乙,,,,,,,,,\r\n"                  // 10: repeated
    u"100000000008,控制,,,,,,,,,\"bad\x01text\"\r\n" // 11: a control character
    u"100000000009,丙,,VIP,5,,,,,女,\r\n"            // 12: fine, a new level
    u"100000000010,丁,,,,,,,,不详,\r\n"_s;           // 13: sex unreadable

QString fixture(const QTemporaryDir &dir, const QByteArray &bytes)
{
    const QString path = dir.filePath(u"会员资料.csv"_s);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write the fixture");
    return path;
}

ImportPlan checkedPlan(const QString &path)
{
    ImportPlan plan = memberImportPlan(readSheet(path));
    plan.check();
    return plan;
}

void addGold()
{
    Sql(u"INSERT INTO lv (name, csje, csjf, zk, czbl, jf) VALUES ('金卡', 0, 0, 90, 0, 0)"_s)
        .exec();
}

int count(const QString &sql)
{
    return scalar(sql).toInt();
}

// A statement the server will not prepare (a trigger and its function).
bool ddl(const QString &text)
{
    QSqlQuery q(Database::connection());
    return q.exec(text);
}

// Rows, levels and log rows: what an import that failed must leave as it was.
QList<int> footprint()
{
    return {count(u"SELECT count(*) FROM mber"_s), count(u"SELECT count(*) FROM lv"_s),
            count(u"SELECT count(*) FROM syslog"_s), count(u"SELECT count(*) FROM czjl"_s)};
}

} // namespace

class TstMemberImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void headingsMatched_data();
    void headingsMatched();
    void everyProblemMarked();
    void writesExactly_data() { Harness::addBackendRows(); }
    void writesExactly();
    void levelNamesFoldCase();
    void allOrNothing_data() { Harness::addBackendRows(); }
    void allOrNothing();
    void importWindow();
    void importNeedsPermissions();
    void badFileRefused();
};

void TstMemberImport::headingsMatched_data()
{
    QTest::addColumn<QString>("headings");
    QTest::addColumn<QStringList>("fields"); // the field of each column, "" for none
    QTest::newRow("this program's member list")
        << u"卡号,姓名,性别,会员类型,消费总额（元）,消费次数,余额（元）,积分,累计充值金额（元）,联系电话,备注"_s
        << QStringList{u"id"_s, u"name"_s, u"sex"_s,  u"lv"_s,  QString(), QString(),
                       u"ye"_s, u"jf"_s,   QString(), u"tel"_s, u"ps"_s};
    QTest::newRow("another program's words")
        << u"会员编号, 会员姓名 ,手机,级别,储值余额,当前积分,生日,证件号码,到期日期,住址"_s
        << QStringList{u"id"_s, u"name"_s, u"tel"_s,  u"lv"_s,   u"ye"_s,
                       u"jf"_s, u"csny"_s, u"zjhm"_s, u"jzrq"_s, u"addr"_s};
    QTest::newRow("full-width, units, stars") << u"*卡号：,*姓名,余额(元),ＶＩＰ等级"_s
                                              << QStringList{u"id"_s, u"name"_s, u"ye"_s, u"lv"_s};
    QTest::newRow("nothing known") << u"甲,乙"_s << QStringList{QString(), QString()};
}

void TstMemberImport::headingsMatched()
{
    QFETCH(QString, headings);
    QFETCH(QStringList, fields);
    Sheet sheet;
    sheet.headings = headings.split(u',');
    for (QString &h : sheet.headings)
        h = h.trimmed();
    ImportPlan plan(memberImportFields(), sheet, {}, {});
    QStringList got(fields.size());
    for (int f = 0; f < plan.fields().size(); ++f)
        if (plan.column(f) >= 0)
            got[plan.column(f)] = plan.fields()[f].key;
    QCOMPARE(got, fields);
}

void TstMemberImport::everyProblemMarked()
{
    Harness h;
    QVERIFY(h.openDatabase());
    addGold();
    QTemporaryDir dir;
    const ImportPlan plan = checkedPlan(fixture(dir, kFixture.toUtf8()));
    QMap<int, QString> problems;
    for (const ImportRow &row : plan.rows())
        if (!row.problems.isEmpty())
            problems[row.line] = row.problems.join(u'；');
    const QMap<int, QString> expected{
        {4, u"姓名为空"_s},
        {5, u"余额“12abc”无法读取"_s},
        {6, u"生日“1990-02-31”无法读取"_s},
        {7, u"余额不能是负数"_s},
        {8, u"卡号已存在"_s},
        {9, u"卡号在文件中重复"_s},
        {10, u"卡号在文件中重复"_s},
        {11, u"备注含有控制字符"_s},
        {13, u"性别“不详”无法读取"_s},
    };
    QCOMPARE(problems, expected);
    QCOMPARE(plan.problemRows(), 9);
    QCOMPARE(plan.rows().size(), 12);
    // A check cancelled on the way leaves the plan as it was.
    ImportPlan again = plan;
    again.setColumn(again.fieldIndex(u"name"_s), -1);
    QVERIFY(!again.check([](int) { return false; }));
    QCOMPARE(again.rows().size(), 12);
    QCOMPARE(again.problemRows(), 9);
    QCOMPARE(again.rows()[0].values, plan.rows()[0].values);
    // 金卡 exists; the others are offered for creation.
    QCOMPARE(plan.newReferences().keys(), QStringList({u"VIP"_s, u"银卡"_s}));
}

void TstMemberImport::writesExactly()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    state().operatorName = u"admin"_s;
    addGold();
    QTemporaryDir dir;
    ImportPlan plan = checkedPlan(fixture(dir, "\xEF\xBB\xBF" + kFixture.toUtf8()));
    plan.setNewReference(u"VIP"_s, u"金卡"_s);
    const QList<int> before = footprint();

    const ImportResult result = importMembers(plan, u"会员资料.csv"_s);
    QCOMPARE(result.rows, 3);
    QCOMPARE(result.amount, 115.2549);
    QCOMPARE(result.points, 12.0);
    QCOMPARE(result.newReferences, 1);

    Sql q(u"SELECT id, name, tel, lv, ye, csje, jf, csjf, csny, zjlx, zjhm, booljzrq, jzrq, sex,"
          u" ps, pwd, st, ljczje FROM mber WHERE id LIKE '1000000000%' ORDER BY id"_s);
    q.exec();
    QVERIFY(q.next());
    QCOMPARE(q.text(0), u"100000000001"_s);
    QCOMPARE(q.text(1), u"李雷"_s);
    QCOMPARE(q.text(2), u"13800000001"_s);
    QCOMPARE(q.text(3), u"金卡"_s);
    QCOMPARE(q.amount(4), 110.2549); // exactly as read
    QCOMPARE(q.amount(5), 110.2549); // the opening balance is the balance brought in
    QCOMPARE(q.amount(6), 12.0);
    QCOMPARE(q.integer(7), 12);
    QCOMPARE(Database::toDate(q.value(8)), QDate(1990, 7, 1));
    QCOMPARE(q.text(9), u"身份证"_s);
    QCOMPARE(q.text(10), u"110101199007010011"_s);
    QVERIFY(q.value(11).toBool());
    // Valid through its expiry day, as the member form keeps it.
    QCOMPARE(Database::toDt(q.value(12)), QDateTime(QDate(2030, 12, 31), QTime(23, 59, 59)));
    QCOMPARE(q.integer(13), 1);
    QCOMPARE(q.text(14), u"说\"好\""_s);
    QCOMPARE(q.text(15), QString()); // no card password
    QCOMPARE(q.integer(16), 0);
    QCOMPARE(q.amount(17), 0.0); // no recharge counted
    QVERIFY(q.next());
    QCOMPARE(q.text(0), u"100000000002"_s);
    QCOMPARE(q.text(3), u"银卡"_s);
    QVERIFY(q.value(8).isNull()); // no birthday: none invented
    QVERIFY(!q.value(11).toBool());
    QVERIFY(q.next());
    QCOMPARE(q.text(0), u"100000000009"_s);
    QCOMPARE(q.text(3), u"金卡"_s); // VIP put under 金卡
    QCOMPARE(q.amount(4), 5.0);
    QCOMPARE(q.integer(13), 2);
    QVERIFY(!q.next());

    QCOMPARE(count(u"SELECT count(*) FROM lv WHERE name = '银卡' AND zk = "_s +
                   Database::stored(Amount(100)).toString()),
             1);
    QCOMPARE(count(u"SELECT count(*) FROM lv WHERE name = 'VIP'"_s), 0);
    QCOMPARE(footprint(), QList<int>({before[0] + 3, before[1] + 1, before[2] + 1, before[3]}));
    Sql log(u"SELECT czy, czlx, cznr FROM syslog"_s);
    log.exec();
    QVERIFY(log.next());
    QCOMPARE(log.text(0), u"admin"_s);
    QCOMPARE(log.text(1), u"导入会员"_s);
    QCOMPARE(log.text(2), u"从文件[会员资料.csv]导入会员3名，余额合计115.2549元，积分合计12，"
                          u"新建会员等级1个。"_s);
}

// Level names that differ only in case are one level, spelled as stored or
// as first met; one made at another till meanwhile is used as it is.
void TstMemberImport::levelNamesFoldCase()
{
    Harness h;
    QVERIFY(h.openDatabase());
    state().operatorName = u"admin"_s;
    Sql(u"INSERT INTO lv (name) VALUES ('Silver')"_s).exec();
    QTemporaryDir dir;
    const QString path =
        fixture(dir, u"卡号,姓名,等级\n1001,甲,Gold\n1002,乙,gold\n1003,丙,GOLD\n1004,丁,silver\n"
                     u"2001,戊,Jade\n2002,己,JADE\n"_s.toUtf8());
    ImportPlan plan = checkedPlan(path);
    QCOMPARE(plan.newReferences().keys(), QStringList({u"Gold"_s, u"Jade"_s}));
    // Jade is made at another till, in other capitals, before the import.
    Sql(u"INSERT INTO lv (name) VALUES ('JADE')"_s).exec();
    const ImportResult result = importMembers(plan, u"x.csv"_s);
    QCOMPARE(result.newReferences, 1);
    QCOMPARE(firstColumn(u"SELECT name FROM lv ORDER BY name"_s),
             QStringList({u"Gold"_s, u"JADE"_s, u"Silver"_s}));
    QCOMPARE(firstColumn(u"SELECT lv FROM mber WHERE id <> '000000000000' ORDER BY id"_s),
             QStringList({u"Gold"_s, u"Gold"_s, u"Gold"_s, u"Silver"_s, u"JADE"_s, u"JADE"_s}));
    QVERIFY(scalar(u"SELECT cznr FROM syslog"_s).toString().endsWith(u"，新建会员等级1个。"_s));
}

void TstMemberImport::allOrNothing()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    state().operatorName = u"admin"_s;
    addGold();
    QTemporaryDir dir;
    const QString path = fixture(dir, kFixture.toUtf8());
    const QList<int> before = footprint();

    // A failure planted at the last good row, after the others went in.
    if (backend == Backend::Sqlite) {
        QVERIFY(ddl(u"CREATE TRIGGER planted BEFORE INSERT ON mber WHEN new.id = '100000000009'"
                    u" BEGIN SELECT RAISE(ABORT, 'planted failure'); END"_s));
    } else {
        QVERIFY(ddl(u"CREATE FUNCTION planted() RETURNS trigger AS $$ BEGIN"
                    u" IF NEW.id = '100000000009' THEN RAISE EXCEPTION 'planted failure'; END IF;"
                    u" RETURN NEW; END $$ LANGUAGE plpgsql"_s));
        QVERIFY(ddl(u"CREATE TRIGGER planted BEFORE INSERT ON mber FOR EACH ROW"
                    u" EXECUTE FUNCTION planted()"_s));
    }
    try {
        importMembers(checkedPlan(path), u"x.csv"_s);
        QFAIL("the planted failure was not reported");
    } catch (const DbError &e) {
        QVERIFY2(e.message().contains(u"planted failure"_s), qPrintable(e.message()));
    }
    QCOMPARE(footprint(), before);
    QVERIFY(
        ddl(u"DROP TRIGGER planted"_s + (backend == Backend::Sqlite ? QString() : u" ON mber"_s)));

    // A card enrolled at another till after the file was checked.
    ImportPlan plan = checkedPlan(path);
    Sql(u"INSERT INTO mber (id, name, createtime) VALUES ('100000000009', '别人', ?)"_s)
        .bind(Database::dt(QDateTime::currentDateTime()))
        .exec();
    const QList<int> withOther = footprint();
    try {
        importMembers(plan, u"x.csv"_s);
        QFAIL("the card taken meanwhile was not reported");
    } catch (const DbError &e) {
        QCOMPARE(e.message(),
                 u"卡号[100000000009]已被其他收银台登记（第12行），没有导入任何数据。"_s);
    }
    QCOMPARE(footprint(), withOther);

    // Cancelled on the way through a longer file.
    QString many = u"卡号,姓名,余额\n"_s;
    for (int i = 0; i < 3000; ++i)
        many += u"2%1,会员%1,1.5\n"_s.arg(i, 11, 10, QChar(u'0'));
    int calls = 0;
    try {
        importMembers(checkedPlan(fixture(dir, many.toUtf8())), u"many.csv"_s,
                      [&calls](int) { return ++calls < 3; });
        QFAIL("the cancel was not heeded");
    } catch (const SheetError &e) {
        QVERIFY(e.cancelled());
    }
    QCOMPARE(calls, 3);
    QCOMPARE(footprint(), withOther);
}

// The window from the member list: the preview, a changed match, a level
// put under another, a refusal over the problems, then the import.
void TstMemberImport::importWindow()
{
    Harness h;
    QVERIFY(h.openDatabase());
    addGold();
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    QTemporaryDir dir;
    const QString path = fixture(dir, kFixture.toUtf8());
    main->findChild<QPushButton *>(u"cmdMemgl"_s)->click();
    QStringList seen;
    h.onModal([&](QDialog *d) {
        auto *chooser = qobject_cast<QFileDialog *>(d);
        QVERIFY(chooser);
        chooser->selectFile(path);
        d->accept();
    });
    h.onModal([&](QDialog *d) {
        seen << d->windowTitle();
        auto *summary = d->findChild<QLabel *>(u"lblSummary"_s);
        auto *preview = d->findChild<QTreeView *>(u"lvPreview"_s);
        seen << summary->text() << QString::number(preview->model()->rowCount());
        d->findChild<QCheckBox *>(u"chkProblems"_s)->setChecked(true);
        seen << QString::number(preview->model()->rowCount());
        // The remark column left out: its control character no longer counts.
        auto *remark = d->findChild<QComboBox *>(u"comCol_ps"_s);
        QCOMPARE(remark->currentText(), u"备注"_s);
        remark->setCurrentIndex(0);
        seen << summary->text();
        // VIP put under 金卡: the preview says so.
        QComboBox *vip = nullptr;
        for (auto *c : d->findChildren<QComboBox *>())
            if (c->objectName().startsWith(u"comRef_"_s) && c->count() == 2 &&
                c->itemText(1) == u"归入“金卡”"_s && !vip)
                vip = c; // the first new name in order: VIP
        QVERIFY(vip);
        vip->setCurrentIndex(1);
        // Refused over the problems first, then taken without them.
        h.answer(MsgAnswer::No);
        d->findChild<QPushButton *>(u"cmdImport"_s)->click();
        seen << (d->isVisible() ? u"open"_s : u"closed"_s);
        seen << QString::number(count(u"SELECT count(*) FROM mber WHERE id LIKE '1000%'"_s));
        h.answer(MsgAnswer::Yes);
        d->findChild<QPushButton *>(u"cmdImport"_s)->click();
    });
    main->findChild<QPushButton *>(u"cmdImport"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
    QCOMPARE(seen,
             QStringList({u"导入会员"_s, u"共12行，其中9行有问题（标为红色），这些行不会导入。"_s,
                          u"12"_s, u"9"_s, u"共12行，其中8行有问题（标为红色），这些行不会导入。"_s,
                          u"open"_s, u"0"_s}));
    QCOMPARE(h.messages().size(), 3);
    QCOMPARE(h.messages()[0].text.left(7), u"有8行存在问题"_s);
    QCOMPARE(h.lastText(), u"导入完成：会员4名，余额合计115.2549元，积分合计12，新建等级1个。"_s);
    QCOMPARE(scalar(u"SELECT lv FROM mber WHERE id = '100000000009'"_s).toString(), u"金卡"_s);
    QCOMPARE(scalar(u"SELECT ps FROM mber WHERE id = '100000000008'"_s).toString(), QString());
    // The member list shows what came in.
    auto *list = main->findChild<QTreeWidget *>(u"lvMber"_s);
    QVERIFY(list->findItems(u"100000000009"_s, Qt::MatchExactly, 0).size() == 1);
}

void TstMemberImport::importNeedsPermissions()
{
    Harness h;
    QVERIFY(h.startProgram());
    Sql(u"INSERT INTO czy (name, pwd, per) VALUES ('cashier', '', '111101111111')"_s).exec();
    FrmMain *main = h.login(u"cashier"_s, QString());
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdMemgl"_s)->click();
    main->findChild<QPushButton *>(u"cmdImport"_s)->click();
    QCOMPARE(h.lastText(), u"您没有权限执行此操作！"_s);
    QCOMPARE(h.unexpectedModals(), 0);
}

// A file that is no spreadsheet: told why, the import window never opens,
// nothing written.
void TstMemberImport::badFileRefused()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    QTemporaryDir dir;
    const QString path = fixture(dir, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    const QList<int> before = footprint();
    main->findChild<QPushButton *>(u"cmdMemgl"_s)->click();
    h.onModal([&](QDialog *d) {
        qobject_cast<QFileDialog *>(d)->selectFile(path);
        d->accept();
    });
    main->findChild<QPushButton *>(u"cmdImport"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
    QCOMPARE(h.lastText(), u"无法读取此文件：它不是CSV、XLS或XLSX格式的表格。"_s);
    QCOMPARE(footprint(), before);
}

QTEST_MAIN(TstMemberImport)
#include "tst_memberimport.moc"
