// Points exchange, returns and transfers, each driven through its screen
// from the main window.

#include "accountmoves.h"
#include "amounts.h"
#include "appstate.h"
#include "cardrouting.h"
#include "database.h"
#include "frmmain.h"
#include "harness.h"
#include "sysinfo.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using test::Harness;

namespace
{

const QString kA = u"100000000001"_s;
const QString kB = u"100000000002"_s;
const QString kNoCard = u"000000000000"_s;

template <typename T = QWidget> T *w(QWidget *d, const QString &name)
{
    return d->findChild<T *>(name);
}
void click(QWidget *d, const QString &name)
{
    w<QPushButton>(d, name)->click();
}
void type(QWidget *d, const QString &name, const QString &text)
{
    w<QLineEdit>(d, name)->setText(text);
}

void storeMember(const QString &id, const QString &name, double ye, double jf,
                 const QString &level = u"金卡"_s)
{
    Sql(u"INSERT INTO mber (id, name, lv, ye, jf, st, ljxfje, ljxfcs) VALUES (?, ?, ?, ?, ?, 0, 0, 0)"_s)
        .bind(id)
        .bind(name)
        .bind(level)
        .bind(lit(ye))
        .bind(lit(jf))
        .exec();
}

Amount value(const QString &sql, const QVariantList &v = {})
{
    return amountAt(sql, v);
}
int count(const QString &table)
{
    return scalar(u"SELECT count(*) FROM "_s + table).toInt();
}

// Runs a screen opened by a button of the main window; the screen is
// cancelled afterwards when body left it open.
void runScreen(Harness &h, FrmMain *main, const QString &button, const QString &title,
               const std::function<void(QDialog *)> &body)
{
    h.onModal([=](QDialog *d) {
        QCOMPARE(d->windowTitle(), title);
        body(d);
        if (d->isVisible())
            click(d, u"cmdCC"_s);
    });
    main->findChild<QPushButton *>(button)->click();
    QCOMPARE(h.unexpectedModals(), 0);
}

} // namespace

class TstAccountMoves : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exchange_data();
    void exchange();
    void returns_data();
    void returns();
    void returnNoCard();
    void transfer_data();
    void transfer();
    void transferSearch();
    void transferMembersGone();
};

void TstAccountMoves::exchange_data()
{
    QTest::addColumn<int>("backendRow");
    QTest::addColumn<double>("points");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message"); // empty: exchanged
    QTest::addColumn<double>("left");
    QTest::newRow("all points") << int(Backend::Sqlite) << 100.0 << u"100"_s << QString() << 0.0;
    QTest::newRow("cut to whole: 12.9")
        << int(Backend::Sqlite) << 100.0 << u"12.9"_s << QString() << 88.0;
    QTest::newRow("half a point") << int(Backend::Sqlite) << 100.0 << u"0.5"_s
                                  << u"兑换的积分必须大于0！"_s << 100.0;
    QTest::newRow("not a number") << int(Backend::Sqlite) << 100.0 << u"很多"_s
                                  << u"兑换的积分必须大于0！"_s << 100.0;
    QTest::newRow("99.5 do not cover 100")
        << int(Backend::Sqlite) << 99.5 << u"100"_s << u"积分不足！"_s << 99.5;
    QTest::newRow("all points, postgres")
        << int(Backend::Postgres) << 100.0 << u"100"_s << QString() << 0.0;
    QTest::newRow("99.5 do not cover 100, postgres")
        << int(Backend::Postgres) << 99.5 << u"100"_s << u"积分不足！"_s << 99.5;
}

void TstAccountMoves::exchange()
{
    LT_USE_BACKEND();
    QFETCH(double, points);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(double, left);
    Harness h(backend);
    QVERIFY(h.startProgram());
    Sql(A(u"INSERT INTO lv (name, jf) VALUES ('金卡', 0), ('钻石', {50})"_s)).exec();
    SetSysInfo(u"lvup"_s, u"yes"_s);
    storeMember(kA, u"张三"_s, 0, points);
    FrmMain *main = h.login();
    QVERIFY(main);
    main->ShowMber(kA);
    int targetWhileOpen = -1;
    runScreen(h, main, u"cmdDhjf"_s, u"兑换积分"_s, [&](QDialog *d) {
        targetWhileOpen = state().cardTarget;
        QVERIFY(state().hotKeyBlocked[AppState::HkExchange]);
        QCOMPARE(w<QLabel>(d, u"lblJf"_s)->text(), u"现有积分："_s + main->shownMember(u"lblJf"_s));
        type(d, u"txtJf"_s, typed);
        type(d, u"txtPs"_s, u"毛巾一条"_s);
        click(d, u"cmdOK"_s);
        QCOMPARE(d->isVisible(), !message.isEmpty());
        if (!message.isEmpty())
            QCOMPARE(h.lastText(), message);
    });
    QCOMPARE(targetWhileOpen, 0);
    QVERIFY(!state().hotKeyBlocked[AppState::HkExchange]);
    QCOMPARE(value(u"SELECT jf FROM mber WHERE id = ?"_s, {kA}), left);
    // No upgrade runs after an exchange.
    QCOMPARE(scalar(u"SELECT lv FROM mber WHERE id = ?"_s, {kA}).toString(), u"金卡"_s);
    QCOMPARE(count(u"dhjl"_s), message.isEmpty() ? 1 : 0);
    if (message.isEmpty()) {
        Sql q(u"SELECT mberid, mbername, mberlb, jf, czy, ps FROM dhjl"_s);
        q.exec();
        QVERIFY(q.next());
        QCOMPARE(q.text(1), u"张三"_s);
        QCOMPARE(q.text(2), u"金卡"_s);
        QCOMPARE(q.amount(3), points - left);
        QCOMPARE(q.text(4), u"admin"_s);
        QCOMPARE(q.text(5), u"毛巾一条"_s);
        // The panel shows the points left.
        QCOMPARE(main->shownMember(u"lblJf"_s).toDouble(), left);
    }
}

void TstAccountMoves::returns_data()
{
    QTest::addColumn<int>("backendRow");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("toCard");
    QTest::addColumn<QString>("message"); // empty: returned
    QTest::addColumn<double>("balance");
    QTest::newRow("the whole returnable, to the card")
        << int(Backend::Sqlite) << u"35"_s << true << QString() << 135.0;
    QTest::newRow("cash refund") << int(Backend::Sqlite) << u"20"_s << false << QString() << 100.0;
    QTest::newRow("a cent too much")
        << int(Backend::Sqlite) << u"35.01"_s << true << u"退货金额不能大于可退金额！"_s << 100.0;
    QTest::newRow("zero") << int(Backend::Sqlite) << u"0"_s << true << u"退货金额必须大于0元！"_s
                          << 100.0;
    QTest::newRow("negative") << int(Backend::Sqlite) << u"-10"_s << true
                              << u"退货金额必须大于0元！"_s << 100.0;
    QTest::newRow("the whole returnable, to the card, postgres")
        << int(Backend::Postgres) << u"35"_s << true << QString() << 135.0;
    QTest::newRow("a cent too much, postgres")
        << int(Backend::Postgres) << u"35.01"_s << true << u"退货金额不能大于可退金额！"_s << 100.0;
}

void TstAccountMoves::returns()
{
    LT_USE_BACKEND();
    QFETCH(QString, typed);
    QFETCH(bool, toCard);
    QFETCH(QString, message);
    QFETCH(double, balance);
    Harness h(backend);
    QVERIFY(h.startProgram());
    storeMember(kA, u"张三"_s, 100, 40);
    const QVariant when = Database::dt(QDateTime::currentDateTime().addDays(-1));
    Sql(A(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, jf, createtime, czy) VALUES (?, ?, {30}, {20}, 5, ?, 'admin')"_s))
        .bind(kA)
        .bind(true)
        .bind(when)
        .exec();
    const int conId = scalar(u"SELECT max(id) FROM con"_s).toInt();
    Sql(A(u"INSERT INTO thjl (conid, mberid, je, thfs, createtime) VALUES (?, ?, {15}, ?, ?)"_s))
        .bind(conId)
        .bind(kA)
        .bind(false)
        .bind(when)
        .exec();
    Sql(A(u"INSERT INTO sp (spid, name, kc) VALUES ('G1', '可乐', {7})"_s)).exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    main->ShowMber(kA);
    QTRY_COMPARE(main->shownMember(u"lblXfje"_s), u"50元"_s); // summed over the sale
    const QString totalShown = main->shownMember(u"lblXfje"_s);
    runScreen(h, main, u"cmdTuihuo"_s, u"退货"_s, [&](QDialog *d) {
        QCOMPARE(w<QLabel>(d, u"lblKtje"_s)->text(), u"可退金额：35元"_s);
        QVERIFY(w<QRadioButton>(d, u"Opt1"_s)->isChecked());
        w<QRadioButton>(d, toCard ? u"Opt1"_s : u"Opt2"_s)->setChecked(true);
        type(d, u"txtThje"_s, typed);
        type(d, u"txtPs"_s, u"破损"_s);
        click(d, u"cmdOK"_s);
        QCOMPARE(d->isVisible(), !message.isEmpty());
        if (!message.isEmpty())
            QCOMPARE(h.lastText(), message);
    });
    QCOMPARE(value(u"SELECT ye FROM mber WHERE id = ?"_s, {kA}), balance);
    QCOMPARE(count(u"thjl"_s), message.isEmpty() ? 2 : 1);
    if (message.isEmpty()) {
        Sql q(
            u"SELECT conid, mberid, mbername, mberlb, je, thfs, czy, ps FROM thjl ORDER BY id DESC"_s);
        q.exec();
        QVERIFY(q.next());
        QCOMPARE(q.integer(0), conId);
        QCOMPARE(q.text(2), u"张三"_s);
        QCOMPARE(q.text(3), u"金卡"_s);
        QCOMPARE(q.amount(4), NumVal(typed));
        QCOMPARE(q.value(5).toBool(), toCard);
        QCOMPARE(q.text(7), u"破损"_s);
        QCOMPARE(main->shownMember(u"lblKnye"_s), FmtJe(lit(balance)) + u"元"_s);
    }
    // The sale, the points, the totals and the stock are left alone.
    QCOMPARE(value(u"SELECT czkfk + xjfk FROM con"_s), 50.0);
    QCOMPARE(value(u"SELECT jf FROM mber WHERE id = ?"_s, {kA}), 40.0);
    QCOMPARE(value(u"SELECT kc FROM sp"_s), 7.0);
    QCOMPARE(main->shownMember(u"lblXfje"_s), totalShown);
}

void TstAccountMoves::returnNoCard()
{
    Harness h;
    QVERIFY(h.startProgram());
    Sql(A(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, createtime) VALUES (?, ?, 0, {12}, ?)"_s))
        .bind(kNoCard)
        .bind(false)
        .bind(Database::dt(QDateTime::currentDateTime()))
        .exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    main->ShowMber(kNoCard);
    runScreen(h, main, u"cmdTuihuo"_s, u"退货"_s, [&](QDialog *d) {
        QVERIFY(!w<QRadioButton>(d, u"Opt1"_s)->isEnabled());
        QVERIFY(w<QRadioButton>(d, u"Opt2"_s)->isChecked());
        type(d, u"txtThje"_s, u"12"_s);
        click(d, u"cmdOK"_s);
        QVERIFY(!d->isVisible());
    });
    QVERIFY(!scalar(u"SELECT thfs FROM thjl"_s).toBool());
    // Fully returned: nothing more can go back.
    runScreen(h, main, u"cmdTuihuo"_s, u"退货"_s, [&](QDialog *d) {
        QCOMPARE(w<QLabel>(d, u"lblKtje"_s)->text(), u"可退金额：0元"_s);
        type(d, u"txtThje"_s, u"0.01"_s);
        click(d, u"cmdOK"_s);
        QCOMPARE(h.lastText(), u"退货金额不能大于可退金额！"_s);
    });
    QCOMPARE(count(u"thjl"_s), 1);
}

void TstAccountMoves::transfer_data()
{
    QTest::addColumn<int>("backendRow");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<bool>("targetExpired");
    QTest::addColumn<QString>("message");
    QTest::addColumn<double>("sourceLeft");
    QTest::newRow("the whole balance")
        << int(Backend::Sqlite) << kB << u"80"_s << false << u"转账成功！"_s << 0.0;
    QTest::newRow("a cent more") << int(Backend::Sqlite) << kB << u"80.01"_s << false
                                 << u"转出会员余额不足！"_s << 80.0;
    QTest::newRow("zero") << int(Backend::Sqlite) << kB << u"0"_s << false
                          << u"转账金额必须大于0元！"_s << 80.0;
    QTest::newRow("no target") << int(Backend::Sqlite) << QString() << u"10"_s << false
                               << u"没有指定转入账号！"_s << 80.0;
    QTest::newRow("itself") << int(Backend::Sqlite) << kA << u"10"_s << false
                            << u"转入账号和转出账号不能相同！"_s << 80.0;
    QTest::newRow("no-card customer") << int(Backend::Sqlite) << kNoCard << u"10"_s << false
                                      << u"转出卡号和转入卡号均不能为无卡用户！"_s << 80.0;
    QTest::newRow("target expired") << int(Backend::Sqlite) << kB << u"10"_s << true
                                    << u"转入会员账号处于不可用状态，不能进行转账！"_s << 80.0;
    QTest::newRow("the whole balance, postgres")
        << int(Backend::Postgres) << kB << u"80"_s << false << u"转账成功！"_s << 0.0;
    QTest::newRow("a cent more, postgres")
        << int(Backend::Postgres) << kB << u"80.01"_s << false << u"转出会员余额不足！"_s << 80.0;
}

void TstAccountMoves::transfer()
{
    LT_USE_BACKEND();
    QFETCH(QString, target);
    QFETCH(QString, amount);
    QFETCH(bool, targetExpired);
    QFETCH(QString, message);
    QFETCH(double, sourceLeft);
    Harness h(backend);
    QVERIFY(h.startProgram());
    storeMember(kA, u"张三"_s, 80, 5);
    storeMember(kB, u"李四"_s, 1.5, 7, u"银卡"_s);
    Sql(u"UPDATE mber SET booljzrq = ?, jzrq = ? WHERE id = ?"_s)
        .bind(targetExpired)
        .bind(Database::dt(QDateTime::currentDateTime().addSecs(-60)))
        .bind(kB)
        .exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdMemgl"_s)->click();
    main->findChild<QPushButton *>(u"cmdQuery"_s)->click();
    auto *lv = main->findChild<QTreeWidget *>(u"lvMber"_s);
    lv->setCurrentItem(lv->findItems(kA, Qt::MatchExactly)[0]);
    runScreen(h, main, u"CmdGl_5"_s, u"转账"_s, [&](QDialog *d) {
        QCOMPARE(state().cardTarget, int(devices::TargetTransfer));
        QCOMPARE(w<QLabel>(d, u"lblZcYe"_s)->text(), u"余额：80元"_s);
        if (!target.isEmpty()) {
            type(d, u"txtIDName"_s, target);
            QTest::keyClick(w(d, u"txtIDName"_s), Qt::Key_Return);
            QVERIFY(d->isVisible()); // Enter searched, it did not confirm
        }
        type(d, u"txtJe"_s, amount);
        type(d, u"txtPs"_s, u"代付"_s);
        click(d, u"cmdOK"_s);
        QCOMPARE(h.lastText(), message);
        QCOMPARE(d->isVisible(), message != u"转账成功！"_s);
    });
    QCOMPARE(value(u"SELECT ye FROM mber WHERE id = ?"_s, {kA}), sourceLeft);
    QCOMPARE(value(u"SELECT ye FROM mber WHERE id = ?"_s, {kB}), 1.5 + 80 - sourceLeft);
    QCOMPARE(count(u"zzjl"_s), sourceLeft == 0 ? 1 : 0);
    if (sourceLeft == 0) {
        Sql q(u"SELECT zcid, zcname, zclv, zrid, zrname, zrlv, je, czy, ps FROM zzjl"_s);
        q.exec();
        QVERIFY(q.next());
        QCOMPARE(q.text(0), kA);
        QCOMPARE(q.text(2), u"金卡"_s);
        QCOMPARE(q.text(3), kB);
        QCOMPARE(q.text(4), u"李四"_s);
        QCOMPARE(q.text(5), u"银卡"_s);
        QCOMPARE(q.amount(6), 80.0);
        QCOMPARE(q.text(8), u"代付"_s);
        QCOMPARE(h.messages().last().icon, MsgIcon::Information);
    }
    // Points are not moved.
    QCOMPARE(value(u"SELECT jf FROM mber WHERE id = ?"_s, {kB}), 7.0);
}

void TstAccountMoves::transferSearch()
{
    Harness h;
    QVERIFY(h.startProgram());
    storeMember(kA, u"张三"_s, 80, 0);
    storeMember(u"100000000003"_s, u"同名"_s, 3, 0);
    storeMember(kB, u"同名"_s, 2, 0);
    FrmMain *main = h.login();
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdMemgl"_s)->click();
    main->findChild<QPushButton *>(u"cmdQuery"_s)->click();
    auto *lv = main->findChild<QTreeWidget *>(u"lvMber"_s);
    lv->setCurrentItem(lv->findItems(kA, Qt::MatchExactly)[0]);
    const int targetBefore = state().cardTarget;
    runScreen(h, main, u"CmdGl_5"_s, u"转账"_s, [&](QDialog *d) {
        // A shared name takes the first by card number.
        type(d, u"txtIDName"_s, u"同名"_s);
        click(d, u"cmdFind"_s);
        QCOMPARE(w<QLabel>(d, u"lblZrID"_s)->text(), u"卡号："_s + kB);
        // A failed search keeps the target found before.
        type(d, u"txtIDName"_s, u"同"_s);
        click(d, u"cmdFind"_s);
        QCOMPARE(h.lastText(), u"没有找到指定会员！"_s);
        QCOMPARE(w<QLineEdit>(d, u"txtIDName"_s)->selectedText(), u"同"_s);
        // A card swiped is searched at once.
        devices::deliverCard(u"100000000003"_s);
        QCOMPARE(w<QLabel>(d, u"lblZrYe"_s)->text(), u"余额：3元"_s);
        devices::deliverCard(kB);
        type(d, u"txtJe"_s, u"10"_s);
        click(d, u"cmdOK"_s);
        QCOMPARE(h.lastText(), u"转账成功！"_s);
    });
    QCOMPARE(value(u"SELECT ye FROM mber WHERE id = ?"_s, {kB}), 12.0);
    QCOMPARE(state().cardTarget, targetBefore);
}

void TstAccountMoves::transferMembersGone()
{
    // The source deleted at another till after the screen read it: it has
    // nothing to give. A target gone is no member.
    Harness h;
    QVERIFY(h.startProgram());
    storeMember(kB, u"李四"_s, 1.5, 0);
    QCOMPARE(stored_value::transfer(kA, kB, 10, QString()), stored_value::Refusal::TooFew);
    storeMember(kA, u"张三"_s, 80, 0);
    QCOMPARE(stored_value::transfer(kA, u"100000000009"_s, 10, QString()),
             stored_value::Refusal::NoMember);
    QCOMPARE(count(u"zzjl"_s), 0);
    QCOMPARE(value(u"SELECT ye FROM mber WHERE id = ?"_s, {kA}), 80.0);
    QCOMPARE(value(u"SELECT ye FROM mber WHERE id = ?"_s, {kB}), 1.5);
}

QTEST_MAIN(TstAccountMoves)
#include "tst_accountmoves.moc"
