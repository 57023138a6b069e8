// Reading spreadsheets for the imports: CSV in its encodings and quoting,
// .xlsx written by libxlsxwriter, .xls written by xlwt, the cell readers,
// and files that are no list at all.

#include "importplan.h"
#include "sheetfile.h"

#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <xlsxwriter.h>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;

namespace
{

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write the fixture");
    return path;
}

QByteArray gbk(const QString &text)
{
    QStringEncoder e("GB18030");
    return e.encode(text);
}

const QString kMembersCsv = u"会员卡号,姓名,余额（元）,备注\r\n"
                            u"100000000001,李雷,110.2549,\"说\"\"你好\"\"，再见\"\r\n"
                            u"100000000002,韩梅梅,0,\"两行\n备注\"\r\n"
                            u"\r\n"
                            u",,,\r\n"
                            u"100000000003,王芳\r\n"_s;

} // namespace

class TstSheetFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void csvEncodings_data();
    void csvEncodings();
    void csvShapes_data();
    void csvShapes();
    void xlsxFile();
    void xlsFile();
    void hostileFiles_data();
    void hostileFiles();
    void refused_data();
    void refused();
    void numberText_data();
    void numberText();
    void amountCell_data();
    void amountCell();
    void dateCell_data();
    void dateCell();
};

void TstSheetFile::csvEncodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("detected");
    const QByteArray utf8 = kMembersCsv.toUtf8();
    QStringEncoder utf16(QStringConverter::Utf16LE);
    const QByteArray tabbed =
        "\xFF\xFE" + QByteArray(utf16.encode(QString(kMembersCsv).replace(u',', u'\t')));
    QTest::newRow("UTF-8 with a byte-order mark")
        << "\xEF\xBB\xBF" + utf8 << int(TextEncoding::Auto) << int(TextEncoding::Utf8);
    QTest::newRow("UTF-8") << utf8 << int(TextEncoding::Auto) << int(TextEncoding::Utf8);
    QTest::newRow("GBK, as Chinese spreadsheets write")
        << gbk(kMembersCsv) << int(TextEncoding::Auto) << int(TextEncoding::Gb18030);
    QTest::newRow("GBK, chosen") << gbk(kMembersCsv) << int(TextEncoding::Gb18030)
                                 << int(TextEncoding::Gb18030);
    QTest::newRow("UTF-16, tab-separated (Unicode text)")
        << tabbed << int(TextEncoding::Auto) << int(TextEncoding::Utf16);
}

void TstSheetFile::csvEncodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, chosen);
    QFETCH(int, detected);
    QTemporaryDir dir;
    const Sheet sheet = readSheet(write(dir, u"members.csv"_s, bytes), TextEncoding(chosen));
    QCOMPARE(int(sheet.kind), int(SheetKind::Csv));
    QCOMPARE(int(sheet.encoding), detected);
    QCOMPARE(sheet.headings, QStringList({u"会员卡号"_s, u"姓名"_s, u"余额（元）"_s, u"备注"_s}));
    QCOMPARE(sheet.rows.size(), 3); // blank rows left out
    QCOMPARE(sheet.rows[0],
             QStringList({u"100000000001"_s, u"李雷"_s, u"110.2549"_s, u"说\"你好\"，再见"_s}));
    QCOMPARE(sheet.rows[1][3], u"两行\n备注"_s);
    QCOMPARE(sheet.rows[2], QStringList({u"100000000003"_s, u"王芳"_s, QString(), QString()}));
    QCOMPARE(sheet.lineNumbers, QList<int>({2, 3, 7})); // the quoted line break counts
}

void TstSheetFile::csvShapes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("headings");
    QTest::addColumn<QStringList>("lastRow");
    QTest::newRow("semicolons") << QByteArray("a;b;c\n1;2,5;3\n")
                                << QStringList{u"a"_s, u"b"_s, u"c"_s}
                                << QStringList{u"1"_s, u"2,5"_s, u"3"_s};
    QTest::newRow("no line end at the end, blanks around")
        << QByteArray(" a , b \n 1 , 2 ") << QStringList{u"a"_s, u"b"_s}
        << QStringList{u"1"_s, u"2"_s};
    QTest::newRow("a row wider than the headings")
        << QByteArray("a,b\n1,2,3,4\n") << QStringList{u"a"_s, u"b"_s}
        << QStringList{u"1"_s, u"2"_s};
    QTest::newRow("an empty heading is named")
        << QByteArray("a,,c\n1,2,3\n") << QStringList{u"a"_s, u"第2列"_s, u"c"_s}
        << QStringList{u"1"_s, u"2"_s, u"3"_s};
    QTest::newRow("blank lines above the headings")
        << QByteArray("\n,,\r\nx,y\r\n1,2\r\n") << QStringList{u"x"_s, u"y"_s}
        << QStringList{u"1"_s, u"2"_s};
    QTest::newRow("semicolons under a blank line")
        << QByteArray("\r\n;\r\na;b\r\n1;2\r\n") << QStringList{u"a"_s, u"b"_s}
        << QStringList{u"1"_s, u"2"_s};
    QTest::newRow("an unclosed quote runs to the end")
        << QByteArray("a,b\n1,\"2\n3") << QStringList{u"a"_s, u"b"_s}
        << QStringList{u"1"_s, u"2\n3"_s};
}

void TstSheetFile::csvShapes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, headings);
    QFETCH(QStringList, lastRow);
    QTemporaryDir dir;
    const Sheet sheet = readSheet(write(dir, u"x.csv"_s, bytes));
    QCOMPARE(sheet.headings, headings);
    QVERIFY(!sheet.rows.isEmpty());
    QCOMPARE(sheet.rows.last(), lastRow);
}

// Strings, numbers, dates and date-times, a gap, a second sheet that is not
// read, and a card number kept as a number.
void TstSheetFile::xlsxFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"goods.xlsx"_s);
    lxw_workbook *book = workbook_new(path.toUtf8().constData());
    lxw_worksheet *sheet = workbook_add_worksheet(book, "商品");
    lxw_format *day = workbook_add_format(book);
    format_set_num_format(day, "yyyy\"年\"m\"月\"d\"日\"");
    lxw_format *stamp = workbook_add_format(book);
    format_set_num_format(stamp, "yyyy-mm-dd hh:mm:ss");
    const char *headings[] = {"条码", "名称", "售价", "入库日期", "更新时间"};
    for (int c = 0; c < 5; ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), headings[c], nullptr);
    worksheet_write_number(sheet, 1, 0, 6901234567892.0, nullptr);
    worksheet_write_string(sheet, 1, 1, "矿泉水 550ml", nullptr);
    worksheet_write_number(sheet, 1, 2, 1.5, nullptr);
    lxw_datetime d{2024, 3, 5, 0, 0, 0};
    worksheet_write_datetime(sheet, 1, 3, &d, day);
    lxw_datetime t{2024, 3, 5, 14, 30, 15};
    worksheet_write_datetime(sheet, 1, 4, &t, stamp);
    worksheet_write_string(sheet, 2, 0, "A-002", nullptr);
    worksheet_write_number(sheet, 2, 2, 0.1 + 0.2, nullptr); // a gap in column B
    lxw_worksheet *other = workbook_add_worksheet(book, "其它");
    worksheet_write_string(other, 0, 0, "不读", nullptr);
    QCOMPARE(workbook_close(book), LXW_NO_ERROR);

    const Sheet s = readSheet(path);
    QCOMPARE(int(s.kind), int(SheetKind::Xlsx));
    QCOMPARE(s.headings,
             QStringList({u"条码"_s, u"名称"_s, u"售价"_s, u"入库日期"_s, u"更新时间"_s}));
    QCOMPARE(s.rows.size(), 2);
    QCOMPARE(s.rows[0], QStringList({u"6901234567892"_s, u"矿泉水 550ml"_s, u"1.5"_s,
                                     u"2024-03-05"_s, u"2024-03-05 14:30:15"_s}));
    QCOMPARE(s.rows[1], QStringList({u"A-002"_s, QString(), u"0.3"_s, QString(), QString()}));
    QCOMPARE(s.lineNumbers, QList<int>({2, 3}));
}

void TstSheetFile::xlsFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"members.xls"_s);
    const QString script = uR"(
import sys, datetime, xlwt
book = xlwt.Workbook(encoding='utf-8')
s = book.add_sheet('会员')
for c, h in enumerate(['卡号', '姓名', '余额', '生日']):
    s.write(0, c, h)
s.write(1, 0, '000000000123')
s.write(1, 1, '李雷')
s.write(1, 2, 110.25)
s.write(1, 3, datetime.date(1990, 7, 1), xlwt.easyxf(num_format_str='yyyy-mm-dd'))
s.write(2, 0, 100000000002)
s.write(2, 1, '韩梅梅')
s.write(2, 2, 5)
book.save(sys.argv[1])
)"_s;
    QProcess python;
    python.start(u"/usr/bin/python3"_s, {u"-c"_s, script, path});
    QVERIFY(python.waitForFinished(30000));
    if (python.exitCode() != 0 && python.readAllStandardError().contains("No module named")) {
        if (qEnvironmentVariableIsSet("LANTING_REQUIRE_PG")) // the test command installs it
            QFAIL("python3-xlwt is not installed");
        QSKIP("python3-xlwt is not installed");
    }
    QCOMPARE(python.exitCode(), 0);

    const Sheet s = readSheet(path);
    QCOMPARE(int(s.kind), int(SheetKind::Xls));
    QCOMPARE(s.headings, QStringList({u"卡号"_s, u"姓名"_s, u"余额"_s, u"生日"_s}));
    QCOMPARE(s.rows.size(), 2);
    QCOMPARE(s.rows[0], QStringList({u"000000000123"_s, u"李雷"_s, u"110.25"_s, u"1990-07-01"_s}));
    QCOMPARE(s.rows[1], QStringList({u"100000000002"_s, u"韩梅梅"_s, u"5"_s, QString()}));
}

// Workbooks made by hand the way a damaged or hostile file would be: an
// odd style number and a formatted empty cell far out are read past; a cut
// shared-string table, an entry claiming 2 GB and an .xls claiming 65 535
// columns end with a message (or the data), never a crash or a hang.
void TstSheetFile::hostileFiles_data()
{
    QTest::addColumn<QString>("make");    // what the python script builds
    QTest::addColumn<QString>("outcome"); // the first row's first cell, or the message
    QTest::newRow("style -1, empty cell at ALM1") << u"oddcells"_s << u"=李雷"_s;
    QTest::newRow("shared strings cut short") << u"cutstrings"_s << u"文件已损坏"_s;
    QTest::newRow("an entry claiming 2 GB") << u"bomb"_s << u"太大"_s;
    QTest::newRow("xls claiming 65535 columns") << u"widexls"_s << u"=李雷"_s;
}

void TstSheetFile::hostileFiles()
{
    QFETCH(QString, make);
    QFETCH(QString, outcome);
    QTemporaryDir dir;
    const QString path = dir.filePath(make == u"widexls" ? u"x.xls"_s : u"x.xlsx"_s);
    QProcess python;
    python.start(u"/usr/bin/python3"_s, {QStringLiteral(HOSTILE_SHEETS), make, path});
    QVERIFY(python.waitForFinished(30000));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    try {
        const Sheet s = readSheet(path);
        QVERIFY2(outcome.startsWith(u'='), qPrintable(u"read, expected: "_s + outcome));
        QCOMPARE(s.headings.first(), u"姓名"_s);
        QCOMPARE(s.rows.first().first(), outcome.mid(1));
    } catch (const SheetError &e) {
        QVERIFY2(e.message().contains(outcome), qPrintable(e.message()));
    }
}

void TstSheetFile::refused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QString>("message");
    const int automatic = int(TextEncoding::Auto);
    QTest::newRow("empty file") << QByteArray() << automatic << u"文件是空的"_s;
    QTest::newRow("only blank lines")
        << QByteArray("\r\n , ,\r\n\n") << automatic << u"文件是空的"_s;
    QTest::newRow("a picture") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << automatic
                               << u"不是CSV、XLS或XLSX格式的表格"_s;
    QTest::newRow("binary") << QByteArray("abc\0\x01\x02\x03 def", 11) << automatic
                            << u"不是CSV、XLS或XLSX格式的表格"_s;
    QTest::newRow("a zip that is no workbook") << QByteArray("PK\x03\x04 this is no zip at all", 28)
                                               << automatic << u"不是CSV、XLS或XLSX格式的表格"_s;
    QTest::newRow("a broken xls") << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 broken", 15)
                                  << automatic << u"无法读取此XLS文件"_s;
    QTest::newRow("10 000 columns")
        << (QByteArray("a") + QByteArray(",b").repeated(9999) + "\n1,2\n") << automatic
        << u"超过了1000列的上限"_s;
    QTest::newRow("a 10 MB cell") << (QByteArray("a,b\n1,\"") + QByteArray(10 << 20, 'x') + "\"\n")
                                  << automatic << u"超过32767个字符"_s;
    QTest::newRow("GBK read as UTF-8")
        << gbk(u"卡号,姓名\n1,李雷\n"_s) << int(TextEncoding::Utf8) << u"不是UTF-8编码"_s;
}

void TstSheetFile::refused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = write(dir, u"bad.csv"_s, bytes);
    try {
        readSheet(path, TextEncoding(encoding));
        QFAIL("the file was read");
    } catch (const SheetError &e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        QVERIFY(!e.cancelled());
    }
}

void TstSheetFile::numberText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("card number") << 100000000001.0 << u"100000000001"_s;
    QTest::newRow("binary noise") << 0.1 + 0.2 << u"0.3"_s;
    QTest::newRow("money") << 110.2549 << u"110.2549"_s;
    QTest::newRow("negative") << -12.5 << u"-12.5"_s;
    QTest::newRow("small") << 0.000125 << u"0.000125"_s;
    QTest::newRow("18 digits, as a spreadsheet keeps them")
        << 410102199001011234.0 << u"410102199001011000"_s;
}

void TstSheetFile::numberText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(sheetNumberText(value), text);
}

void TstSheetFile::amountCell_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("amount"); // empty: unreadable
    QTest::newRow("plain") << u"110.2549"_s << u"110.2549"_s;
    QTest::newRow("separators and currency") << u"¥1,234.50"_s << u"1234.5"_s;
    QTest::newRow("yuan after") << u"12元"_s << u"12"_s;
    QTest::newRow("full-width") << u"１２．５"_s << u"12.5"_s;
    QTest::newRow("no leading digit") << u".5"_s << u"0.5"_s;
    QTest::newRow("negative") << u"-3"_s << u"-3"_s;
    QTest::newRow("five decimals") << u"1.23456"_s << QString();
    QTest::newRow("letters") << u"12abc"_s << QString();
    QTest::newRow("exponent") << u"1e5"_s << QString();
    QTest::newRow("two points") << u"1.2.3"_s << QString();
}

void TstSheetFile::amountCell()
{
    QFETCH(QString, text);
    QFETCH(QString, amount);
    const Amount a = readAmountCell(text);
    QCOMPARE(a.isValid(), !amount.isEmpty());
    if (a.isValid())
        QCOMPARE(a.toString(), amount);
}

void TstSheetFile::dateCell_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("when"); // invalid: unreadable
    const QDateTime day(QDate(2024, 3, 5), QTime(0, 0));
    QTest::newRow("dashes") << u"2024-03-05"_s << day;
    QTest::newRow("slashes, short") << u"2024/3/5"_s << day;
    QTest::newRow("dots") << u"2024.3.5"_s << day;
    QTest::newRow("digits") << u"20240305"_s << day;
    QTest::newRow("Chinese") << u"2024年3月5日"_s << day;
    QTest::newRow("with a time") << u"2024-03-05 14:30"_s
                                 << QDateTime(QDate(2024, 3, 5), QTime(14, 30));
    QTest::newRow("31 February") << u"2024-02-31"_s << QDateTime();
    QTest::newRow("day first") << u"05/03/2024"_s << QDateTime();
    QTest::newRow("words") << u"明年"_s << QDateTime();
}

void TstSheetFile::dateCell()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, when);
    QCOMPARE(readDateCell(text), when);
}

QTEST_GUILESS_MAIN(TstSheetFile)
#include "tst_sheetfile.moc"
