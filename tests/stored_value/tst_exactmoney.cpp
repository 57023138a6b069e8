// Money and points stay exact, stay within what the shop can hold, and a
// till that acts on a screen another till has overtaken is refused rather
// than told "done": on both backends.

#include "accountmoves.h"
#include "appstate.h"
#include "cardloss.h"
#include "enrolment.h"
#include "frmchongzhi.h"
#include "frmzhijiexf.h"
#include "frmmain.h"
#include "harness.h"
#include "levels.h"
#include "memberactions.h"
#include "movewindows.h"
#include "paywindows.h"
#include "recharge.h"
#include "settlement.h"
#include "sysinfo.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::stored_value;
using test::Harness;

namespace
{
const QString kA = u"100000000001"_s;
const QString kB = u"100000000002"_s;

void storeMember(const QString &id, Amount ye, Amount jf = 0, const QString &level = QString())
{
    Sql(u"INSERT INTO mber (id, name, lv, pwd, ye, jf, st, zjhm) VALUES (?, '会员', ?, '1', ?, ?, 0, '44')"_s)
        .bind(id)
        .bind(level)
        .bind(ye)
        .bind(jf)
        .exec();
}

Amount ye(const QString &id = kA)
{
    return amountAt(u"SELECT ye FROM mber WHERE id = ?"_s, {id});
}

Amount points(const QString &id = kA)
{
    return amountAt(u"SELECT jf FROM mber WHERE id = ?"_s, {id});
}

int rows(const QString &table)
{
    return scalar(u"SELECT count(*) FROM "_s + table).toInt();
}

int addSale(const QString &card, Amount cardPart, Amount cash)
{
    Sql q(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, jf, createtime, czy, ps)"
          u" VALUES (?, ?, ?, ?, 0, ?, 'admin', '') RETURNING id"_s);
    q.bind(card).bind(false).bind(cardPart).bind(cash).bind(Database::dt(QDateTime::currentDateTime())).exec();
    q.next();
    return q.integer(0);
}

// A sale of one piece of goods G at 3, to member A.
sales::SaleInput oneGoods()
{
    sales::BasketLine line;
    line.spid = u"G"_s;
    line.name = u"可乐"_s;
    line.sj = line.zhdj = line.je = 3;
    line.sl = 1;
    sales::SaleInput s;
    s.card = kA;
    s.lines = {line};
    s.total = 3;
    return s;
}

template <class T> T *w(QWidget *parent, const QString &name)
{
    return parent->findChild<T *>(name);
}
} // namespace

class TstExactMoney : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void transferLeavesNoRemainder_data() { Harness::addBackendRows(); }
    void transferLeavesNoRemainder();
    void returnsAddUpExactly_data() { Harness::addBackendRows(); }
    void returnsAddUpExactly();
    void beyondTheLimitsNothingIsWritten_data() { Harness::addBackendRows(); }
    void beyondTheLimitsNothingIsWritten();
    void overtakenScreensAreRefused_data() { Harness::addBackendRows(); }
    void overtakenScreensAreRefused();
    void hostileTextsInMoneyScreens_data();
    void hostileTextsInMoneyScreens();
    void noStatementLeftOnTheServer();
    void busyFileTellsTheCashier();
};

void TstExactMoney::transferLeavesNoRemainder()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.startProgram());
    storeMember(kA, je("0.3"));
    storeMember(kB, 0);
    QCOMPARE(transfer(kA, kB, je("0.1"), QString()), Refusal::None);
    QCOMPARE(transfer(kA, kB, je("0.2"), QString()), Refusal::None);
    QCOMPARE(ye(kA), Amount());
    QCOMPARE(ye(kB), je("0.3"));
    // What a shop sees: nothing left, and not a cent more to give.
    QCOMPARE(transfer(kA, kB, je("0.01"), QString()), Refusal::TooFew);
    FrmMain *main = h.login();
    QVERIFY(main);
    main->ShowMber(kA);
    QCOMPARE(main->shownMember(u"lblKnye"_s), u"0元"_s);
}

void TstExactMoney::returnsAddUpExactly()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    storeMember(kA, 0);
    const int sale = addSale(kA, je("10"), 0);
    QCOMPARE(recordReturn(sale, kA, QString(), QString(), je("8.13"), true, QString()), Refusal::None);
    QCOMPARE(recordReturn(sale, kA, QString(), QString(), je("1.83"), false, QString()), Refusal::None);
    QCOMPARE(returnable(sale), je("0.04"));
    QCOMPARE(recordReturn(sale, kA, QString(), QString(), je("0.04"), true, QString()), Refusal::None);
    QCOMPARE(returnable(sale), Amount());
    QCOMPARE(recordReturn(sale, kA, QString(), QString(), je("0.01"), true, QString()), Refusal::TooMuch);
    QCOMPARE(ye(), je("8.17"));
    QCOMPARE(amountAt(u"SELECT sum(je) FROM thjl"_s), je("10"));
}

void TstExactMoney::beyondTheLimitsNothingIsWritten()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    storeMember(kA, je("99999999"), je("99999990"));
    storeMember(kB, 0);
    const Amount huge = NumVal(u"1"_s + QString(308, u'0')); // 1e308 typed out
    QVERIFY(!huge.isValid());
    for (int i = 0; i < 2; ++i)
        QVERIFY_THROWS_EXCEPTION(DbError, recharge(kA, huge, huge, QString(), QString()));
    // A recharge that would take the balance beyond the largest amount.
    QVERIFY_THROWS_EXCEPTION(DbError, recharge(kA, je("1"), je("1"), QString(), QString()));
    QCOMPARE(recharge(kA, je("0.99"), je("0.99"), QString(), QString()).balance, je("99999999.99"));
    // Three thousand million is refused, points do not wrap.
    using sales::PayRefusal;
    QCOMPARE(sales::recordDirectSale(kB, NumVal(u"3000000000"_s), false, QString(), QString(), 1)
                 .refusal,
             PayRefusal::OutOfRange);
    // Points beyond the largest total, from a tiny points rate.
    QCOMPARE(sales::recordDirectSale(kB, je("20000"), false, QString(), QString(), je("0.0001"))
                 .refusal,
             PayRefusal::OutOfRange);
    // Points that would push the member's total over the largest.
    QCOMPARE(sales::recordDirectSale(kA, je("20"), false, QString(), QString(), 1).refusal,
             PayRefusal::OutOfRange);
    QCOMPARE(transfer(kB, kA, Amount::invalid(), QString()), Refusal::OutOfRange);
    QCOMPARE(exchangePoints(kA, NumVal(QString(30, u'9')), QString()), Refusal::OutOfRange);
    QCOMPARE(ye(), je("99999999.99"));
    QCOMPARE(points(), je("99999990"));
    QCOMPARE(ye(kB), Amount());
    QCOMPARE(rows(u"czjl"_s), 1);
    QCOMPARE(rows(u"con"_s), 0);
    QCOMPARE(rows(u"zzjl"_s), 0);
    QCOMPARE(rows(u"dhjl"_s), 0);
}

void TstExactMoney::overtakenScreensAreRefused()
{
    // Each screen below was opened, then another till got there first.
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.openDatabase());
    storeMember(kA, 100, 100, u"金卡"_s);

    // The rest of a sale, returned at another till meanwhile.
    const int sale = addSale(kA, je("13.5"), 0);
    QCOMPARE(recordReturn(sale, kA, QString(), QString(), je("13.5"), true, QString()), Refusal::None);
    QCOMPARE(recordReturn(sale, kA, QString(), QString(), je("13.5"), true, QString()), Refusal::TooMuch);
    QCOMPARE(ye(), je("113.5"));

    // An exchange record deleted at another till: its points come back once.
    QCOMPARE(exchangePoints(kA, 50, QString()), Refusal::None);
    const int exchange = scalar(u"SELECT max(id) FROM dhjl"_s).toInt();
    QVERIFY(members::deleteExchange(kA, exchange));
    QVERIFY(!members::deleteExchange(kA, exchange));
    QCOMPARE(points(), Amount(100));

    // Goods sold out at another till: the last piece is sold once.
    Sql(A(u"INSERT INTO sp (spid, name, sj, kc) VALUES ('G', '可乐', {3}, {1})"_s)).exec();
    SetSysInfo(u"kc"_s, u"no"_s);
    const sales::SaleInput s = oneGoods();
    QCOMPARE(sales::recordSale(s).refusal, sales::PayRefusal::None);
    const sales::SaleResult late = sales::recordSale(s);
    QCOMPARE(late.refusal, sales::PayRefusal::NoStock);
    QCOMPARE(late.goods, u"可乐"_s);
    QCOMPARE(rows(u"xiangxi"_s), 1);
    QCOMPARE(amountAt(u"SELECT kc FROM sp"_s), Amount());

    // A lost card replaced at another till with another new number.
    using members::CardLoss;
    QCOMPARE(members::replaceCard(kA, u"200000000001"_s, u"44"_s), CardLoss::Done);
    QCOMPARE(members::replaceCard(kA, u"200000000002"_s, u"44"_s), CardLoss::NoMember);
    QCOMPARE(scalar(u"SELECT count(*) FROM mber WHERE id = '200000000002'"_s).toInt(), 0);
    QCOMPARE(ye(u"200000000001"_s), je("113.5"));

    // A level deleted at another till while a member was being enrolled on it.
    Sql(u"INSERT INTO lv (name) VALUES ('银卡')"_s).exec();
    members::deleteLevel(u"银卡"_s);
    members::MemberForm f;
    f.id = u"300000000001"_s;
    f.name = u"新会员"_s;
    f.lv = u"银卡"_s;
    try {
        members::enrolMember(f);
        QFAIL("enrolled on a deleted level");
    } catch (const DbError &e) {
        QVERIFY2(e.message().contains(u"已被删除"_s), qPrintable(e.message()));
    }
    QCOMPARE(scalar(u"SELECT count(*) FROM mber WHERE id = '300000000001'"_s).toInt(), 0);
    // And the other way round: a level with a member enrolled meanwhile stays.
    Sql(u"INSERT INTO lv (name) VALUES ('银卡')"_s).exec();
    members::enrolMember(f);
    QVERIFY_THROWS_EXCEPTION(DbError, members::deleteLevel(u"银卡"_s));
    QCOMPARE(scalar(u"SELECT count(*) FROM lv WHERE name = '银卡'"_s).toInt(), 1);
}

void TstExactMoney::hostileTextsInMoneyScreens_data()
{
    // Typed (or pasted) into every amount box of the recharge, direct
    // consumption, transfer, exchange, return and payment screens.
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("refused"); // a message and nothing written
    QTest::newRow("quotes") << u"5'; DELETE FROM mber; --"_s << false;
    QTest::newRow("10 000 digits") << QString(10000, u'9') << true;
    QTest::newRow("10 000 characters after a number") << u"7"_s + QString(9999, u'x') << false;
    QTest::newRow("control characters") << u"\u00013\u0000"_s << true; // nothing before them is a number
    QTest::newRow("lone surrogate") << QString(QChar(0xDC00)) + u"8"_s << true;
    QTest::newRow("1e308") << u"1e308"_s << false; // read as 1
    QTest::newRow("beyond the limit") << u"100000000"_s << true;
}

void TstExactMoney::hostileTextsInMoneyScreens()
{
    QFETCH(QString, text);
    QFETCH(bool, refused);
    Harness h;
    QVERIFY(h.startProgram());
    storeMember(kA, 500, 500);
    storeMember(kB, 0);
    const int sale = addSale(kA, 400, 0);
    FrmMain *main = h.login();
    QVERIFY(main);
    main->ShowMber(kA);
    const Amount typed = NumVal(text);
    const bool usable = inRange(typed) && typed > 0;
    // Refused: a message and nothing changed. Otherwise the value as read.
    auto expect = [&](const char *screen, Amount before, Amount after, Amount change) {
        if (!usable) {
            QVERIFY2(!h.messages().isEmpty(), screen);
            QCOMPARE(after, before);
        } else {
            QCOMPARE(after, before + change);
        }
        h.clearMessages();
    };
    {
        stored_value::FrmChongzhi dlg;
        QVERIFY(dlg.SetID(kA));
        w<QLineEdit>(&dlg, u"txtSsje"_s)->setText(text);
        const Amount before = ye();
        w<QPushButton>(&dlg, u"cmdOK"_s)->click();
        expect("recharge", before, ye(), typed);
    }
    {
        sales::FrmZhijieXf dlg(main);
        w<QRadioButton>(&dlg, u"optXj"_s)->setChecked(true);
        w<QLineEdit>(&dlg, u"txtXfje"_s)->setText(text);
        const Amount before = amountAt(u"SELECT coalesce(sum(xjfk), 0) FROM con"_s);
        w<QPushButton>(&dlg, u"cmdOK"_s)->click();
        expect("direct consumption", before, amountAt(u"SELECT coalesce(sum(xjfk), 0) FROM con"_s),
               typed);
    }
    {
        stored_value::frmZz dlg(kA);
        w<QLineEdit>(&dlg, u"txtIDName"_s)->setText(kB);
        w<QPushButton>(&dlg, u"cmdFind"_s)->click();
        w<QLineEdit>(&dlg, u"txtJe"_s)->setText(text);
        const Amount before = ye(kB), source = ye(kA);
        w<QPushButton>(&dlg, u"cmdOK"_s)->click();
        if (usable && typed > source) {
            QCOMPARE(h.lastText(), u"转出会员余额不足！"_s);
            QCOMPARE(ye(kB), before);
            h.clearMessages();
        } else {
            expect("transfer", before, ye(kB), typed);
        }
    }
    {
        stored_value::FrmDHJF dlg(kA, FmtJe(points()));
        w<QLineEdit>(&dlg, u"txtJf"_s)->setText(text);
        const Amount before = points();
        w<QPushButton>(&dlg, u"cmdOK"_s)->click();
        if (usable && typed.truncated() > before) {
            QCOMPARE(h.lastText(), u"积分不足！"_s);
            QCOMPARE(points(), before);
            h.clearMessages();
        } else {
            expect("exchange", before, points(), -typed.truncated());
        }
    }
    {
        stored_value::FrmTuihuo dlg(sale, kA, u"会员"_s, QString());
        w<QLineEdit>(&dlg, u"txtThje"_s)->setText(text);
        const Amount before = ye();
        w<QPushButton>(&dlg, u"cmdOK"_s)->click();
        if (usable && typed > je("400")) {
            QCOMPARE(h.lastText(), u"退货金额不能大于可退金额！"_s);
            QCOMPARE(ye(), before);
            h.clearMessages();
        } else {
            expect("return", before, ye(), typed);
        }
    }
    // The cash and the mixed payment of a sale of 3.
    Sql(A(u"INSERT INTO sp (spid, name, sj, kc) VALUES ('G', '可乐', {3}, {1000})"_s)).exec();
    const sales::SaleInput sale3 = oneGoods();
    auto goodsSales = [] { return rows(u"xiangxi"_s); };
    {
        sales::FrmMpay dlg(sale3, u"会员"_s);
        w<QLineEdit>(&dlg, u"txtXjfk"_s)->setText(text);
        const int before = goodsSales();
        w<QPushButton>(&dlg, u"cmdOK"_s)->click();
        const bool paid = inRange(typed) && RoundJe(typed) >= 3;
        QCOMPARE(goodsSales(), before + (paid ? 1 : 0));
        QCOMPARE(h.messages().isEmpty(), paid);
        h.clearMessages();
    }
    {
        sales::FrmApay dlg(sale3, u"会员"_s);
        w<QCheckBox>(&dlg, u"chkCzk"_s)->setChecked(true);
        w<QLineEdit>(&dlg, u"txtCzk"_s)->setText(text);
        w<QCheckBox>(&dlg, u"chkXj"_s)->setChecked(true);
        w<QLineEdit>(&dlg, u"txtXj"_s)->setText(u"3"_s);
        const bool paid = inRange(typed) && typed >= 0 && typed <= 3;
        if (paid)
            h.onModal([](QDialog *prompt) {
                w<QLineEdit>(prompt, u"txtPwd"_s)->setText(u"1"_s);
                w<QPushButton>(prompt, u"cmdOK"_s)->click();
            });
        const Amount before = ye();
        w<QPushButton>(&dlg, u"cmdOK"_s)->click();
        QCOMPARE(ye(), paid ? before - RoundJe(typed) : before);
        QCOMPARE(h.messages().isEmpty(), paid);
        h.clearMessages();
    }
    QCOMPARE(scalar(u"SELECT count(*) FROM mber"_s).toInt(), 3); // nothing deleted by a quote
    QVERIFY(ye() >= 0);
    QCOMPARE(refused, !usable);
}

void TstExactMoney::noStatementLeftOnTheServer()
{
    // Every failed step leaves nothing prepared behind on the server, and
    // nothing half-written.
    LT_NEED_POSTGRES();
    Harness h(Backend::Postgres);
    QVERIFY(h.openDatabase());
    storeMember(kA, 10);
    auto prepared = [] {
        return scalar(u"SELECT count(*) FROM pg_prepared_statements"_s).toInt();
    };
    QCOMPARE(recharge(kA, 1, 1, QString(), QString()).balance, Amount(11));
    const int before = prepared();
    QSqlQuery ddl(Database::connection());
    QVERIFY(ddl.exec(u"ALTER TABLE czjl RENAME TO czjl_away"_s)); // the record cannot be written
    for (int i = 0; i < 100; ++i)
        QVERIFY_THROWS_EXCEPTION(DbError, recharge(kA, 1, 1, QString(), QString()));
    QCOMPARE(prepared(), before);
    QVERIFY(ddl.exec(u"ALTER TABLE czjl_away RENAME TO czjl"_s));
    QCOMPARE(ye(), Amount(11)); // the balance update went back with the record
    QCOMPARE(recharge(kA, 1, 1, QString(), QString()).balance, Amount(12));
}

void TstExactMoney::busyFileTellsTheCashier()
{
    // Another program holds the file's write lock: the till waits a little,
    // then says so in Chinese, and nothing is half-written.
    Harness h;
    QVERIFY(h.openDatabase());
    storeMember(kA, 10);
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other-program"_s);
        other.setDatabaseName(h.config().sqlitePath);
        QVERIFY(other.open());
        QVERIFY(QSqlQuery(other).exec(u"BEGIN IMMEDIATE"_s));
        try {
            recharge(kA, 5, 5, QString(), QString());
            QFAIL("recharged while the file was locked");
        } catch (const DbError &e) {
            QCOMPARE(e.message(), u"数据库正忙，请稍后再试。"_s);
        }
        QVERIFY(QSqlQuery(other).exec(u"ROLLBACK"_s));
        other.close();
    }
    QSqlDatabase::removeDatabase(u"other-program"_s);
    QCOMPARE(ye(), Amount(10));
    QCOMPARE(rows(u"czjl"_s), 0);
    QCOMPARE(recharge(kA, 5, 5, QString(), QString()).balance, Amount(15));
}

QTEST_MAIN(TstExactMoney)
#include "tst_exactmoney.moc"
