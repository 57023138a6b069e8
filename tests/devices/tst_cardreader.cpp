// The serial card reader against a pseudo-terminal, the routing of card
// reads to the screen that wants them, and the card settings window.

#include "appstate.h"
#include "cardrouting.h"
#include "cardsettings.h"
#include "database.h"
#include "frmcardset.h"
#include "frmmain.h"
#include "harness.h"
#include "ptydevice.h"
#include "serialcardreader.h"
#include "sysinfo.h"
#include "ui.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::devices;
using test::Harness;
using test::Pty;

namespace
{

// A reader that records what the routing asks of it.
class FakeReader : public CardReader
{
public:
    QStringList calls;
    void setPortNo(double) override {}
    void setBaudRate(double) override {}
    void setCardKey(const QString &) override {}
    void setCardMode(int) override {}
    bool OpenReader() override { return true; }
    void CloseReader() override {}
    void Beep(int n) override { calls << u"beep %1"_s.arg(n); }
    void ReadEnabled(bool on) override { calls << (on ? u"on"_s : u"off"_s); }
};

QStringList reads(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &args : spy)
        out << u"%1:%2"_s.arg(args.at(0).toInt()).arg(args.at(1).toString());
    return out;
}

void addMember(const QString &id, const QString &name)
{
    Sql(u"INSERT INTO mber (id, name, createtime) VALUES (?, ?, ?)"_s)
        .bind(id)
        .bind(name)
        .bind(Database::dt(QDateTime::currentDateTime()))
        .exec();
}

} // namespace

class TstCardReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsLinesFromThePort();
    void heldReadsAreDeliveredOnce();
    void beepAndDisconnect();
    void openFailsWithoutDevice();
    void routing_data();
    void routing();
    void targetScopeRestores();
    void sectorKey_data();
    void sectorKey();
    void cardSettingsWindow_data();
    void cardSettingsWindow();
    void swipesReachTheMainWindow();
    void connectionFailureShown();
    void handoverLetsTheReaderGo();
};

void TstCardReader::readsLinesFromThePort()
{
    Harness h;
    Pty pty;
    QVERIFY(pty.isOpen());
    test::configureReaderPort(h.folder(), 3, pty.slavePath());
    QCOMPARE(SerialCardReader::devicePath(3), pty.slavePath());
    QCOMPARE(SerialCardReader::devicePath(2), u"/dev/ttyS1"_s);

    SerialCardReader reader;
    reader.setPortNo(3);
    reader.setBaudRate(9600);
    QVERIFY(reader.OpenReader());
    QSignalSpy spy(&reader, &CardReader::CardRead);
    pty.write("1234567890ABCDEF\r\n"); // CR LF
    pty.write("000000000042\n");       // LF
    pty.write("\r\n");                 // nothing usable
    pty.write("  77 \rpart");          // CR, then an unfinished line
    QTRY_COMPARE(spy.size(), 4);
    QCOMPARE(reads(spy),
             QStringList({u"-1:1234567890ABCDEF"_s, u"-1:000000000042"_s, u"0:"_s, u"-1:77"_s}));
    pty.write("ial\n");
    QTRY_COMPARE(spy.size(), 5);
    QCOMPARE(spy.last().at(1).toString(), u"partial"_s);
    // Noise far longer than any card: one unusable read for the whole line.
    pty.write(QByteArray(3000, 'X') + "100000000001\r\n");
    pty.write("000000000043\r\n");
    QTRY_COMPARE(spy.size(), 7);
    QCOMPARE(reads(spy).mid(5), QStringList({u"0:"_s, u"-1:000000000043"_s}));
    QCOMPARE(cardNumberOf(u"1234567890ABCDEF"_s), u"567890ABCDEF"_s);
    QCOMPARE(cardNumberOf(u"42"_s), u"42"_s);
}

void TstCardReader::heldReadsAreDeliveredOnce()
{
    Harness h;
    Pty pty;
    test::configureReaderPort(h.folder(), 1, pty.slavePath());
    SerialCardReader reader;
    reader.setPortNo(1);
    QVERIFY(reader.OpenReader());
    QSignalSpy spy(&reader, &CardReader::CardRead);

    reader.ReadEnabled(false);
    pty.write("AAAA00000001\nAAAA00000002\n");
    QTest::qWait(200); // the lines arrive while reads are held back
    QCOMPARE(spy.size(), 0);
    reader.ReadEnabled(true);
    QTRY_COMPARE(spy.size(), 2);
    QCOMPARE(reads(spy), QStringList({u"-1:AAAA00000001"_s, u"-1:AAAA00000002"_s}));

    // A receiver that holds reads back while it handles one (as the routing
    // does) gets each of a burst exactly once, in order.
    spy.clear();
    QStringList handled;
    connect(&reader, &CardReader::CardRead, &reader, [&](int, const QString &data) {
        reader.ReadEnabled(false);
        handled << data;
        QCoreApplication::processEvents();
        reader.ReadEnabled(true);
    });
    pty.write("B1\nB2\nB3\n");
    QTRY_COMPARE(handled.size(), 3);
    QTest::qWait(100);
    QCOMPARE(handled, QStringList({u"B1"_s, u"B2"_s, u"B3"_s}));
}

void TstCardReader::beepAndDisconnect()
{
    Harness h;
    Pty pty;
    test::configureReaderPort(h.folder(), 2, pty.slavePath());
    SerialCardReader reader;
    reader.setPortNo(2);
    QVERIFY(reader.OpenReader());
    reader.Beep(10);
    QCOMPARE(pty.read(), QByteArray("\a"));

    QSignalSpy gone(&reader, &CardReader::Disconnected);
    pty.close();
    QTRY_COMPARE(gone.size(), 1);
    QVERIFY(!reader.isOpen());
}

void TstCardReader::openFailsWithoutDevice()
{
    Harness h;
    test::configureReaderPort(h.folder(), 5, h.folder() + u"/no-such-device"_s);
    SerialCardReader reader;
    reader.setPortNo(5);
    QVERIFY(!reader.OpenReader());
    reader.setPortNo(0);
    QVERIFY(!reader.OpenReader());
}

void TstCardReader::routing_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("delivered");
    QTest::addColumn<QStringList>("calls");
    const QStringList plain{u"off"_s, u"on"_s};
    const QStringList beeped{u"off"_s, u"beep 10"_s, u"on"_s};
    QTest::newRow("last 12 of 16")
        << 1 << -1 << u"1234567890ABCDEF"_s << u"1:567890ABCDEF"_s << beeped;
    QTest::newRow("short card") << 2 << -1 << u"42"_s << u"2:42"_s << beeped;
    QTest::newRow("status 0 discarded") << 1 << 0 << u"garbage"_s << QString() << plain;
    QTest::newRow("other status, no beep")
        << 1 << 1 << u"000000000007"_s << u"1:000000000007"_s << plain;
    QTest::newRow("no target") << 0 << -1 << u"000000000007"_s << QString() << plain;
    QTest::newRow("target nobody handles") << 9 << -1 << u"000000000007"_s << QString() << beeped;
}

void TstCardReader::routing()
{
    QFETCH(int, target);
    QFETCH(int, status);
    QFETCH(QString, data);
    QFETCH(QString, delivered);
    QFETCH(QStringList, calls);
    state().reset();
    QString got;
    setTargetHandler(1, [&](const QString &c) { got = u"1:"_s + c; });
    setTargetHandler(2, [&](const QString &c) { got = u"2:"_s + c; });
    state().cardTarget = target;
    FakeReader reader;
    handleCardRead(reader, status, data);
    QCOMPARE(got, delivered);
    QCOMPARE(reader.calls, calls);
    setTargetHandler(1, {});
    setTargetHandler(2, {});
    state().reset();
}

void TstCardReader::targetScopeRestores()
{
    state().reset();
    state().cardTarget = TargetMemberList;
    {
        TargetScope transfer(TargetTransfer);
        QCOMPARE(state().cardTarget, int(TargetTransfer));
        QCOMPARE(state().savedTarget, int(TargetMemberList));
        {
            TargetScope none(TargetNone);
            QCOMPARE(state().cardTarget, int(TargetNone));
        }
        QCOMPARE(state().cardTarget, int(TargetTransfer));
    }
    QCOMPARE(state().cardTarget, int(TargetMemberList));
    state().reset();
}

void TstCardReader::sectorKey_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("valid");
    QTest::newRow("all F") << u"FFFFFFFFFFFF"_s << true;
    QTest::newRow("with zeros") << u"A0B0C0D0E0F0"_s << true;
    QTest::newRow("lower case") << u"abcdef012345"_s << true;
    QTest::newRow("letter after F") << u"FFFFFFFFFFFG"_s << false;
    QTest::newRow("11 characters") << u"FFFFFFFFFFF"_s << false;
    QTest::newRow("13 characters") << u"FFFFFFFFFFFFF"_s << false;
    QTest::newRow("blank inside") << u"FFFFFF FFFFF"_s << false;
    QTest::newRow("empty") << QString() << false;
}

void TstCardReader::sectorKey()
{
    QFETCH(QString, key);
    QFETCH(bool, valid);
    QCOMPARE(validSectorKey(key), valid);
}

void TstCardReader::cardSettingsWindow_data()
{
    QTest::addColumn<bool>("ic");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QStringList>("stored"); // klx, ckh, bt, icpwd
    QTest::newRow("IC, lower-case key")
        << true << u"3"_s << u"19200"_s << u"a1b2c3d4e5f6"_s << true
        << QStringList{u"0"_s, u"3"_s, u"19200"_s, u"A1B2C3D4E5F6"_s};
    QTest::newRow("IC, bad key") << true << u"3"_s << u"19200"_s << u"GGGGGGGGGGGG"_s << false
                                 << QStringList{u"1"_s, u"1"_s, u"9600"_s, u"FFFFFFFFFFFF"_s};
    QTest::newRow("IC, port not a number")
        << true << u"abc"_s << u"0"_s << u"FFFFFFFFFFFF"_s << true
        << QStringList{u"0"_s, u"0"_s, u"0"_s, u"FFFFFFFFFFFF"_s};
    QTest::newRow("stripe, key not examined") << false << u"2"_s << u"9600"_s << u"xyz"_s << true
                                              << QStringList{u"1"_s, u"2"_s, u"9600"_s, u"xyz"_s};
}

void TstCardReader::cardSettingsWindow()
{
    QFETCH(bool, ic);
    QFETCH(QString, port);
    QFETCH(QString, baud);
    QFETCH(QString, key);
    QFETCH(bool, saved);
    QFETCH(QStringList, stored);
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdSysz"_s)->click();
    bool loaded = false;
    h.onModal([&](QDialog *d) {
        QCOMPARE(d->windowTitle(), u"卡操作参数设置"_s);
        loaded = d->findChild<QRadioButton *>(u"Op_1"_s)->isChecked() &&
                 !d->findChild<QLineEdit *>(u"txtPwd"_s)->isEnabled() &&
                 d->findChild<QComboBox *>(u"comPort"_s)->currentText() == u"1"_s &&
                 d->findChild<QComboBox *>(u"comBt"_s)->currentText() == u"9600"_s &&
                 !ui::waitNotice()->isVisible();
        d->findChild<QRadioButton *>(ic ? u"Op_0"_s : u"Op_1"_s)->setChecked(true);
        QCOMPARE(d->findChild<QLineEdit *>(u"txtPwd"_s)->isEnabled(), ic);
        d->findChild<QComboBox *>(u"comPort"_s)->setEditText(port);
        d->findChild<QComboBox *>(u"comBt"_s)->setEditText(baud);
        d->findChild<QLineEdit *>(u"txtPwd"_s)->setText(key);
        d->findChild<QPushButton *>(u"cmdSave"_s)->click();
        if (d->isVisible()) { // refused: the window stays with its input
            QCOMPARE(d->findChild<QLineEdit *>(u"txtPwd"_s)->text(), key);
            d->findChild<QPushButton *>(u"cmdClose"_s)->click();
        }
    });
    main->findChild<QToolButton *>(u"Imgsz_4"_s)->click();
    QVERIFY(loaded);
    QCOMPARE(h.unexpectedModals(), 0);
    QCOMPARE(h.messages().size(), 1);
    QCOMPARE(h.lastText(), saved ? u"卡操作参数已保存，您需要重新启动软件才能生效！"_s
                                 : u"IC卡密码必须是12位字符组成，且每位字符只能使用0-9和A-F！"_s);
    QCOMPARE(h.messages().first().icon, saved ? MsgIcon::Information : MsgIcon::Warning);
    QCOMPARE(QStringList({GetSysInfo(u"klx"_s), GetSysInfo(u"ckh"_s), GetSysInfo(u"bt"_s),
                          GetSysInfo(u"icpwd"_s)}),
             stored);
    QCOMPARE(state().cardType, 1); // the running program keeps its card type
}

void TstCardReader::swipesReachTheMainWindow()
{
    Harness h;
    Pty pty;
    QVERIFY(h.openDatabase());
    SetSysInfo(u"klx"_s, u"0"_s);
    SetSysInfo(u"ckh"_s, u"4"_s);
    SetSysInfo(u"icpwd"_s, u"A1A1A1A1A1A1"_s);
    addMember(u"100000000001"_s, u"李雷"_s);
    addMember(u"100000000002"_s, u"韩梅梅"_s);
    Database::close();
    test::configureReaderPort(h.folder(), 4, pty.slavePath());
    FrmMain *main = h.login();
    QVERIFY(main);
    QCOMPARE(main->statusPanel(3)->text(), u"读卡器状态：未连接"_s);

    auto *connectButton = main->findChild<QPushButton *>(u"cmdConnect"_s);
    connectButton->click();
    QCOMPARE(main->statusPanel(3)->text(), u"IC卡刷卡器连接成功。"_s);
    QVERIFY(connectButton->isHidden());
    auto *reader = main->findChild<SerialCardReader *>(u"Qzic"_s);
    QCOMPARE(reader->cardKey(), u"A1A1A1A1A1A1"_s);
    QCOMPARE(reader->portNo(), 4);
    QCOMPARE(pty.read(), QByteArray("\a")); // connected with a beep

    // Target 1: the main window's lookup. The card carries 16 characters.
    pty.write("XXXX100000000001\r\n");
    auto *name = main->findChild<QLabel *>(u"lblName"_s);
    QTRY_COMPARE(name->text(), u"李雷"_s);
    QCOMPARE(main->NowMberID, u"100000000001"_s);
    QCOMPARE(pty.read(), QByteArray("\a"));

    // Target 0 on the reports panel: the read is discarded.
    main->findChild<QPushButton *>(u"cmdMemtj"_s)->click();
    pty.write("100000000002\r\n");
    QTest::qWait(200);
    QCOMPARE(main->NowMberID, u"100000000001"_s);
    QCOMPARE(pty.read(200), QByteArray());
    QVERIFY(h.messages().isEmpty());

    // Target 2: the member list query.
    main->findChild<QPushButton *>(u"cmdMemgl"_s)->click();
    pty.write("100000000002\r\n");
    auto *list = main->findChild<QTreeWidget *>(u"lvMber"_s);
    QTRY_COMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->topLevelItem(0)->text(1), u"韩梅梅"_s);
    QCOMPARE(main->findChild<QLineEdit *>(u"txtIDName"_s)->text(), u"100000000002"_s);

    // The reader goes away.
    pty.close();
    QTRY_COMPARE(main->statusPanel(3)->text(), u"IC卡刷卡器连接已断开。"_s);
    QVERIFY(!connectButton->isHidden());
}

void TstCardReader::connectionFailureShown()
{
    Harness h;
    QVERIFY(h.openDatabase());
    SetSysInfo(u"klx"_s, u"0"_s);
    SetSysInfo(u"ckh"_s, u"6"_s);
    Database::close();
    test::configureReaderPort(h.folder(), 6, h.folder() + u"/unplugged"_s);
    FrmMain *main = h.login();
    QVERIFY(main);
    auto *connectButton = main->findChild<QPushButton *>(u"cmdConnect"_s);
    connectButton->click();
    QCOMPARE(main->statusPanel(3)->text(), u"IC卡刷卡器连接失败！"_s);
    QVERIFY(!connectButton->isHidden()); // another try
    QVERIFY(h.messages().isEmpty());
}

void TstCardReader::handoverLetsTheReaderGo()
{
    Harness h;
    Pty pty;
    QVERIFY(h.openDatabase());
    SetSysInfo(u"klx"_s, u"0"_s);
    SetSysInfo(u"ckh"_s, u"4"_s);
    Database::close();
    test::configureReaderPort(h.folder(), 4, pty.slavePath());
    FrmMain *main = h.login();
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdConnect"_s)->click();
    QPointer<SerialCardReader> reader = main->findChild<SerialCardReader *>(u"Qzic"_s);
    QVERIFY(reader && reader->isOpen());
    main->handOver();
    // Closed at once, not whenever the old window is finally deleted.
    QVERIFY(!reader || !reader->isOpen());
    FrmMain *next = h.login();
    QVERIFY(next);
    next->findChild<QPushButton *>(u"cmdConnect"_s)->click();
    QCOMPARE(next->statusPanel(3)->text(), u"IC卡刷卡器连接成功。"_s);
    QVERIFY(next->findChild<SerialCardReader *>(u"Qzic"_s)->isOpen());
}

QTEST_MAIN(TstCardReader)
#include "tst_cardreader.moc"
