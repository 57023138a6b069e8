// Receipts: the composed text, the refusals, and real printing through a
// CUPS queue that writes PDF files.

#include "appstate.h"
#include "harness.h"
#include "printcapture.h"
#include "receipt.h"
#include "receiptprinter.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::sales;
using test::Harness;

namespace
{

const QString kBody = u"会员姓名：张三\r\n实收金额：100元\r\n卡内最新余额：120元\r\n"_s;

} // namespace

class TstReceipt : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compose_data();
    void compose();
    void refusals_data();
    void refusals();
    void printsThroughCups_data();
    void printsThroughCups();
    void lengthFollowsContent();
};

void TstReceipt::compose_data()
{
    const QString sep = u"----------------------------"_s;
    const QString when = u"2026-12-10 08:09:10"_s;
    QTest::addColumn<QStringList>("frame"); // bt1, bt2, jz1, jz2
    QTest::addColumn<QString>("expected");
    QTest::newRow("everything") << QStringList{u"岚汀店"_s, u"会员小票"_s, u"谢谢惠顾"_s,
                                               u"欢迎再来"_s}
                                << u"岚汀店\r\n会员小票\r\n"_s + sep + u"\r\n"_s + kBody + sep +
                                       u"\r\n"_s + when + u"\r\n谢谢惠顾\r\n欢迎再来\r\n\r\n\r\n"_s;
    QTest::newRow("nothing") << QStringList{QString(), QString(), QString(), QString()}
                             << sep + u"\r\n"_s + kBody + sep + u"\r\n"_s + when +
                                    u"\r\n\r\n\r\n\r\n"_s;
    QTest::newRow("second title, second footer")
        << QStringList{QString(), u"会员小票"_s, QString(), u"欢迎再来"_s}
        << u"会员小票\r\n"_s + sep + u"\r\n"_s + kBody + sep + u"\r\n"_s + when +
               u"\r\n\r\n欢迎再来\r\n\r\n\r\n"_s;
    QTest::newRow("first title, first footer")
        << QStringList{u"岚汀店"_s, QString(), u"谢谢惠顾"_s, QString()}
        << u"岚汀店\r\n"_s + sep + u"\r\n"_s + kBody + sep + u"\r\n"_s + when +
               u"\r\n谢谢惠顾\r\n\r\n\r\n"_s;
}

void TstReceipt::compose()
{
    QFETCH(QStringList, frame);
    QFETCH(QString, expected);
    const ReceiptFrame f{frame[0], frame[1], frame[2], frame[3]};
    QCOMPARE(composeReceipt(kBody, f, QDateTime(QDate(2026, 12, 10), QTime(8, 9, 10))), expected);
}

void TstReceipt::refusals_data()
{
    QTest::addColumn<QString>("printer");
    QTest::addColumn<QString>("message");
    QTest::newRow("none chosen") << QString()
                                 << u"您还没有设置小票打印机，请先在系统设置中设置小票打印机！"_s;
    QTest::newRow("not installed")
        << u"已经拆掉的打印机"_s << u"系统设置选择的打印机不存在，无法打印小票！"_s;
}

void TstReceipt::refusals()
{
    QFETCH(QString, printer);
    QFETCH(QString, message);
    Harness h;
    state().printer = printer;
    state().copies = 1;
    PrintReceipt(kBody);
    QCOMPARE(h.messages().size(), 1);
    QCOMPARE(h.messages().first().caption, u"提示"_s);
    QCOMPARE(h.messages().first().icon, MsgIcon::Warning);
    QCOMPARE(h.lastText(), message);
}

void TstReceipt::printsThroughCups_data()
{
    QTest::addColumn<int>("copies");
    QTest::newRow("two copies") << 2;
    QTest::newRow("no copies") << 0;
}

void TstReceipt::printsThroughCups()
{
    QFETCH(int, copies);
    LT_USE_PRINT_QUEUE();
    test::PrintCapture device;
    QVERIFY(device.listen());

    Harness h;
    state().printer = queue;
    state().copies = copies;
    state().bt1 = u"岚汀会员店"_s;
    state().jz1 = u"谢谢惠顾"_s;
    PrintReceipt(kBody);
    QVERIFY(h.messages().isEmpty());
    if (copies == 0) {
        QTest::qWait(1500);
        QCOMPARE(device.jobs().size(), 0);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(device.finished(), copies, 60000);
    QTest::qWait(500); // a further copy would have arrived by now
    QCOMPARE(device.jobs().size(), copies);
    for (const QByteArray &job : device.jobs()) {
        QVERIFY(job.startsWith("%PDF"));
        // The shop's title centred on the roll; the body from the left edge.
        const QStringList laid = test::PrintCapture::pdfLayoutText(job).split(u'\n');
        const auto lineWith = [&](const QString &t) {
            for (const QString &l : laid)
                if (l.contains(t))
                    return l;
            return QString();
        };
        const QString title = lineWith(u"岚汀会员店"_s);
        QVERIFY2(title.startsWith(u"    "_s), qPrintable(title));
        QVERIFY2(!lineWith(u"会员姓名"_s).startsWith(u' '), qPrintable(lineWith(u"会员姓名"_s)));
        const QString text = test::PrintCapture::pdfText(job);
        QVERIFY2(text.contains(u"岚汀会员店"_s), qPrintable(text));
        QVERIFY(text.contains(u"会员姓名：张三"_s));
        QVERIFY(text.contains(u"卡内最新余额：120元"_s));
        QVERIFY(text.contains(u"谢谢惠顾"_s));
        QVERIFY(text.contains(u"--------------------"_s));
    }
}

void TstReceipt::lengthFollowsContent()
{
    // A receipt is as long as its lines, on a roll of its width; so is the
    // handover slip.
    LT_USE_PRINT_QUEUE();
    test::PrintCapture device;
    QVERIFY(device.listen());
    Harness h;
    state().printer = queue;
    state().copies = 1;
    state().bt1 = u"岚汀会员店"_s;
    PrintReceipt(kBody);
    QString longBody;
    for (int i = 0; i < 60; ++i)
        longBody += u"商品%1  1 × 2.5元\r\n"_s.arg(i);
    PrintReceipt(longBody);
    QVERIFY(PrintSlip(u"交班统计"_s, {u"操作员：admin"_s, u"应交现金：112.99元"_s}));
    QTRY_COMPARE_WITH_TIMEOUT(device.finished(), 3, 60000);
    QVERIFY(h.messages().isEmpty());
    const QSizeF shortOne = test::PrintCapture::pdfPageSize(device.jobs().at(0));
    const QSizeF longOne = test::PrintCapture::pdfPageSize(device.jobs().at(1));
    const QSizeF slip = test::PrintCapture::pdfPageSize(device.jobs().at(2));
    QVERIFY2(qAbs(shortOne.width() - 201) < 1, qPrintable(QString::number(shortOne.width())));
    QVERIFY2(shortOne.height() < 250, qPrintable(QString::number(shortOne.height())));
    QVERIFY2(longOne.height() > shortOne.height() + 500,
             qPrintable(QString::number(longOne.height())));
    QVERIFY(slip.height() < shortOne.height());
    const QString text = test::PrintCapture::pdfText(device.jobs().at(1));
    QVERIFY2(text.contains(u"商品59"_s), qPrintable(text)); // nothing cut off at the end
}

QTEST_MAIN(TstReceipt)
#include "tst_receipt.moc"
