// The member actions of the member panel and the member list: permission
// first, then the checks in order, then the screen or the write.

#include "appstate.h"
#include "database.h"
#include "frmmain.h"
#include "harness.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using test::Harness;

namespace
{

const QString kAll = u"111111111111"_s;

QString withDenied(int n)
{
    QString p = kAll;
    p[n - 1] = u'0';
    return p;
}

void addMember(const QString &id, int st = 0, bool expired = false)
{
    Sql(A(u"INSERT INTO mber (id, name, st, jf, booljzrq, jzrq) VALUES (?, '会员', ?, {100}, ?, ?)"_s))
        .bind(id)
        .bind(st)
        .bind(expired)
        .bind(Database::dt(QDateTime::currentDateTime().addSecs(expired ? -60 : 86400)))
        .exec();
}

int count(const QString &table, const QString &where = u"1 = 1"_s)
{
    return scalar(u"SELECT count(*) FROM "_s + table + u" WHERE "_s + where).toInt();
}

// A logged-in main window for an operator with the given permissions, the
// screens recorded as they are opened.
struct Till {
    Harness h;
    FrmMain *main = nullptr;
    QStringList opened;

    bool start(const QString &per)
    {
        if (!h.startProgram())
            return false;
        Sql(u"INSERT INTO czy (name, pwd, per) VALUES ('op', '', ?)"_s).bind(per).exec();
        return true;
    }
    bool login()
    {
        main = h.login(u"op"_s, QString());
        if (!main)
            return false;
        for (const char *s :
             {"FrmChongzhi", "FrmSpxf", "FrmZhijieXf", "FrmDHJF", "FrmTuihuo", "FrmAddremind",
              "FrmAddremind.edit", "frmZz", "frmGs", "ExportMemberList", "PrintMemberList"}) {
            const QString name = QString::fromLatin1(s);
            main->setScreen(name, [this, name](const QString &c) { opened << name + u':' + c; });
        }
        return true;
    }
    void click(const QString &button) { main->findChild<QPushButton *>(button)->click(); }
    void listAll()
    {
        click(u"cmdMemgl"_s);
        main->findChild<QLineEdit *>(u"txtIDName"_s)->clear();
        click(u"cmdQuery"_s);
    }
    void select(const QString &id)
    {
        auto *lv = main->findChild<QTreeWidget *>(u"lvMber"_s);
        for (int i = 0; i < lv->topLevelItemCount(); ++i)
            if (lv->topLevelItem(i)->text(0) == id)
                lv->setCurrentItem(lv->topLevelItem(i));
    }
};

} // namespace

class TstMemberActions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void panelChecks_data();
    void panelChecks();
    void listChecks_data();
    void listChecks();
    void deleteMemberWithRecords();
    void disableAndEnable();
    void deleteExchangeGivesPointsBack();
    void deleteReminder();
};

void TstMemberActions::panelChecks_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("per");
    QTest::addColumn<QString>("member");  // shown: "" none, "ok", "disabled", "expired"
    QTest::addColumn<QString>("outcome"); // a message, or the screen opened
    const QString noPer = u"您没有权限执行此操作！"_s;
    QTest::newRow("recharge, no permission")
        << u"cmdChongzhi"_s << withDenied(5) << u"ok"_s << noPer;
    QTest::newRow("recharge, nobody shown")
        << u"cmdChongzhi"_s << kAll << QString() << u"请先指定会员！"_s;
    QTest::newRow("recharge, disabled") << u"cmdChongzhi"_s << kAll << u"disabled"_s
                                        << u"当前会员的状态处于不可用状态，不能进行充值！"_s;
    QTest::newRow("recharge opens")
        << u"cmdChongzhi"_s << kAll << u"ok"_s << u"FrmChongzhi:100000000001"_s;
    QTest::newRow("sale, no permission first")
        << u"dcButton11"_s << withDenied(2) << QString() << noPer;
    QTest::newRow("sale, expired") << u"dcButton11"_s << kAll << u"expired"_s
                                   << u"当前会员的状态处于不可用状态，不能进行消费！"_s;
    QTest::newRow("sale opens") << u"dcButton11"_s << kAll << u"ok"_s << u"FrmSpxf:100000000001"_s;
    QTest::newRow("direct, nobody shown")
        << u"dcButton12"_s << kAll << QString() << u"请先指定会员！"_s;
    QTest::newRow("direct opens") << u"dcButton12"_s << kAll << u"ok"_s
                                  << u"FrmZhijieXf:100000000001"_s;
    QTest::newRow("exchange, no permission") << u"cmdDhjf"_s << withDenied(7) << u"ok"_s << noPer;
    QTest::newRow("exchange, disabled") << u"cmdDhjf"_s << kAll << u"disabled"_s
                                        << u"当前会员的状态处于不可用状态，不能进行兑换！"_s;
    QTest::newRow("return, no permission") << u"cmdTuihuo"_s << withDenied(3) << u"ok"_s << noPer;
    QTest::newRow("return, no sales")
        << u"cmdTuihuo"_s << kAll << QString() << u"没有指定消费记录！"_s;
    QTest::newRow("return, expired") << u"cmdTuihuo"_s << kAll << u"expired+sale"_s
                                     << u"当前会员的状态处于不可用状态，不能进行退货！"_s;
    QTest::newRow("return opens") << u"cmdTuihuo"_s << kAll << u"ok+sale"_s
                                  << u"FrmTuihuo:100000000001"_s;
    QTest::newRow("add event, nobody shown")
        << u"cmdAddsj"_s << kAll << QString() << u"没有指定会员！"_s;
    QTest::newRow("add event, disabled") << u"cmdAddsj"_s << withDenied(1) << u"disabled"_s
                                         << u"当前会员的状态处于不可用状态，不能进行添加！"_s;
    QTest::newRow("edit event, none")
        << u"cmdEditsj"_s << kAll << u"ok"_s << u"没有指定事件记录！"_s;
    QTest::newRow("delete event, none")
        << u"cmdDelsj"_s << kAll << u"ok"_s << u"没有指定事件记录！"_s;
    QTest::newRow("delete exchange, none")
        << u"cmdDelDhjl"_s << kAll << u"ok"_s << u"没有指定兑换记录！"_s;
}

void TstMemberActions::panelChecks()
{
    QFETCH(QString, button);
    QFETCH(QString, per);
    QFETCH(QString, member);
    QFETCH(QString, outcome);
    Till t;
    QVERIFY(t.start(per));
    if (!member.isEmpty()) {
        addMember(u"100000000001"_s, member.startsWith(u"disabled"_s) ? 2 : 0,
                  member.startsWith(u"expired"_s));
        if (member.endsWith(u"+sale"_s))
            Sql(A(u"INSERT INTO con (mberid, czkfk, xjfk) VALUES ('100000000001', {5}, 0)"_s)).exec();
    }
    QVERIFY(t.login());
    if (!member.isEmpty())
        t.main->ShowMber(u"100000000001"_s);
    t.click(button);
    if (outcome.contains(u':'))
        QCOMPARE(t.opened, QStringList{outcome});
    else {
        QCOMPARE(t.h.lastText(), outcome);
        QCOMPARE(t.h.messages().size(), 1);
        QVERIFY(t.opened.isEmpty());
    }
}

void TstMemberActions::listChecks_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("per");
    QTest::addColumn<QString>(
        "member"); // selected: "" empty list, "nocard", "ok", "disabled", "expired"
    QTest::addColumn<QString>("outcome");
    const QString noPer = u"您没有权限执行此操作！"_s;
    QTest::newRow("modify, no permission") << 1 << withDenied(10) << u"ok"_s << noPer;
    QTest::newRow("modify, empty list") << 1 << kAll << QString() << u"没有指定会员！"_s;
    QTest::newRow("modify, no-card") << 1 << kAll << u"nocard"_s << u"无卡用户不允许被修改！"_s;
    QTest::newRow("delete, no-card") << 2 << kAll << u"nocard"_s << u"无卡用户不允许被删除！"_s;
    QTest::newRow("delete, no permission") << 2 << withDenied(10) << u"nocard"_s << noPer;
    QTest::newRow("disable, no permission") << 3 << withDenied(9) << u"ok"_s << noPer;
    QTest::newRow("disable, no-card") << 3 << kAll << u"nocard"_s << u"无卡用户不允许被禁用！"_s;
    QTest::newRow("recharge, empty list") << 4 << kAll << QString() << u"没有指定会员！"_s;
    QTest::newRow("recharge, expired")
        << 4 << kAll << u"expired"_s << u"当前会员的状态处于不可用状态，不能进行充值！"_s;
    QTest::newRow("recharge, no-card opens")
        << 4 << kAll << u"nocard"_s << u"FrmChongzhi:000000000000"_s;
    QTest::newRow("recharge opens") << 4 << kAll << u"ok"_s << u"FrmChongzhi:100000000001"_s;
    QTest::newRow("transfer, no permission") << 5 << withDenied(6) << u"ok"_s << noPer;
    QTest::newRow("transfer, empty list") << 5 << kAll << QString() << u"没有指定转出会员！"_s;
    QTest::newRow("transfer, no-card") << 5 << kAll << u"nocard"_s << u"无卡用户不允许转账！"_s;
    QTest::newRow("transfer, expired")
        << 5 << kAll << u"expired"_s << u"当前会员的状态处于不可用状态，不能进行转账！"_s;
    QTest::newRow("transfer opens") << 5 << kAll << u"ok"_s << u"frmZz:100000000001"_s;
    QTest::newRow("loss, no permission needed")
        << 8 << withDenied(9) << u"ok"_s << u"frmGs:100000000001"_s;
    QTest::newRow("loss, no-card") << 8 << kAll << u"nocard"_s << u"无卡用户不允许被挂失！"_s;
    QTest::newRow("loss, expired member may")
        << 8 << kAll << u"expired"_s << u"frmGs:100000000001"_s;
    QTest::newRow("export") << 6 << withDenied(8) << QString() << u"ExportMemberList:"_s;
}

void TstMemberActions::listChecks()
{
    QFETCH(int, action);
    QFETCH(QString, per);
    QFETCH(QString, member);
    QFETCH(QString, outcome);
    Till t;
    QVERIFY(t.start(per));
    if (member.isEmpty())
        Sql(u"DELETE FROM mber"_s).exec();
    else if (member != u"nocard"_s)
        addMember(u"100000000001"_s, member == u"disabled"_s ? 2 : 0, member == u"expired"_s);
    QVERIFY(t.login());
    t.listAll();
    t.select(member == u"nocard"_s ? u"000000000000"_s : u"100000000001"_s);
    t.click(u"CmdGl_%1"_s.arg(action));
    if (outcome.contains(u':'))
        QCOMPARE(t.opened, QStringList{outcome});
    else {
        QCOMPARE(t.h.lastText(), outcome);
        QVERIFY(t.opened.isEmpty());
    }
    QCOMPARE(t.h.unexpectedModals(), 0);
}

void TstMemberActions::deleteMemberWithRecords()
{
    Till t;
    QVERIFY(t.start(kAll));
    addMember(u"100000000001"_s);
    addMember(u"100000000002"_s);
    for (const QString &id : {u"100000000001"_s, u"100000000002"_s}) {
        Sql q(A(u"INSERT INTO con (mberid, czkfk, xjfk) VALUES (?, {5}, 0) RETURNING id"_s));
        q.bind(id).exec();
        q.next();
        Sql(A(u"INSERT INTO xiangxi (conid, spid, sl, je) VALUES (?, 'A', {1}, {5})"_s))
            .bind(q.integer(0))
            .exec();
        Sql(A(u"INSERT INTO dhjl (mberid, jf) VALUES (?, {1})"_s)).bind(id).exec();
        Sql(A(u"INSERT INTO thjl (mberid, conid, je) VALUES (?, 1, {1})"_s)).bind(id).exec();
        Sql(A(u"INSERT INTO czjl (mberid, ssje, czje) VALUES (?, {1}, {1})"_s)).bind(id).exec();
        Sql(u"INSERT INTO sjtx (mberid, ps) VALUES (?, '提醒')"_s).bind(id).exec();
        Sql(A(u"INSERT INTO zzjl (zcid, zrid, je) VALUES (?, '100000000009', {1})"_s)).bind(id).exec();
    }
    QVERIFY(t.login());
    t.listAll();
    t.select(u"100000000001"_s);
    t.h.answer(MsgAnswer::No);
    t.click(u"CmdGl_2"_s);
    QCOMPARE(t.h.messages().last().defaultAnswer, MsgAnswer::No);
    QCOMPARE(t.h.lastText(), u"是否删除选定会员？"_s);
    QCOMPARE(count(u"mber"_s), 3);
    t.h.answer(MsgAnswer::Yes);
    t.click(u"CmdGl_2"_s);
    const QString one = u"mberid = '100000000001'"_s;
    QCOMPARE(count(u"mber"_s, u"id = '100000000001'"_s), 0);
    for (const QString &table : {u"con"_s, u"dhjl"_s, u"thjl"_s, u"czjl"_s})
        QCOMPARE(count(table, one), 0);
    QCOMPARE(count(u"xiangxi"_s), 1);                          // only the other member's line
    QCOMPARE(count(u"sjtx"_s, one), 1);                        // reminders stay
    QCOMPARE(count(u"zzjl"_s, u"zcid = '100000000001'"_s), 1); // transfers stay
    for (const QString &table : {u"con"_s, u"dhjl"_s, u"thjl"_s, u"czjl"_s})
        QCOMPARE(count(table, u"mberid = '100000000002'"_s), 1);
    // The list was run again without the member.
    auto *lv = t.main->findChild<QTreeWidget *>(u"lvMber"_s);
    QCOMPARE(lv->findItems(u"100000000001"_s, Qt::MatchExactly).size(), 0);
}

void TstMemberActions::disableAndEnable()
{
    Till t;
    QVERIFY(t.start(kAll));
    addMember(u"100000000001"_s, 0, true); // expired but state 0: may be disabled
    QVERIFY(t.login());
    t.listAll();
    t.select(u"100000000001"_s);
    t.h.answer(MsgAnswer::Yes);
    t.click(u"CmdGl_3"_s);
    QCOMPARE(t.h.lastText(), u"禁用成功！"_s);
    QCOMPARE(t.h.messages().last().icon, MsgIcon::Warning);
    QCOMPARE(scalar(u"SELECT st FROM mber WHERE id = '100000000001'"_s).toInt(), 2);
    auto *lv = t.main->findChild<QTreeWidget *>(u"lvMber"_s);
    QCOMPARE(lv->findItems(u"100000000001"_s, Qt::MatchExactly).size(), 0); // list rerun

    t.click(u"cmdShowJy"_s);
    t.select(u"100000000001"_s);
    t.h.answer(MsgAnswer::Yes);
    t.click(u"CmdGl_3"_s);
    QCOMPARE(t.h.lastText(), u"选中会员的状态已经是禁用或挂失状态，不能操作！"_s);
    t.click(u"cmdQxjy"_s);
    QCOMPARE(t.h.lastText(), u"操作已成功！"_s);
    QCOMPARE(t.h.messages().last().icon, MsgIcon::Information);
    QCOMPARE(scalar(u"SELECT st FROM mber WHERE id = '100000000001'"_s).toInt(), 0);
    QCOMPARE(lv->findItems(u"100000000001"_s, Qt::MatchExactly).size(), 1); // not rerun

    // On an empty list nothing happens and nothing is shown.
    Sql(u"DELETE FROM mber WHERE st = 2"_s).exec();
    t.click(u"cmdShowJy"_s);
    const int shown = t.h.messages().size();
    t.click(u"cmdQxjy"_s);
    QCOMPARE(t.h.messages().size(), shown);
    QCOMPARE(t.h.unanswered(), 0);
}

void TstMemberActions::deleteExchangeGivesPointsBack()
{
    Till t;
    QVERIFY(t.start(kAll));
    addMember(u"100000000001"_s);
    Sql(A(u"INSERT INTO dhjl (mberid, jf, ps, createtime) VALUES ('100000000001', {30.7}, '毛巾', ?)"_s))
        .bind(Database::dt(QDateTime::currentDateTime()))
        .exec();
    QVERIFY(t.login());
    t.main->ShowMber(u"100000000001"_s);
    t.h.answer(MsgAnswer::No);
    t.click(u"cmdDelDhjl"_s);
    QCOMPARE(count(u"dhjl"_s), 1);
    t.h.answer(MsgAnswer::Yes);
    t.click(u"cmdDelDhjl"_s);
    QCOMPARE(count(u"dhjl"_s), 0);
    QCOMPARE(amountAt(u"SELECT jf FROM mber WHERE id = '100000000001'"_s), 130.0);
    QCOMPARE(t.main->findChild<QTreeWidget *>(u"lvDh"_s)->topLevelItemCount(), 0); // shown again
    // A record without points gives none back and still goes.
    Sql(u"INSERT INTO dhjl (mberid, ps, createtime) VALUES ('100000000001', '旧记录', ?)"_s)
        .bind(Database::dt(QDateTime::currentDateTime()))
        .exec();
    t.main->ShowMber(u"100000000001"_s);
    t.h.answer(MsgAnswer::Yes);
    t.click(u"cmdDelDhjl"_s);
    QCOMPARE(count(u"dhjl"_s), 0);
    QCOMPARE(amountAt(u"SELECT jf FROM mber WHERE id = '100000000001'"_s), 130.0);
}

void TstMemberActions::deleteReminder()
{
    Till t;
    QVERIFY(t.start(kAll));
    addMember(u"100000000001"_s);
    Sql(u"INSERT INTO sjtx (mberid, ps, lx) VALUES ('100000000001', '取回雨伞', '领取丢失物品'), ('100000000001', '欠款', '欠款未付')"_s)
        .exec();
    QVERIFY(t.login());
    t.main->ShowMber(u"100000000001"_s);
    auto *tx = t.main->findChild<QTreeWidget *>(u"lvTx"_s);
    QCOMPARE(tx->topLevelItemCount(), 2);
    tx->setCurrentItem(tx->topLevelItem(1));
    t.h.answer(MsgAnswer::Yes);
    t.click(u"cmdDelsj"_s);
    QCOMPARE(t.h.lastText(), u"是否删除选中提醒事件？"_s);
    QCOMPARE(tx->topLevelItemCount(), 1);
    QCOMPARE(tx->topLevelItem(0)->text(3), u"取回雨伞"_s);
    t.click(u"cmdEditsj"_s);
    QCOMPARE(t.opened, QStringList{u"FrmAddremind.edit:"_s + tx->topLevelItem(0)->text(0)});
}

QTEST_MAIN(TstMemberActions)
#include "tst_memberactions.moc"
