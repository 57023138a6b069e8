// Text messages: the digest, the templates, the gateway requests against a
// local HTTP server, and the account and template windows.

#include "appstate.h"
#include "database.h"
#include "frmmain.h"
#include "harness.h"
#include "httpstub.h"
#include "sms.h"
#include "sysinfo.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::devices;
using test::Harness;
using test::HttpStub;

namespace
{

QString queryValue(const QByteArray &target, const QString &key)
{
    const QUrl url = QUrl::fromEncoded(target);
    return QUrlQuery(url).queryItemValue(key, QUrl::FullyDecoded);
}

} // namespace

class TstSms : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void md5Vectors_data();
    void md5Vectors();
    void templates();
    void requestsAreEncoded();
    void loginAnswers_data();
    void loginAnswers();
    void loginWithoutGateway();
    void sendRules_data();
    void sendRules();
    void templateWindow();
};

void TstSms::md5Vectors_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("digest");
    // RFC 1321, appendix A.5.
    QTest::newRow("empty") << QString() << u"d41d8cd98f00b204e9800998ecf8427e"_s;
    QTest::newRow("a") << u"a"_s << u"0cc175b9c0f1b6a831c399e269772661"_s;
    QTest::newRow("abc") << u"abc"_s << u"900150983cd24fb0d6963f7d28e17f72"_s;
    QTest::newRow("message digest") << u"message digest"_s << u"f96b697d7cb7938d525a2f31aaf161d0"_s;
    QTest::newRow("alphabet") << u"abcdefghijklmnopqrstuvwxyz"_s
                              << u"c3fcd3d76192e4007dfb496cca67e13b"_s;
    QTest::newRow("alphanumeric")
        << u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"_s
        << u"d174ab98d277d9f5a5611c2c9f419d9f"_s;
    QTest::newRow("80 digits")
        << u"12345678901234567890123456789012345678901234567890123456789012345678901234567890"_s
        << u"57edf4a22be3c955ac49da2e2107b67a"_s;
    // Chinese text is digested in the Chinese ANSI code page (GBK), two bytes
    // a character.
    QTest::newRow("Chinese, GBK") << u"密码abc"_s << u"a704196326853bad2331891daae0d046"_s;
}

void TstSms::md5Vectors()
{
    QFETCH(QString, text);
    QFETCH(QString, digest);
    QCOMPARE(md5Hex(text), digest);
}

void TstSms::templates()
{
    QCOMPARE(fillRechargeTemplate(
                 u"#姓名#您好，卡#卡号#充#充值金额#，余#余额#，#积分#，#消费金额#，#姓名#"_s,
                 u"张三"_s, u"1001"_s, u"100元"_s, u"150元"_s),
             u"张三您好，卡1001充100元，余150元，#积分#，#消费金额#，张三"_s);
    QCOMPARE(fillConsumptionTemplate(u"#姓名#消费#消费金额#余#余额#积分#积分# #充值金额#"_s,
                                     QString(), u"1001"_s, u"9元"_s, u"1元"_s, u"30"_s),
             u"消费9元余1元积分30 #充值金额#"_s);
    QCOMPARE(fillRechargeTemplate(u"没有占位符"_s, u"a"_s, u"b"_s, u"c"_s, u"d"_s),
             u"没有占位符"_s);
}

void TstSms::requestsAreEncoded()
{
    const QString text = u"A&B #1 会员 100%=满"_s;
    const QUrl send =
        sendUrl(u"http://gw.example:8080/"_s, u"shop&1"_s, u"abc"_s, u"139 0000"_s, text);
    QVERIFY(send.isValid());
    QCOMPARE(send.path(), u"/send/"_s);
    const QUrlQuery q(send);
    QCOMPARE(q.queryItemValue(u"id"_s, QUrl::FullyDecoded), u"shop&1"_s);
    QCOMPARE(q.queryItemValue(u"num"_s, QUrl::FullyDecoded), u"139 0000"_s);
    QCOMPARE(q.queryItemValue(u"con"_s, QUrl::FullyDecoded), text);
    QCOMPARE(q.queryItems().size(), 4);
    QCOMPARE(loginUrl(u"http://gw.example"_s, u"a"_s, u"d"_s).toString(),
             u"http://gw.example/login/?id=a&pwd=d"_s);
    QCOMPARE(changePasswordUrl(u"http://gw.example"_s, u"a b"_s).toEncoded(),
             QByteArray("http://gw.example/chpwd/?id=a%20b"));
}

void TstSms::loginAnswers_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("count") << QByteArray("120") << false << QByteArray("200 OK") << QString() << u"短信剩余条数：120条"_s;
    QTest::newRow("zero") << QByteArray("0") << false << QByteArray("200 OK") << QString() << u"短信剩余条数：0条"_s;
    QTest::newRow("wrong account")
        << QByteArray("p") << false << QByteArray("200 OK") << u"账号或密码不正确！"_s << QString();
    QTest::newRow("garbage") << QByteArray("<html>error</html>") << false
                             << QByteArray("200 OK") << u"登陆失败！网络错误！"_s << QString();
    QTest::newRow("empty") << QByteArray() << false << QByteArray("200 OK") << u"登陆失败！网络错误！"_s << QString();
    QTest::newRow("server error") << QByteArray("Internal error") << false
                                  << QByteArray("500 Internal Server Error")
                                  << u"登陆失败！网络错误！"_s << QString();
    QTest::newRow("no answer") << QByteArray() << true << QByteArray("200 OK") << u"连接短信平台超时。"_s << QString();
}

void TstSms::loginAnswers()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, silent);
    QFETCH(QByteArray, status);
    QFETCH(QString, message);
    QFETCH(QString, shown);
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    smsAccount() = {};
    HttpStub gw;
    gw.answer = answer;
    gw.silent = silent;
    gw.status = status;
    h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"短信平台"_s);
        d->findChild<QLineEdit *>(u"txtUrl"_s)->setText(gw.baseUrl());
        d->findChild<QPushButton *>(u"cmdLogin"_s)->click();
        QCOMPARE(h.lastText(), u"请输入填写完整！"_s);
        d->findChild<QLineEdit *>(u"txtID"_s)->setText(u"  shop1 "_s);
        d->findChild<QLineEdit *>(u"txtPwd"_s)->setText(u"secret"_s);
        d->findChild<QPushButton *>(u"cmdLogin"_s)->click();
        QCOMPARE(d->findChild<QLineEdit *>(u"txtID"_s)->text(), u"shop1"_s);
        QVERIFY(d->findChild<QPushButton *>(u"cmdLogin"_s)->isEnabled());
        if (!shown.isEmpty()) {
            QVERIFY(d->findChild<QWidget *>(u"picAccount"_s)->isVisible());
            QCOMPARE(d->findChild<QLabel *>(u"lblDx"_s)->text(), shown);
            QCOMPARE(d->findChild<QLabel *>(u"lblID"_s)->text(), u"账号：shop1"_s);
        }
        d->reject();
    });
    main->findChild<QPushButton *>(u"cmdDxpt"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
    QCOMPARE(gw.requests.size(), 1);
    QVERIFY(gw.requests.first().startsWith("/login/?"));
    QCOMPARE(queryValue(gw.requests.first(), u"id"_s), u"shop1"_s);
    QCOMPARE(queryValue(gw.requests.first(), u"pwd"_s), md5Hex(u"secret"_s));
    QCOMPARE(GetSysInfo(u"smsurl"_s), gw.baseUrl());
    if (shown.isEmpty()) {
        QCOMPARE(h.lastText(), message);
        QVERIFY(!smsAccount().loggedIn());
    } else {
        QCOMPARE(smsAccount().id, u"shop1"_s);
        QCOMPARE(h.messages().size(), 1);
    }
    smsAccount() = {};
}

void TstSms::loginWithoutGateway()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    smsAccount() = {};
    quint16 closedPort;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        closedPort = probe.serverPort();
    }
    h.onModal([&](QDialog *d) {
        d->findChild<QLineEdit *>(u"txtUrl"_s)->setText(u"http://127.0.0.1:%1"_s.arg(closedPort));
        d->findChild<QLineEdit *>(u"txtID"_s)->setText(u"shop1"_s);
        d->findChild<QLineEdit *>(u"txtPwd"_s)->setText(u"x"_s);
        d->findChild<QPushButton *>(u"cmdLogin"_s)->click();
        d->findChild<QLineEdit *>(u"txtUrl"_s)->clear();
        d->findChild<QPushButton *>(u"cmdLogin"_s)->click();
        d->reject();
    });
    main->findChild<QPushButton *>(u"cmdDxpt"_s)->click();
    QCOMPARE(h.messages().size(), 2);
    QCOMPARE(h.messages().at(0).caption, u"错误提示"_s);
    QCOMPARE(h.lastText(), u"短信平台地址没有设置或不正确。"_s);
    QVERIFY(!smsAccount().loggedIn());
}

void TstSms::sendRules_data()
{
    QTest::addColumn<QString>("switchValue");
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<QString>("tel");
    QTest::addColumn<bool>("sent");
    QTest::newRow("sent") << u"yes"_s << true << u"13800001111"_s << true;
    QTest::newRow("switch off") << u"no"_s << true << u"13800001111"_s << false;
    QTest::newRow("no account") << u"yes"_s << false << u"13800001111"_s << false;
    QTest::newRow("no telephone") << u"yes"_s << true << QString() << false;
}

void TstSms::sendRules()
{
    QFETCH(QString, switchValue);
    QFETCH(bool, loggedIn);
    QFETCH(QString, tel);
    QFETCH(bool, sent);
    Harness h;
    QVERIFY(h.openDatabase());
    HttpStub gw;
    SetSysInfo(u"smsurl"_s, gw.baseUrl());
    SetSysInfo(u"czsendm"_s, switchValue);
    SetSysInfo(u"xfsendm"_s, switchValue);
    SetSysInfo(u"czmoban"_s, u"#姓名#充值#充值金额#，余额#余额#&#积分#"_s);
    SetSysInfo(u"xfmoban"_s, u"#姓名#消费#消费金额#，积分#积分#"_s);
    Sql(A(u"INSERT INTO mber (id, name, tel, jf) VALUES ('100000000001', '张三', ?, {42})"_s))
        .bind(tel)
        .exec();
    smsAccount() = loggedIn ? SmsAccount{u"shop1"_s, u"pw"_s} : SmsAccount{};
    const int issued = SmsGateway::instance().sent();
    SendCzSms(u"张三"_s, u"100000000001"_s, u"110元"_s, u"210元"_s);
    SendXfSms(u"张三"_s, u"100000000001"_s, u"9元"_s, u"201元"_s);
    // Requests are counted as they are issued: none, or each message once.
    QCOMPARE(SmsGateway::instance().sent(), issued + (sent ? 2 : 0));
    if (sent) {
        QTRY_COMPARE(gw.requests.size(), 2);
        QStringList texts;
        for (const QByteArray &r : gw.requests) {
            QVERIFY(r.startsWith("/send/?"));
            QCOMPARE(queryValue(r, u"num"_s), tel);
            QCOMPARE(queryValue(r, u"pwd"_s), md5Hex(u"pw"_s));
            texts << queryValue(r, u"con"_s);
        }
        texts.sort();
        QCOMPARE(texts,
                 QStringList({u"张三充值110元，余额210元&#积分#"_s, u"张三消费9元，积分42"_s}));
    }
    smsAccount() = {};

    // A send while the gateway is down changes nothing for the caller.
    gw.close();
    smsAccount() = SmsAccount{u"shop1"_s, u"pw"_s};
    // Earlier sends finished first, so that only this one is counted below.
    QTRY_COMPARE(SmsGateway::instance().finished(), SmsGateway::instance().sent());
    const int before = SmsGateway::instance().finished();
    SendCzSms(u"张三"_s, u"100000000001"_s, u"1元"_s, u"1元"_s);
    if (!tel.isEmpty() && switchValue == u"yes"_s) // it went out, and failed quietly
        QTRY_COMPARE(SmsGateway::instance().finished(), before + 1);
    QCOMPARE(h.messages().size(), 0);
    smsAccount() = {};
}

void TstSms::templateWindow()
{
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    h.onModal([&](QDialog *d) {
        auto *cz = d->findChild<QPlainTextEdit *>(u"txtCz"_s);
        QCOMPARE(cz->toPlainText(), GetSysInfo(u"czmoban"_s));
        cz->setPlainText(u"您好，余额"_s);
        QTextCursor c = cz->textCursor();
        c.setPosition(2);
        c.setPosition(4, QTextCursor::KeepAnchor); // "，余" selected
        cz->setTextCursor(c);
        d->findChild<QPushButton *>(u"cmdCzName"_s)->click();
        QCOMPARE(cz->toPlainText(), u"您好#姓名#额"_s);
        auto *xf = d->findChild<QPlainTextEdit *>(u"txtXf"_s);
        xf->setPlainText(u"积分："_s);
        xf->moveCursor(QTextCursor::End);
        d->findChild<QPushButton *>(u"cmdXfJf"_s)->click();
        QCOMPARE(xf->toPlainText(), u"积分：#积分#"_s);
        d->findChild<QPushButton *>(u"cmdOK"_s)->click();
    });
    main->findChild<QPushButton *>(u"cmdDxMoban"_s)->click();
    QCOMPARE(GetSysInfo(u"czmoban"_s), u"您好#姓名#额"_s);
    QCOMPARE(GetSysInfo(u"xfmoban"_s), u"积分：#积分#"_s);
    h.onModal([&](QDialog *d) {
        d->findChild<QPlainTextEdit *>(u"txtCz"_s)->setPlainText(u"改了"_s);
        d->findChild<QPushButton *>(u"cmdCC"_s)->click();
    });
    main->findChild<QPushButton *>(u"cmdDxMoban"_s)->click();
    QCOMPARE(GetSysInfo(u"czmoban"_s), u"您好#姓名#额"_s);
    QCOMPARE(h.unexpectedModals(), 0);
}

QTEST_MAIN(TstSms)
#include "tst_sms.moc"
