// ESC/POS receipt printers: the bytes of a receipt read back into text and
// commands, sent to a network printer (a loopback listener) and to a device
// file (a pseudo-terminal), the drawer opened through the printer, and a
// printer that is not there told without holding up the till.

#include "appstate.h"
#include "cashdrawer.h"
#include "customerdisplay.h"
#include "database.h"
#include "escpos.h"
#include "frmmain.h"
#include "harness.h"
#include "ptydevice.h"
#include "receiptprinter.h"
#include "salewindows.h"
#include "ui.h"

#include <QAbstractButton>
#include <QStringDecoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTreeView>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::devices;
using test::Harness;

namespace
{

// What a printer makes of the bytes: its lines of text (centred ones marked
// with a leading "^") and the commands it met, by name.
struct Printout {
    QStringList lines;
    QStringList commands;
};

Printout decode(const QByteArray &bytes)
{
    Printout p;
    QStringDecoder gb18030("GB18030");
    bool centre = false;
    QByteArray text;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == 0x1B && i + 1 < bytes.size()) {
            const char op = bytes[i + 1];
            if (op == '@') {
                p.commands << u"reset"_s;
                i += 1;
            } else if (op == 'a') {
                centre = bytes.at(i + 2) == 1;
                p.commands << (centre ? u"centre"_s : u"left"_s);
                i += 2;
            } else if (op == 'd') {
                p.commands << u"feed %1"_s.arg(int(bytes.at(i + 2)));
                i += 2;
            } else if (op == 'p') {
                p.commands << u"drawer"_s;
                i += 5;
            }
        } else if (c == 0x1C && i + 1 < bytes.size() && bytes[i + 1] == '&') {
            p.commands << u"chinese"_s;
            i += 1;
        } else if (c == 0x1D && i + 2 < bytes.size() && bytes[i + 1] == 'V') {
            p.commands << u"cut"_s;
            i += 2;
        } else if (c == '\n') {
            p.lines << (centre ? u"^"_s : QString()) + QString(gb18030.decode(text));
            text.clear();
        } else {
            text += c;
        }
    }
    return p;
}

// A network printer on loopback that keeps what it is sent.
class NetworkPrinter : public QObject
{
public:
    NetworkPrinter()
    {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, this, [this, s] { received += s->readAll(); });
        });
    }
    QString address() const { return u"127.0.0.1:%1"_s.arg(server.serverPort()); }
    QTcpServer server;
    QByteArray received;
};

} // namespace

class TstEscpos : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void targets_data();
    void targets();
    void document_data();
    void document();
    void receiptToNetworkPrinter();
    void receiptToDeviceFile();
    void printerNotThere();
    void customerDisplay();
};

void TstEscpos::targets_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("where"); // host:port or path
    QTest::newRow("empty") << u"  "_s << int(EscposTarget::None) << QString();
    QTest::newRow("address") << u"192.168.1.50"_s << int(EscposTarget::Tcp)
                             << u"192.168.1.50:9100"_s;
    QTest::newRow("address and port")
        << u" 192.168.1.50:9101 "_s << int(EscposTarget::Tcp) << u"192.168.1.50:9101"_s;
    QTest::newRow("tcp url") << u"tcp://printer.shop:9100"_s << int(EscposTarget::Tcp)
                             << u"printer.shop:9100"_s;
    QTest::newRow("device") << u"/dev/usb/lp0"_s << int(EscposTarget::File) << u"/dev/usb/lp0"_s;
    QTest::newRow("queue") << u"cups:XP58"_s << int(EscposTarget::Queue) << u"XP58"_s;
    QTest::newRow("queue by name") << u"XP58"_s << int(EscposTarget::Queue) << u"XP58"_s;
}

void TstEscpos::targets()
{
    QFETCH(QString, address);
    QFETCH(int, kind);
    QFETCH(QString, where);
    const EscposTarget t = escposTarget(address);
    QCOMPARE(int(t.kind), kind);
    if (t.kind == EscposTarget::Tcp)
        QCOMPARE(u"%1:%2"_s.arg(t.host).arg(t.port), where);
    else if (t.kind != EscposTarget::None)
        QCOMPARE(t.path, where);
}

void TstEscpos::document_data()
{
    QTest::addColumn<int>("paper");
    QTest::addColumn<QStringList>("expected");
    const QString twenty = QString(20, u'长');
    // 58 mm: 32 columns, sixteen wide characters a line.
    QTest::newRow("58 mm") << 58
                           << QStringList{u"^岚汀会员店"_s, u"商品 x 2  5元"_s, QString(16, u'长'),
                                          QString(4, u'长'), u"ABC"_s};
    QTest::newRow("80 mm") << 80
                           << QStringList{u"^岚汀会员店"_s, u"商品 x 2  5元"_s, twenty, u"ABC"_s};
}

void TstEscpos::document()
{
    QFETCH(int, paper);
    QFETCH(QStringList, expected);
    const QByteArray bytes =
        escposDocument({u"岚汀会员店"_s, u"商品 x 2  5元"_s, QString(20, u'长'), u"ABC"_s},
                       {true, false, false, false}, paperColumns(paper));
    const Printout p = decode(bytes);
    QCOMPARE(p.lines, expected);
    QCOMPARE(p.commands, (QStringList{u"reset"_s, u"chinese"_s, u"centre"_s, u"left"_s, u"feed 4"_s,
                                      u"cut"_s}));
    QCOMPARE(printWidth(u"长A"_s), 3);
    QCOMPARE(printWidth(u"𠀀"_s), 2); // outside the Basic Multilingual Plane
}

void TstEscpos::receiptToNetworkPrinter()
{
    Harness h;
    NetworkPrinter printer;
    QVERIFY(printer.server.isListening());
    state().escposPrinter = true;
    state().escposAddress = printer.address();
    state().paperMm = 58;
    state().copies = 2;
    state().bt1 = u"岚汀会员店"_s;
    state().jz1 = u"谢谢惠顾"_s;
    sales::PrintReceipt(u"会员姓名：张三\r\n实收金额：100元\r\n"_s);
    QTRY_VERIFY_WITH_TIMEOUT(decode(printer.received).commands.count(u"cut"_s) == 2, 10000);
    QVERIFY(h.messages().isEmpty());
    const Printout p = decode(printer.received);
    QCOMPARE(p.lines.count(u"^岚汀会员店"_s), 2); // two copies, the title centred
    QVERIFY(p.lines.contains(u"会员姓名：张三"_s));
    QVERIFY(p.lines.contains(u"^谢谢惠顾"_s));

    // The drawer wired to the printer opens through it.
    printer.received.clear();
    state().drawerPort = u"打印机"_s;
    QVERIFY(OpenQx());
    QTRY_COMPARE_WITH_TIMEOUT(printer.received, drawerCommand(), 10000);
}

void TstEscpos::receiptToDeviceFile()
{
    Harness h;
    test::Pty device;
    QVERIFY(device.isOpen());
    state().escposPrinter = true;
    state().escposAddress = device.slavePath();
    state().paperMm = 80;
    state().copies = 1;
    QVERIFY(sales::PrintSlip(u"交班统计"_s, {u"操作员：admin"_s, u"应交现金：112.99元"_s}));
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT((got += device.read(50)).contains("\x1DV"), 10000);
    const Printout p = decode(got);
    QCOMPARE(p.lines.mid(0, 3),
             (QStringList{u"^交班统计"_s, u"操作员：admin"_s, u"应交现金：112.99元"_s}));
}

void TstEscpos::printerNotThere()
{
    // Nothing listens on the port, and no such device: told in the status
    // bar, never as a message box the cashier has to close.
    Harness h;
    QStringList told;
    ui::setTeller([&](const QString &line) { told << line; });
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    state().escposPrinter = true;
    state().copies = 1;
    state().escposAddress = u"127.0.0.1:%1"_s.arg(port);
    sales::PrintReceipt(u"实收金额：100元\r\n"_s);
    state().escposAddress = u"/nonexistent/lp0"_s;
    sales::PrintReceipt(u"实收金额：100元\r\n"_s);
    QTRY_COMPARE_WITH_TIMEOUT(told.size(), 2, 10000);
    for (const QString &line : told)
        QVERIFY2(line.startsWith(u"小票没有打印："_s), qPrintable(line));
    QVERIFY(h.messages().isEmpty());
    // A drawer on a printer that is not there says so too.
    QStringList problems;
    setProblemSink([&](const QString &what) { problems << what; });
    state().drawerPort = u"打印机"_s;
    QVERIFY(OpenQx());
    QTRY_COMPARE_WITH_TIMEOUT(problems.size(), 1, 10000);
    QVERIFY(problems.first().startsWith(u"钱箱没有打开："_s));
    setProblemSink({});
    ui::setTeller({});
}

void TstEscpos::customerDisplay()
{
    // A pole display on a serial line: the welcome at login, the basket's
    // total as goods are added, the welcome again when the sale is given up.
    test::Pty display;
    QVERIFY(display.isOpen());
    Harness h;
    QVERIFY(h.openDatabase());
    Sql(u"UPDATE sysinfo SET keyvalue = ? WHERE infokey = 'xsdk'"_s)
        .bind(display.slavePath())
        .exec();
    Sql(u"INSERT INTO mber (id, name, st) VALUES ('100000000001', '张三', 0)"_s).exec();
    Sql(u"INSERT INTO sp (spid, name, sj, zt, kc) VALUES ('G1', '可乐', ?, 1, ?)"_s)
        .bind(Amount::fromDecimalText(u"2.5"_s))
        .bind(Amount(100))
        .exec();
    Database::close();
    QVERIFY(h.startProgram()); // the settings read as the program starts
    FrmMain *main = h.login();
    QVERIFY(main);
    QStringDecoder gb18030("GB18030");
    // The two lines last shown: reset and clear, the first line, the cursor
    // to line two, the second.
    const auto shown = [&] {
        QByteArray got;
        for (int i = 0; i < 100 && got.isEmpty(); ++i)
            got += display.read(50);
        got += display.read(100);
        const qsizetype start = got.lastIndexOf("\x1B\x40\x0C");
        if (start < 0)
            return QStringList{u"?"_s + QString::fromLatin1(got.toHex())};
        const QList<QByteArray> parts = got.mid(start + 3).split('\x1F');
        return QStringList{QString(gb18030.decode(parts.value(0))),
                           QString(gb18030.decode(parts.value(1).mid(3)))};
    };
    const QString blank(20, u' ');
    QCOMPARE(shown(), (QStringList{u"欢迎光临"_s + QString(12, u' '), blank}));
    main->ShowMber(u"100000000001"_s);
    h.onModal([&](QDialog *d) {
        qobject_cast<sales::FrmSpxf *>(d)->AddSp(u"G1"_s, Amount(2));
        QCOMPARE(shown(), (QStringList{u"合计"_s + QString(15, u' ') + u"5"_s, blank}));
        d->findChild<QTreeView *>(u"lvSp"_s)->model()->removeRows(0, 1);
        d->reject();
    });
    main->findChild<QAbstractButton *>(u"dcButton11"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
    QCOMPARE(shown(), (QStringList{u"欢迎光临"_s + QString(12, u' '), blank}));
    QCOMPARE(displayLine(u"找零"_s, u"13.05"_s), u"找零           13.05"_s);
    QCOMPARE(printWidth(displayLine(u"合计"_s, u"36.95"_s)), kDisplayColumns);
}

QTEST_MAIN(TstEscpos)
#include "tst_escpos.moc"
