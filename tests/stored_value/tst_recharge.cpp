// Recharge: the bonus by ratio and by band, the hand-made amount, the
// refusals, the write, the receipt lines and the message.

#include "appstate.h"
#include "database.h"
#include "frmchongzhi.h"
#include "frmmain.h"
#include "harness.h"
#include "httpstub.h"
#include "recharge.h"
#include "sms.h"
#include "sysinfo.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::stored_value;
using test::Harness;

namespace
{

template <typename T> T *w(QWidget *d, const QString &name)
{
    return d->findChild<T *>(name);
}

void setupMember(const QString &level = u"金卡"_s)
{
    Sql(A(u"INSERT INTO lv (name, czbl) VALUES ('金卡', {10}), ('银卡', {3.5})"_s)).exec();
    Sql(A(u"INSERT INTO mber (id, name, lv, ye, ljczje, tel) VALUES ('100000000001', '张三', ?, {50}, {5}, '139')"_s))
        .bind(level)
        .exec();
    Sql(A(u"INSERT INTO czgz (shangxian, xiaxian, je) VALUES ({100}, {499}, {20}), ({500}, {999}, {100}), ({400}, {600}, {7})"_s))
        .exec();
}

} // namespace

class TstRecharge : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bonus_data();
    void bonus();
    void manualAmount();
    void saveFromPanel_data() { Harness::addBackendRows(); }
    void saveFromPanel();
    void refusals_data();
    void refusals();
    void receiptLines_data();
    void receiptLines();
    void messageAfterCommit();
};

void TstRecharge::bonus_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("level");
    QTest::addColumn<QString>("paid");
    QTest::addColumn<QString>("credited");
    QTest::addColumn<QString>("explanation");
    QTest::newRow("ratio 10 on 200") << u"1"_s << u"金卡"_s << u"200"_s << u"220"_s
                                     << u"会员类型为[金卡]，充值赠送金额比例为10%。"_s;
    QTest::newRow("ratio 3.5 on 99.99") << u"1"_s << u"银卡"_s << u"99.99"_s << u"103.49"_s
                                        << u"会员类型为[银卡]，充值赠送金额比例为3.5%。"_s;
    QTest::newRow("ratio, level gone") << u"1"_s << u"已删除"_s << u"100"_s << u"100"_s
                                       << u"会员类型为[已删除]，充值赠送金额比例为0%。"_s;
    QTest::newRow("band lower bound") << u"0"_s << u"金卡"_s << u"100"_s << u"120"_s
                                      << u"充值金额在100元和499元之间，赠送20元。"_s;
    QTest::newRow("band upper bound") << u"0"_s << u"金卡"_s << u"999"_s << u"1099"_s
                                      << u"充值金额在500元和999元之间，赠送100元。"_s;
    QTest::newRow("overlap: first band wins") << u"0"_s << u"金卡"_s << u"500"_s << u"600"_s
                                              << u"充值金额在500元和999元之间，赠送100元。"_s;
    QTest::newRow("499.5 in the overlap") << u"0"_s << u"金卡"_s << u"499.5"_s << u"506.5"_s
                                          << u"充值金额在400元和600元之间，赠送7元。"_s;
    QTest::newRow("outside the bands")
        << u"0"_s << u"金卡"_s << u"1000"_s << u"1000"_s << u"不在充值规则范围内。"_s;
    QTest::newRow("nothing paid") << u"0"_s << u"金卡"_s << u"0"_s << u"0"_s << QString();
    QTest::newRow("negative paid") << u"1"_s << u"金卡"_s << u"-5"_s << u"0"_s << QString();
    QTest::newRow("lenient text") << u"0"_s << u"金卡"_s << u"150元"_s << u"170"_s
                                  << u"充值金额在100元和499元之间，赠送20元。"_s;
}

void TstRecharge::bonus()
{
    QFETCH(QString, mode);
    QFETCH(QString, level);
    QFETCH(QString, paid);
    QFETCH(QString, credited);
    QFETCH(QString, explanation);
    Harness h;
    QVERIFY(h.openDatabase());
    state().decimals = 2;
    setupMember(level);
    SetSysInfo(u"czyhfs"_s, mode);
    FrmChongzhi dlg;
    QVERIFY(dlg.SetID(u"100000000001"_s));
    QCOMPARE(w<QLabel>(&dlg, u"lblYe"_s)->text(), u"卡内余额：50元"_s);
    w<QLineEdit>(&dlg, u"txtSsje"_s)->setText(paid);
    QCOMPARE(w<QLineEdit>(&dlg, u"txtCzje"_s)->text(), credited);
    QCOMPARE(w<QLabel>(&dlg, u"lblShow"_s)->text(), explanation);
    QVERIFY(h.messages().isEmpty());
}

void TstRecharge::manualAmount()
{
    Harness h;
    QVERIFY(h.openDatabase());
    setupMember();
    SetSysInfo(u"czyhfs"_s, u"0"_s);
    FrmChongzhi dlg;
    QVERIFY(dlg.SetID(u"100000000001"_s));
    auto *paid = w<QLineEdit>(&dlg, u"txtSsje"_s);
    auto *credited = w<QLineEdit>(&dlg, u"txtCzje"_s);
    QVERIFY(credited->isReadOnly());
    paid->setText(u"200"_s);
    w<QCheckBox>(&dlg, u"chkSd"_s)->setChecked(true);
    QVERIFY(!credited->isReadOnly());
    QCOMPARE(w<QLabel>(&dlg, u"lblShow"_s)->text(), u"自定义充值"_s);
    credited->setText(u"250"_s);
    // Changing the paid amount overwrites the hand-made one, the
    // explanation stays.
    paid->setText(u"300"_s);
    QCOMPARE(credited->text(), u"320"_s);
    QCOMPARE(w<QLabel>(&dlg, u"lblShow"_s)->text(), u"自定义充值"_s);
    credited->setText(u"350"_s);
    w<QPushButton>(&dlg, u"cmdOK"_s)->click();
    QVERIFY(dlg.IsOK);
    Sql q(u"SELECT ssje, czje, yhsm FROM czjl"_s);
    q.exec();
    QVERIFY(q.next());
    QCOMPARE(q.amount(0), 300.0);
    QCOMPARE(q.amount(1), 350.0);
    QCOMPARE(q.text(2), u"自定义充值"_s);
}

void TstRecharge::saveFromPanel()
{
    LT_USE_BACKEND();
    Harness h(backend);
    QVERIFY(h.startProgram());
    setupMember();
    SetSysInfo(u"czyhfs"_s, u"1"_s);
    FrmMain *main = h.login();
    QVERIFY(main);
    main->ShowMber(u"100000000001"_s);
    int targetWhileOpen = -1;
    h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"会员充值"_s);
        targetWhileOpen = state().cardTarget;
        QVERIFY(state().hotKeyBlocked[0]);
        w<QLineEdit>(d, u"txtSsje"_s)->setText(u"200"_s);
        w<QLineEdit>(d, u"txtPs"_s)->setText(u"现金"_s);
        w<QPushButton>(d, u"cmdOK"_s)->click();
    });
    main->findChild<QPushButton *>(u"cmdChongzhi"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
    QCOMPARE(targetWhileOpen, 0);
    QVERIFY(!state().hotKeyBlocked[0]);
    QCOMPARE(h.lastText(), u"充值成功，此会员最新余额为270元！"_s);
    QCOMPARE(h.messages().last().icon, MsgIcon::Information);
    QCOMPARE(amountAt(u"SELECT ye FROM mber WHERE id = '100000000001'"_s), 270.0);
    QCOMPARE(amountAt(u"SELECT ljczje FROM mber WHERE id = '100000000001'"_s), 225.0);
    Sql q(u"SELECT mberid, mbername, mberlb, ssje, czje, yhsm, czy, ps, createtime FROM czjl"_s);
    q.exec();
    QVERIFY(q.next());
    QCOMPARE(q.text(1), u"张三"_s);
    QCOMPARE(q.text(2), u"金卡"_s);
    QCOMPARE(q.amount(3), 200.0);
    QCOMPARE(q.amount(4), 220.0);
    QCOMPARE(q.text(5), u"会员类型为[金卡]，充值赠送金额比例为10%。"_s);
    QCOMPARE(q.text(6), u"admin"_s);
    QCOMPARE(q.text(7), u"现金"_s);
    QVERIFY(Database::toDt(q.value(8)).isValid());
    // The member panel shows the new balance.
    QCOMPARE(main->findChild<QLabel *>(u"lblKnye"_s)->text(), u"270元"_s);
}

void TstRecharge::refusals_data()
{
    QTest::addColumn<QString>("card");
    QTest::addColumn<QString>("paid");
    QTest::addColumn<QString>("message");
    QTest::newRow("no-card customer") << u"000000000000"_s << u"100"_s << u"无卡用户不允许充值！"_s;
    QTest::newRow("nothing to credit") << u"100000000001"_s << u"0"_s << u"充值金额不能为0！"_s;
    QTest::newRow("not a number") << u"100000000001"_s << u"abc"_s << u"充值金额不能为0！"_s;
}

void TstRecharge::refusals()
{
    QFETCH(QString, card);
    QFETCH(QString, paid);
    QFETCH(QString, message);
    Harness h;
    QVERIFY(h.openDatabase());
    setupMember();
    FrmChongzhi dlg;
    QVERIFY(dlg.SetID(card));
    w<QLineEdit>(&dlg, u"txtSsje"_s)->setText(paid);
    w<QPushButton>(&dlg, u"cmdOK"_s)->click();
    QCOMPARE(h.lastText(), message);
    QVERIFY(!dlg.IsOK);
    QVERIFY(w<QPushButton>(&dlg, u"cmdOK"_s)->isEnabled());
    QCOMPARE(scalar(u"SELECT count(*) FROM czjl"_s).toInt(), 0);
    QCOMPARE(amountAt(u"SELECT ye FROM mber WHERE id = '100000000001'"_s), 50.0);
    QVERIFY(!FrmChongzhi().SetID(u"999999999999"_s));
}

void TstRecharge::receiptLines_data()
{
    QTest::addColumn<bool>("showCard");
    QTest::addColumn<QString>("body");
    QTest::newRow("magnetic stripe: with card")
        << true
        << u"会员姓名：张三\r\n会员卡号：1001\r\n实收金额：100元\r\n充值金额：110元\r\n卡内最新余额：160元\r\n"_s;
    QTest::newRow("IC card: without card")
        << false
        << u"会员姓名：张三\r\n实收金额：100元\r\n充值金额：110元\r\n卡内最新余额：160元\r\n"_s;
}

void TstRecharge::receiptLines()
{
    QFETCH(bool, showCard);
    QFETCH(QString, body);
    QCOMPARE(rechargeReceipt(u"会员姓名：张三"_s, u"会员卡号：1001"_s, showCard, u"100"_s, u"110"_s,
                             160),
             body);

    // With receipts on and no printer chosen, the recharge is stored and the
    // printer message follows.
    Harness h;
    QVERIFY(h.openDatabase());
    setupMember();
    SetSysInfo(u"boolprint"_s, u"yes"_s);
    state().printer.clear();
    FrmChongzhi dlg;
    QVERIFY(dlg.SetID(u"100000000001"_s));
    w<QLineEdit>(&dlg, u"txtSsje"_s)->setText(u"10"_s);
    w<QPushButton>(&dlg, u"cmdOK"_s)->click();
    QVERIFY(dlg.IsOK);
    QCOMPARE(h.messages().size(), 2);
    QCOMPARE(h.messages().at(0).text,
             u"您还没有设置小票打印机，请先在系统设置中设置小票打印机！"_s);
    QCOMPARE(h.messages().at(1).text, u"充值成功，此会员最新余额为60元！"_s);
    QCOMPARE(scalar(u"SELECT count(*) FROM czjl"_s).toInt(), 1);
}

void TstRecharge::messageAfterCommit()
{
    Harness h;
    QVERIFY(h.openDatabase());
    setupMember();
    test::HttpStub gw;
    SetSysInfo(u"smsurl"_s, gw.baseUrl());
    SetSysInfo(u"czsendm"_s, u"yes"_s);
    SetSysInfo(u"czmoban"_s, u"#姓名#充值#充值金额#，余额#余额#"_s);
    devices::smsAccount() = {u"shop1"_s, u"pw"_s};
    // What the database holds when the message goes out.
    int records = -1;
    Amount balance = -1;
    gw.onRequest = [&] {
        records = scalar(u"SELECT count(*) FROM czjl"_s).toInt();
        balance = amountAt(u"SELECT ye FROM mber WHERE id = '100000000001'"_s);
    };
    FrmChongzhi dlg;
    QVERIFY(dlg.SetID(u"100000000001"_s));
    w<QLineEdit>(&dlg, u"txtSsje"_s)->setText(u"100"_s); // band: +20
    w<QPushButton>(&dlg, u"cmdOK"_s)->click();
    QTRY_COMPARE(gw.requests.size(), 1);
    QCOMPARE(records, 1);
    QCOMPARE(balance, 170.0);
    const QUrlQuery q(QUrl::fromEncoded(gw.requests.first()));
    QCOMPARE(q.queryItemValue(u"num"_s), u"139"_s);
    QCOMPARE(q.queryItemValue(u"con"_s, QUrl::FullyDecoded), u"张三充值120元，余额170元"_s);
    devices::smsAccount() = {};
}

QTEST_MAIN(TstRecharge)
#include "tst_recharge.moc"
