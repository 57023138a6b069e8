// The PC/SC card reader for real: pcscd with the virtual reader driver of
// vsmartcard, and a virtual MIFARE Classic card answering from a memory
// image. Also the card settings window's choices for such a reader.

#include "appstate.h"
#include "cardsettings.h"
#include "database.h"
#include "frmmain.h"
#include "harness.h"
#include "pcsccardreader.h"
#include "sysinfo.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>
#include <winscard.h>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::devices;
using test::Harness;

namespace
{

const QString kKey = u"A0A1A2A3A4A5"_s;
const QString kNumber = u"100000000001"_s;

// A card on the virtual reader for as long as the object lives.
class VirtualCard
{
public:
    VirtualCard(const QString &key, const QString &number)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(u"/usr/bin/python3"_s, {QStringLiteral(VIRTUAL_CARD), key, number});
    }
    ~VirtualCard() { remove(); }
    bool started() { return m_process.waitForStarted(); }
    // Off the reader, and pcscd has seen it go: the virtual reader takes the
    // next card only then.
    void remove()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished();
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && cardPresent())
            QTest::qWait(50);
    }

private:
    static bool cardPresent()
    {
        SCARDCONTEXT context = 0;
        if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) !=
            SCARD_S_SUCCESS)
            return false;
        const QByteArray name = PcscCardReader::readers().value(0).toLocal8Bit();
        SCARD_READERSTATE state{};
        state.szReader = name.constData();
        state.dwCurrentState = SCARD_STATE_UNAWARE;
        const bool present = SCardGetStatusChange(context, 0, &state, 1) == SCARD_S_SUCCESS &&
                             (state.dwEventState & SCARD_STATE_PRESENT);
        SCardReleaseContext(context);
        return present;
    }

    QProcess m_process;
};

QString pcscd()
{
    return QStandardPaths::findExecutable(u"pcscd"_s, {u"/usr/sbin"_s, u"/sbin"_s});
}

bool pcscdRuns()
{
    return QProcess::execute(u"pgrep"_s, {u"-x"_s, u"pcscd"_s}) == 0;
}

// Ends pcscd (the reader is gone for every program) and starts it again when
// the object goes, so that the tests after it have their reader back.
class ReaderGone
{
public:
    ReaderGone()
    {
        QProcess::execute(u"pkill"_s, {u"-x"_s, u"pcscd"_s});
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && pcscdRuns())
            QTest::qWait(100);
    }
    ~ReaderGone() { bringBack(); }
    bool bringBack()
    {
        if (!pcscdRuns() && QProcess::execute(pcscd(), {}) != 0)
            return false;
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && PcscCardReader::readers().isEmpty())
            QTest::qWait(100);
        return !PcscCardReader::readers().isEmpty();
    }
};

QStringList reads(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &args : spy)
        out << u"%1:%2"_s.arg(args.at(0).toInt()).arg(args.at(1).toString());
    return out;
}

} // namespace

// Skips, or fails when the test command set the reader up, without pcscd and
// its virtual reader.
#define LT_USE_VIRTUAL_READER()                                                                    \
    if (PcscCardReader::readers().filter(u"Virtual PCD"_s).isEmpty()) {                            \
        if (qEnvironmentVariableIsSet("LANTING_REQUIRE_PCSC"))                                     \
            QFAIL("pcscd with its virtual reader is not running");                                 \
        QSKIP("no virtual PC/SC reader (pcscd with vsmartcard-vpcd)");                             \
    }

class TstPcsc : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void blockText_data();
    void blockText();
    void commands();
    void readsACard_data();
    void readsACard();
    void cardsComeAndGo();
    void readerChosenByName();
    void mainWindowReadsAndLosesTheReader();
    void settingsWindow_data();
    void settingsWindow();
};

void TstPcsc::blockText_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QString>("text");
    QTest::newRow("digits") << QByteArray("0000100000000001") << u"0000100000000001"_s;
    QTest::newRow("short, padded with zeros")
        << QByteArray("100000000001\0\0\0\0", 16) << u"100000000001"_s;
    QTest::newRow("short, padded with blanks")
        << QByteArray("  100000000001  ") << u"100000000001"_s;
    QTest::newRow("BCD") << QByteArray::fromHex("00000000000000000000100000000001")
                         << u"00000000000000000000100000000001"_s;
    QTest::newRow("binary") << QByteArray::fromHex("0102FFEE000000000000000000000000")
                            << u"0102FFEE000000000000000000000000"_s;
    QTest::newRow("BCD ending in zeros") << QByteArray::fromHex("00000000000000000000100000000000")
                                         << u"00000000000000000000100000000000"_s;
    QTest::newRow("BCD padded with FF")
        << QByteArray::fromHex("000010000000000001FFFFFFFFFFFFFF") << u"000010000000000001"_s;
    QTest::newRow("never written") << QByteArray(16, '\0') << QString();
    QTest::newRow("blank") << QByteArray(16, '\xFF') << QString();
}

void TstPcsc::blockText()
{
    QFETCH(QByteArray, block);
    QFETCH(QString, text);
    QCOMPARE(PcscCardReader::blockText(block), text);
}

// The storage-card commands of PC/SC part 3 as the reader sends them.
void TstPcsc::commands()
{
    QCOMPARE(PcscCardReader::loadKeyCommand(QByteArray::fromHex("A0A1A2A3A4A5")).toHex().toUpper(),
             QByteArray("FF82000006A0A1A2A3A4A5"));
    QCOMPARE(PcscCardReader::authenticateCommand(4).toHex().toUpper(),
             QByteArray("FF860000050100046000"));
    QCOMPARE(PcscCardReader::readCommand(61).toHex().toUpper(), QByteArray("FFB0003D10"));
    QVERIFY(PcscCardReader::hasBuzzer(u"ACS ACR122U PICC Interface 00 00"_s));
    QVERIFY(!PcscCardReader::hasBuzzer(u"Virtual PCD 00 00"_s));
}

void TstPcsc::readsACard_data()
{
    QTest::addColumn<QString>("cardKey");
    QTest::addColumn<bool>("uidOnly");
    QTest::addColumn<int>("block");
    QTest::addColumn<QString>("read");
    QTest::newRow("right key") << kKey << false << 4 << u"-1:0000100000000001"_s;
    QTest::newRow("wrong key") << u"FFFFFFFFFFFF"_s << false << 4 << u"0:"_s;
    QTest::newRow("a block never written") << kKey << false << 5 << u"0:"_s;
    QTest::newRow("serial number only") << u"FFFFFFFFFFFF"_s << true << 4 << u"-1:04A1B2C3"_s;
}

void TstPcsc::readsACard()
{
    LT_USE_VIRTUAL_READER();
    QFETCH(QString, cardKey);
    QFETCH(bool, uidOnly);
    QFETCH(int, block);
    QFETCH(QString, read);
    PcscCardReader reader;
    reader.setReaderName(u"Virtual PCD"_s); // not a real reader that may be plugged in
    reader.setCardKey(cardKey);
    reader.setUidOnly(uidOnly);
    reader.setBlock(block);
    QSignalSpy spy(&reader, &CardReader::CardRead);
    QVERIFY(reader.OpenReader());
    QVERIFY(reader.readerName().startsWith(u"Virtual PCD"_s));
    VirtualCard card(kKey, kNumber);
    QVERIFY(card.started());
    QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 1, 15000);
    QCOMPARE(reads(spy), QStringList{read});
    reader.Beep(10); // no buzzer on this reader: nothing happens, nothing breaks
    QTest::qWait(300);
    QCOMPARE(spy.size(), 1); // a card lying on the reader is read once
}

void TstPcsc::cardsComeAndGo()
{
    LT_USE_VIRTUAL_READER();
    PcscCardReader reader;
    reader.setReaderName(u"Virtual PCD"_s);
    reader.setCardKey(kKey);
    QSignalSpy spy(&reader, &CardReader::CardRead);
    QSignalSpy gone(&reader, &CardReader::Disconnected);
    QVERIFY(reader.OpenReader());

    // Held back while the receiver works, handed on once it takes reads.
    reader.ReadEnabled(false);
    {
        VirtualCard card(kKey, kNumber);
        QVERIFY(card.started());
        QTest::qWait(3000);
        QCOMPARE(spy.size(), 0);
        reader.ReadEnabled(true);
        QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 1, 15000);
    } // taken off the reader
    QTest::qWait(1000);
    QCOMPARE(spy.size(), 1);
    {
        VirtualCard again(kKey, u"100000000002"_s);
        QVERIFY(again.started());
        QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 2, 15000);
    }
    QCOMPARE(reads(spy), QStringList({u"-1:0000100000000001"_s, u"-1:0000100000000002"_s}));

    // Closed by the program: no more reads, no disconnection.
    reader.CloseReader();
    QVERIFY(!reader.isOpen());
    VirtualCard third(kKey, kNumber);
    QVERIFY(third.started());
    QTest::qWait(2000);
    QCOMPARE(spy.size(), 2);
    QCOMPARE(gone.size(), 0);
}

void TstPcsc::readerChosenByName()
{
    LT_USE_VIRTUAL_READER();
    const QStringList present = PcscCardReader::readers().filter(u"Virtual PCD"_s);
    PcscCardReader reader;
    reader.setCardKey(kKey);
    reader.setReaderName(present.last());
    QVERIFY(reader.OpenReader());
    QCOMPARE(reader.readerName(), present.last());
    reader.setReaderName(u"Virtual"_s); // the beginning of a name
    QVERIFY(reader.OpenReader());
    QCOMPARE(reader.readerName(), present.first());
    reader.setReaderName(u"No Such Reader 00 00"_s);
    QVERIFY(!reader.OpenReader());
    QVERIFY(!reader.isOpen());
    reader.setReaderName(u"Virtual"_s);
    reader.setCardKey(u"A0A1A2"_s); // a sector key that cannot be sent
    QVERIFY(!reader.OpenReader());
}

void TstPcsc::mainWindowReadsAndLosesTheReader()
{
    LT_USE_VIRTUAL_READER();
    Harness h;
    QVERIFY(h.openDatabase());
    SetSysInfo(u"klx"_s, u"0"_s);
    SetSysInfo(u"icdev"_s, u"1"_s);
    SetSysInfo(u"icname"_s, u"Virtual PCD"_s);
    SetSysInfo(u"icpwd"_s, kKey);
    Sql(u"INSERT INTO mber (id, name, createtime) VALUES (?, '李雷', ?)"_s)
        .bind(kNumber)
        .bind(Database::dt(QDateTime::currentDateTime()))
        .exec();
    Database::close();
    FrmMain *main = h.login();
    QVERIFY(main);
    auto *connectButton = main->findChild<QPushButton *>(u"cmdConnect"_s);
    connectButton->click();
    QCOMPARE(main->statusPanel(3)->text(), u"IC卡刷卡器连接成功。"_s);
    QVERIFY(connectButton->isHidden());
    QVERIFY(main->findChild<PcscCardReader *>(u"Qzic"_s));

    {
        VirtualCard card(kKey, kNumber);
        QVERIFY(card.started());
        QTRY_COMPARE_WITH_TIMEOUT(main->findChild<QLabel *>(u"lblName"_s)->text(), u"李雷"_s,
                                  15000);
        QCOMPARE(main->NowMberID, kNumber);
    }

    ReaderGone gone;
    QVERIFY(!pcscdRuns());
    QTRY_COMPARE_WITH_TIMEOUT(main->statusPanel(3)->text(), u"IC卡刷卡器连接已断开。"_s, 10000);
    QVERIFY(!connectButton->isHidden());
    connectButton->click();
    QCOMPARE(main->statusPanel(3)->text(), u"IC卡刷卡器连接失败！"_s);

    QVERIFY(gone.bringBack());
    connectButton->click();
    QCOMPARE(main->statusPanel(3)->text(), u"IC卡刷卡器连接成功。"_s);
    QVERIFY(h.messages().isEmpty());
}

void TstPcsc::settingsWindow_data()
{
    QTest::addColumn<int>("block");
    QTest::addColumn<bool>("uidOnly");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("stored"); // icdev, icname, icuid, icblock, icpwd
    const QString saved = u"卡操作参数已保存，您需要重新启动软件才能生效！"_s;
    const QString badBlock = u"卡号数据块不能是0号块或扇区尾块（3、7、11、…、63）！"_s;
    const QStringList unchanged{u"0"_s, QString(), u"0"_s, u"4"_s, u"FFFFFFFFFFFF"_s};
    QTest::newRow("number block") << 8 << false << u"a0a1a2a3a4a5"_s << saved
                                  << QStringList{u"1"_s, u"ACS ACR122U"_s, u"0"_s, u"8"_s,
                                                 u"A0A1A2A3A4A5"_s};
    QTest::newRow("a sector trailer") << 7 << false << kKey << badBlock << unchanged;
    QTest::newRow("bad key") << 4 << false << u"A0A1A2A3A4"_s
                             << u"IC卡密码必须是12位字符组成，且每位字符只能使用0-9和A-F！"_s
                             << unchanged;
    QTest::newRow("serial number only: block and key unused")
        << 7 << true << u"xyz"_s << saved
        << QStringList{u"1"_s, u"ACS ACR122U"_s, u"1"_s, u"7"_s, u"XYZ"_s};
}

void TstPcsc::settingsWindow()
{
    QFETCH(int, block);
    QFETCH(bool, uidOnly);
    QFETCH(QString, key);
    QFETCH(QString, message);
    QFETCH(QStringList, stored);
    Harness h;
    FrmMain *main = h.login();
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdSysz"_s)->click();
    bool checked = false;
    h.onModal([&](QDialog *d) {
        auto *dev = d->findChild<QComboBox *>(u"comDev"_s);
        auto *name = d->findChild<QComboBox *>(u"comName"_s);
        auto *read = d->findChild<QComboBox *>(u"comRead"_s);
        auto *spin = d->findChild<QSpinBox *>(u"spnBlock"_s);
        auto *port = d->findChild<QComboBox *>(u"comPort"_s);
        auto *pwd = d->findChild<QLineEdit *>(u"txtPwd"_s);
        // Magnetic stripe cards: nothing of the reader applies.
        const bool allOff = !dev->isEnabled() && !name->isEnabled() && !port->isEnabled();
        d->findChild<QRadioButton *>(u"Op_0"_s)->setChecked(true);
        const bool serial = port->isEnabled() && !name->isEnabled() && !spin->isEnabled();
        dev->setCurrentIndex(1);
        const bool pcsc = !port->isEnabled() && name->isEnabled() && spin->isEnabled();
        read->setCurrentIndex(uidOnly ? 1 : 0);
        const bool uidState = spin->isEnabled() != uidOnly && pwd->isEnabled() != uidOnly;
        checked = allOff && serial && pcsc && uidState;
        name->setEditText(u" ACS ACR122U "_s);
        spin->setValue(block);
        pwd->setText(key);
        d->findChild<QPushButton *>(u"cmdSave"_s)->click();
        if (d->isVisible())
            d->findChild<QPushButton *>(u"cmdClose"_s)->click();
    });
    main->findChild<QToolButton *>(u"Imgsz_4"_s)->click();
    QVERIFY(checked);
    QCOMPARE(h.unexpectedModals(), 0);
    QCOMPARE(h.lastText(), message);
    QCOMPARE(QStringList({GetSysInfo(u"icdev"_s), GetSysInfo(u"icname"_s), GetSysInfo(u"icuid"_s),
                          GetSysInfo(u"icblock"_s), GetSysInfo(u"icpwd"_s)}),
             stored);
}

QTEST_MAIN(TstPcsc)
#include "tst_pcsc.moc"
