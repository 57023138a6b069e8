// The cashier's keys and the cash drawer.

#include "appstate.h"
#include "cashdrawer.h"
#include "database.h"
#include "frmlogin.h"
#include "frmmain.h"
#include "harness.h"
#include "ptydevice.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using test::Harness;

class TstHotKeys : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keysOpenTheirScreens_data();
    void keysOpenTheirScreens();
    void noMemberShown();
    void drawer();
    void keysOverScreens();
    void drawerDevice_data();
    void drawerDevice();
};

void TstHotKeys::keysOpenTheirScreens_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("title");
    QTest::newRow("F3 exchange") << int(Qt::Key_F3) << u"兑换积分"_s;
    QTest::newRow("F4 recharge") << int(Qt::Key_F4) << u"会员充值"_s;
    QTest::newRow("F5 sale") << int(Qt::Key_F5) << u"新增消费"_s;
    QTest::newRow("F6 direct consumption") << int(Qt::Key_F6) << u"直接消费"_s;
}

void TstHotKeys::keysOpenTheirScreens()
{
    QFETCH(int, key);
    QFETCH(QString, title);
    Harness h;
    QVERIFY(h.startProgram());
    Sql(u"INSERT INTO mber (id, name, st) VALUES ('100000000001', '张三', 0)"_s).exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    main->ShowMber(u"100000000001"_s);
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    int opened = 0;
    auto handler = [&](QDialog *d) {
        ++opened;
        QCOMPARE(d->windowTitle(), title);
        // The same key again while the screen is open does nothing.
        QTest::keyClick(d, Qt::Key(key));
        d->reject();
    };
    h.onModal(handler);
    QTest::keyClick(main, Qt::Key(key));
    QCOMPARE(opened, 1);
    // Closed: the key opens it again (the window manager gives the main
    // window back its focus).
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));
    h.onModal(handler);
    QTest::keyClick(main, Qt::Key(key));
    QCOMPARE(opened, 2);
    QCOMPARE(h.unexpectedModals(), 0);
}

void TstHotKeys::noMemberShown()
{
    Harness h;
    QVERIFY(h.startProgram());
    FrmMain *main = h.login();
    QVERIFY(main);
    QTest::keyClick(main, Qt::Key_F4);
    QCOMPARE(h.lastText(), u"请先指定会员！"_s);
    // Handed over: the keys went with the old main window at once.
    h.clearMessages();
    main->handOver();
    QTest::keyClick(h.loginWindow(), Qt::Key_F4);
    QVERIFY(h.messages().isEmpty());
    QCOMPARE(h.unexpectedModals(), 0);
}

void TstHotKeys::drawer()
{
    Harness h;
    QVERIFY(h.startProgram());
    test::Pty pty;
    QVERIFY(pty.isOpen());
    test::configureDrawerPort(h.folder(), u"COM3"_s, pty.slavePath());
    FrmMain *main = h.login();
    QVERIFY(main);
    state().drawerPort = u"COM3"_s;
    QTest::keyClick(main, Qt::Key_Home);
    QCOMPARE(pty.read(), QByteArray::fromHex("1b7020003cff"));
    QCOMPARE(main->statusPanel(5)->text(), u"按下Home键打开钱箱"_s);
    // A port with nothing behind it: no message, the panel as before.
    state().drawerPort = u"COM4"_s;
    test::configureDrawerPort(h.folder(), u"COM4"_s, h.folder() + u"/没有这个设备"_s);
    QTest::keyClick(main, Qt::Key_Home);
    QVERIFY(h.messages().isEmpty());
    QCOMPARE(main->statusPanel(5)->text(), u"按下Home键打开钱箱"_s);
    QVERIFY(!devices::OpenQx());
}

void TstHotKeys::keysOverScreens()
{
    // The keys reach the program over an open screen and past a focused
    // text box, which would otherwise keep Home for its cursor.
    Harness h;
    QVERIFY(h.startProgram());
    test::Pty pty;
    QVERIFY(pty.isOpen());
    test::configureDrawerPort(h.folder(), u"COM2"_s, pty.slavePath());
    Sql(u"INSERT INTO mber (id, name, st) VALUES ('100000000001', '张三', 0)"_s).exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    state().drawerPort = u"COM2"_s;
    main->ShowMber(u"100000000001"_s);
    auto *card = main->findChild<QLineEdit *>(u"txtMber"_s);
    QVERIFY(card);
    card->setText(u"1234"_s);
    card->setCursorPosition(4);
    QTest::keyClick(card, Qt::Key_Home);
    QCOMPARE(pty.read(), QByteArray::fromHex("1b7020003cff"));
    QCOMPARE(card->cursorPosition(), 4);

    QStringList opened;
    h.onModal([&](QDialog *sale) {
        opened << sale->windowTitle();
        QWidget *focus = sale->focusWidget();
        QTest::keyClick(focus ? focus : sale, Qt::Key_Home);
        QCOMPARE(pty.read(), QByteArray::fromHex("1b7020003cff"));
        // F4 inside the sale opens the recharge on top of it.
        h.onModal([&](QDialog *recharge) {
            opened << recharge->windowTitle();
            recharge->reject();
        });
        QTest::keyClick(sale, Qt::Key_F4);
        sale->reject();
    });
    QTest::keyClick(main, Qt::Key_F5);
    QCOMPARE(opened, (QStringList{u"新增消费"_s, u"会员充值"_s}));
    QVERIFY(h.messages().isEmpty());
    QCOMPARE(h.unexpectedModals(), 0);
}

void TstHotKeys::drawerDevice_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("device");
    QTest::newRow("COM1") << u"COM1"_s << u"/dev/ttyS0"_s;
    QTest::newRow("com7 lower case") << u"com7"_s << u"/dev/ttyS6"_s;
    QTest::newRow("COM8 is no drawer port") << u"COM8"_s << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TstHotKeys::drawerDevice()
{
    QFETCH(QString, port);
    QFETCH(QString, device);
    Harness h;
    state().programFolder = h.folder();
    QCOMPARE(devices::drawerDevice(port), device);
}

QTEST_MAIN(TstHotKeys)
#include "tst_hotkeys.moc"
