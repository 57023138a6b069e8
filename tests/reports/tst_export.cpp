// The report export: the workbook written from the template (read back by
// an independent reader), the save dialog and its rules, printing.

#include "appstate.h"
#include "database.h"
#include "exportreport.h"
#include "frmmain.h"
#include "harness.h"
#include "printcapture.h"
#include "reportmodel.h"
#include "xlsbook.h"
#include "xlsxexport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using namespace lanting;
using namespace lanting::reports;
using test::Harness;

namespace
{

// What xlrd reads in a workbook; an empty object when it cannot.
QJsonObject readBack(const QString &path)
{
    QProcess p;
    p.start(u"/usr/bin/python3"_s, {QStringLiteral(LT_SOURCE_DIR "/xlscells.py"), path});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        qWarning("%s", p.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

bool xlrdAvailable()
{
    QProcess p;
    p.start(u"/usr/bin/python3"_s, {u"-c"_s, u"import xlrd"_s});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

#define LT_NEED_XLRD()                                                                             \
    if (!xlrdAvailable()) {                                                                        \
        if (qEnvironmentVariableIsSet("LANTING_REQUIRE_PG"))                                       \
            QFAIL("python3-xlrd is not installed");                                                \
        QSKIP("python3-xlrd is not installed");                                                    \
    }

QString write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return path;
}

QString cell(const QJsonObject &book, int row, int column)
{
    return book[u"cells"_s].toObject()[u"%1,%2"_s.arg(row).arg(column)].toString();
}

int cellCount(const QJsonObject &book)
{
    return book[u"cells"_s].toObject().size();
}

void storeGoods(int n)
{
    for (int i = 1; i <= n; ++i)
        Sql(A(u"INSERT INTO sp (spid, name, lb, dw, jj, sj, jf, zt, kc) VALUES (?, ?, '饮料', '瓶', {1}, {2.5}, 0, ?, {10})"_s))
            .bind(u"A%1"_s.arg(i))
            .bind(u"可乐%1"_s.arg(i))
            .bind(true)
            .exec();
}

// Opens the goods window, lists every goods, and presses "导出为E&xcel".
void exportGoods(Harness &h, FrmMain *main, const std::function<void(QFileDialog *)> &save)
{
    main->findChild<QPushButton *>(u"cmdSysz"_s)->click();
    h.onModal([&](QDialog *d) {
        auto *lb = d->findChild<QListWidget *>(u"Lb"_s);
        lb->setCurrentRow(0);
        Q_EMIT lb->itemClicked(lb->item(0));
        if (save)
            h.onModal([&](QDialog *f) {
                auto *dlg = qobject_cast<QFileDialog *>(f);
                QVERIFY(dlg);
                QCOMPARE(dlg->windowTitle(), u"导出为Excel文档"_s);
                save(dlg);
            });
        d->findChild<QPushButton *>(u"cmdExcel"_s)->click();
        d->findChild<QPushButton *>(u"cmdClose"_s)->click();
    });
    main->findChild<QToolButton *>(u"Imgsz_0"_s)->click();
}

void saveAs(QFileDialog *dlg, const QString &path)
{
    dlg->selectFile(path);
    static_cast<QDialog *>(dlg)->accept();
}

// The rows of a CSV file as Python's csv module reads them (the byte-order
// mark taken by its "utf-8-sig" reading), one JSON list a row.
QList<QStringList> csvRows(const QString &path)
{
    QProcess p;
    p.start(u"/usr/bin/python3"_s,
            {u"-c"_s,
             u"import csv, json, sys\n"
             u"with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
             u"    for row in csv.reader(f):\n"
             u"        print(json.dumps(row))\n"_s,
             path});
    QList<QStringList> rows;
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return rows;
    for (const QByteArray &l : p.readAllStandardOutput().split('\n'))
        if (!l.isEmpty())
            rows << QJsonDocument::fromJson(l).toVariant().toStringList();
    return rows;
}

// The sheets of an .xlsx file as python3-openpyxl reads them: per sheet its
// name and rows, each cell as [type, text] (type "n" number, "d" date, "s"
// text, "" empty), and each number's format.
QJsonArray xlsxSheets(const QString &path)
{
    QProcess p;
    p.start(u"/usr/bin/python3"_s,
            {u"-c"_s,
             u"import json, sys, datetime, openpyxl\n"
             u"book = openpyxl.load_workbook(sys.argv[1], read_only=True)\n"
             u"out = []\n"
             u"for ws in book.worksheets:\n"
             u"    rows = []\n"
             u"    for row in ws.iter_rows():\n"
             u"        cells = []\n"
             u"        for c in row:\n"
             u"            v = c.value\n"
             u"            if v is None: cells.append(['', '', ''])\n"
             u"            elif isinstance(v, datetime.datetime): cells.append(['d', "
             u"v.strftime('%Y-%m-%d %H:%M:%S'), c.number_format])\n"
             u"            elif isinstance(v, (int, float)): cells.append(['n', repr(v), "
             u"c.number_format])\n"
             u"            else: cells.append(['s', v, ''])\n"
             u"        rows.append(cells)\n"
             u"    out.append({'name': ws.title, 'rows': rows})\n"
             u"print(json.dumps(out))\n"_s,
             path});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        qWarning("%s", p.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
}

} // namespace

class TstExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        setWorkbookViewer([this](const QString &p) {
            shown << p;
            return true;
        });
    }
    void cleanup()
    {
        setWorkbookViewer({});
        shown.clear();
    }
    void workbook_data();
    void workbook();
    void templateCellsStay();
    void saveRules_data();
    void saveRules();
    void overwrite();
    void savedWithoutSpreadsheetProgram_data();
    void savedWithoutSpreadsheetProgram();
    void refusals();
    void print();
    void printWithChart();
    void sheetRowLimit();
    void wholeReportExported();
    void csvReport();
    void xlsxReport();
    void xlsReport();
    void xlsxSheetsGoOn();
    void bigWorkbook();
    void writeFailures_data();
    void writeFailures();

private:
    QStringList shown;
};

void TstExport::workbook_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("five columns, two rows") << 2;
    QTest::newRow("no rows: the title only") << 0;
    QTest::newRow("more rows than fit one sector") << 300;
}

void TstExport::workbook()
{
    QFETCH(int, rows);
    LT_NEED_XLRD();
    QTemporaryDir dir;
    const QString templ = write(dir.filePath(u"m.xls"_s), defaultTemplate());
    QVERIFY(!templ.isEmpty());
    // The template alone is a workbook too.
    QCOMPARE(readBack(templ)[u"sheets"_s].toInt(), 1);
    Report r;
    r.title = u"商品信息报表"_s;
    r.headings = QStringList{u"商品编号"_s, u"商品名称"_s, u"售价（元）"_s, u"状态"_s, u"库存量"_s};
    for (int k = 0; k < rows; ++k)
        r.rows << QStringList{u"A%1"_s.arg(k + 1), u"可乐 \"大瓶\" & <冰>"_s, u"2.5元"_s, u"有效"_s,
                              QString::number(k)};
    QFile in(templ);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const std::optional<QByteArray> book = fillTemplate(in.readAll(), r);
    QVERIFY(book);
    const QJsonObject got = readBack(write(dir.filePath(u"out.xls"_s), *book));
    QVERIFY(!got.isEmpty());
    QCOMPARE(cell(got, 0, 2), u"商品信息报表"_s);
    const QJsonObject title = got[u"title"_s].toObject();
    QVERIFY(title[u"bold"_s].toBool());
    QCOMPARE(title[u"height"_s].toInt(), 400); // 20 points
    QVERIFY(title[u"centred"_s].toBool());
    QCOMPARE(title[u"name"_s].toString(), u"宋体"_s);
    if (rows == 0) {
        QCOMPARE(cellCount(got), 1);
        return;
    }
    QCOMPARE(cellCount(got), 1 + 5 * (rows + 1));
    for (int c = 0; c < 5; ++c)
        QCOMPARE(cell(got, 2, c), r.headings[c]);
    for (int k = 0; k < rows; k += std::max(1, rows / 7))
        for (int c = 0; c < 5; ++c)
            QCOMPARE(cell(got, 3 + k, c), r.rows[k][c]);
    QCOMPARE(cell(got, 2 + rows, 4), QString::number(rows - 1));
}

void TstExport::templateCellsStay()
{
    LT_NEED_XLRD();
    QTemporaryDir dir;
    // A template that already has cells: fixed texts in rows 2 and 9.
    Report fixed;
    fixed.title = u"旧标题"_s;
    fixed.headings = QStringList{u"甲"_s, u"乙"_s};
    fixed.rows = {
        QStringList{u"x"_s, u"y"_s}, QStringList{}, QStringList{}, QStringList{}, QStringList{},
        QStringList{u"底部说明"_s}};
    const std::optional<QByteArray> templ = fillTemplate(defaultTemplate(), fixed);
    QVERIFY(templ);
    Report r;
    r.title = u"新标题"_s;
    r.headings = QStringList{u"卡号"_s};
    r.rows = {QStringList{u"100000000001"_s}};
    const std::optional<QByteArray> book = fillTemplate(*templ, r);
    QVERIFY(book);
    const QJsonObject got = readBack(write(dir.filePath(u"out.xls"_s), *book));
    QCOMPARE(cell(got, 0, 2), u"新标题"_s);
    QCOMPARE(cell(got, 2, 0), u"卡号"_s);
    QCOMPARE(cell(got, 2, 1), u"乙"_s); // not written over
    QCOMPARE(cell(got, 3, 0), u"100000000001"_s);
    QCOMPARE(cell(got, 3, 1), u"y"_s);
    QCOMPARE(cell(got, 8, 0), u"底部说明"_s);
    // Something that is not a workbook is refused.
    QVERIFY(!fillTemplate(QByteArray("not a workbook"), r));
}

void TstExport::saveRules_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::newRow("extension added") << u"商品"_s << u"商品.xls"_s;
    QTest::newRow("capitals kept") << u"REPORT.XLS"_s << u"REPORT.XLS"_s;
    QTest::newRow("other extension") << u"report.txt"_s << u"report.txt.xls"_s;
}

void TstExport::saveRules()
{
    QFETCH(QString, typed);
    QFETCH(QString, written);
    LT_NEED_XLRD();
    Harness h;
    QVERIFY(h.startProgram());
    write(QDir(h.folder()).filePath(u"m.xls"_s), defaultTemplate());
    storeGoods(2);
    FrmMain *main = h.login();
    QVERIFY(main);
    QTemporaryDir out;
    exportGoods(h, main, [&](QFileDialog *dlg) { saveAs(dlg, out.filePath(typed)); });
    QCOMPARE(h.unexpectedModals(), 0);
    QVERIFY(h.messages().isEmpty());
    const QString path = out.filePath(written);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{written});
    QCOMPARE(shown, QStringList{path});
    const QJsonObject got = readBack(path);
    QCOMPARE(cell(got, 0, 2), u"商品信息报表"_s);
    QCOMPARE(cell(got, 2, 0), u"商品编号"_s);
    QCOMPARE(cell(got, 4, 1), u"可乐2"_s);
    QCOMPARE(cell(got, 4, 5), u"2.5"_s);
}

void TstExport::overwrite()
{
    Harness h;
    QVERIFY(h.startProgram());
    write(QDir(h.folder()).filePath(u"m.xls"_s), defaultTemplate());
    storeGoods(1);
    FrmMain *main = h.login();
    QVERIFY(main);
    QTemporaryDir out;
    const QString path = write(out.filePath(u"商品.xls"_s), "old");
    h.answer(MsgAnswer::No);
    exportGoods(h, main, [&](QFileDialog *dlg) { saveAs(dlg, path); });
    const Message asked = h.messages().last();
    QCOMPARE(asked.text, u"此报表已经存在，是否覆盖？"_s);
    QCOMPARE(asked.caption, u"提示 "_s);
    QCOMPARE(asked.icon, MsgIcon::Question);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("old"));
    f.close();
    QVERIFY(shown.isEmpty());
    h.answer(MsgAnswer::Yes);
    exportGoods(h, main, [&](QFileDialog *dlg) { saveAs(dlg, path); });
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1")));
    QCOMPARE(shown, QStringList{path});
}

void TstExport::savedWithoutSpreadsheetProgram_data()
{
    QTest::addColumn<bool>("xdgOpen"); // xdg-open there, but no program for the file
    QTest::newRow("no xdg-open") << false;
    QTest::newRow("no program for the type") << true;
}

void TstExport::savedWithoutSpreadsheetProgram()
{
    // On a till without a spreadsheet program the export says where the
    // file is, and the status bar keeps the line.
    QFETCH(bool, xdgOpen);
    setWorkbookViewer({}); // the program's own
    QTemporaryDir bin;
    if (xdgOpen) {
        write(bin.filePath(u"xdg-open"_s), "#!/bin/sh\ntouch \"$0.ran\"\n");
        write(bin.filePath(u"xdg-mime"_s), "#!/bin/sh\nexit 0\n"); // no default program
        for (const char *tool : {"xdg-open", "xdg-mime"})
            QFile::setPermissions(bin.filePath(QString::fromLatin1(tool)),
                                  QFile::ReadOwner | QFile::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit());
    Harness h;
    QVERIFY(h.startProgram());
    write(QDir(h.folder()).filePath(u"m.xls"_s), defaultTemplate());
    storeGoods(1);
    FrmMain *main = h.login();
    QVERIFY(main);
    QTemporaryDir out;
    const QString file = out.filePath(u"商品.xls"_s);
    exportGoods(h, main, [&](QFileDialog *dlg) { saveAs(dlg, file); });
    qputenv("PATH", path);
    QVERIFY(QFile::exists(file));
    QCOMPARE(h.messages().size(), 1);
    QVERIFY2(h.lastText().startsWith(u"报表已保存到：\n"_s + QDir::toNativeSeparators(file)),
             qPrintable(h.lastText()));
    QVERIFY(main->statusPanel(1)->text().endsWith(QDir::toNativeSeparators(file)));
    QVERIFY(!QFile::exists(bin.filePath(u"xdg-open.ran"_s)));
}

void TstExport::refusals()
{
    Harness h;
    QVERIFY(h.startProgram());
    storeGoods(1);
    Sql(u"INSERT INTO czy (name, pwd, per) VALUES ('op', '', '111111101111')"_s).exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    // Cancelling the dialog: nothing, not even a message.
    exportGoods(h, main, [](QFileDialog *dlg) { dlg->reject(); });
    QVERIFY(h.messages().isEmpty());
    // No template in the program folder (and none delivered beside the tests).
    QTemporaryDir out;
    exportGoods(h, main, [&](QFileDialog *dlg) { saveAs(dlg, out.filePath(u"a"_s)); });
    QCOMPARE(h.lastText(), u"模版文件不存在！"_s);
    QVERIFY(QDir(out.path()).isEmpty());
    QCOMPARE(h.unexpectedModals(), 0);
    delete main;

    // Without permission 8 no dialog opens.
    h.clearMessages();
    main = h.login(u"op"_s, QString());
    QVERIFY(main);
    exportGoods(h, main, {});
    QCOMPARE(h.lastText(), u"您没有权限执行此操作！"_s);
    QCOMPARE(h.unexpectedModals(), 0);
}

void TstExport::print()
{
    LT_USE_PRINT_QUEUE();
    test::PrintCapture device;
    QVERIFY(device.listen());
    qputenv("PRINTER", queue.toUtf8());
    Harness h;
    QVERIFY(h.startProgram());
    write(QDir(h.folder()).filePath(u"m.xls"_s), defaultTemplate());
    Sql(u"INSERT INTO mber (id, name, st) VALUES ('100000000001', '张三', 0)"_s).exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdMemgl"_s)->click();
    main->findChild<QPushButton *>(u"cmdQuery"_s)->click();
    const QString printCopy = QDir(h.folder()).filePath(u"print.xls"_s);
    for (int round = 1; round <= 2; ++round) {
        QString previewTitle;
        h.onModal([&](QDialog *preview) {
            previewTitle = preview->windowTitle();
            preview->reject();
        });
        main->findChild<QPushButton *>(u"CmdGl_7"_s)->click();
        QCOMPARE(previewTitle, u"会员信息"_s);
        QVERIFY(QFileInfo::exists(printCopy));
        QTRY_COMPARE_WITH_TIMEOUT(device.finished(), round, 60000);
    }
    // Printed from the preview itself: one job, not a second one after it.
    bool printedThere = false;
    h.onModal([&](QDialog *preview) {
        // The preview asks for the printer in a dialog of its own: accept it.
        QTimer confirm;
        QObject::connect(&confirm, &QTimer::timeout, [] {
            for (QWidget *top : QApplication::topLevelWidgets())
                if (auto *dlg = qobject_cast<QPrintDialog *>(top); dlg && dlg->isVisible())
                    dlg->accept();
        });
        confirm.start(50);
        // The preview speaks Chinese with the rest of the program.
        QVERIFY(std::ranges::none_of(preview->findChildren<QAction *>(),
                                     [](QAction *a) { return a->text() == u"Print"_s; }));
        for (QAction *a : preview->findChildren<QAction *>())
            if (a->text() == QCoreApplication::translate("QPrintPreviewDialog", "Print")) {
                printedThere = true;
                a->trigger();
                break;
            }
        if (preview->isVisible())
            preview->reject();
    });
    main->findChild<QPushButton *>(u"CmdGl_7"_s)->click();
    QVERIFY(printedThere);
    QTRY_COMPARE_WITH_TIMEOUT(device.finished(), 3, 60000);
    QTest::qWait(1500); // a second job would have followed by now
    QCOMPARE(device.finished(), 3);
    // Printing again replaced the copy without asking.
    QVERIFY(h.messages().isEmpty());
    QCOMPARE(shown, (QStringList{printCopy, printCopy, printCopy}));
    const QString text = test::PrintCapture::pdfText(device.jobs().last());
    QVERIFY2(text.contains(u"会员信息"_s), qPrintable(text));
    QVERIFY2(text.contains(u"100000000001"_s), qPrintable(text));
    qunsetenv("PRINTER");
}

// A report with a chart prints the chart after its list: the printed page
// carries a picture as well as the list's text.
void TstExport::printWithChart()
{
    LT_USE_PRINT_QUEUE();
    test::PrintCapture device;
    QVERIFY(device.listen());
    qputenv("PRINTER", queue.toUtf8());
    Harness h;
    QVERIFY(h.startProgram());
    write(QDir(h.folder()).filePath(u"m.xls"_s), defaultTemplate());
    Sql(u"INSERT INTO con (mberid, boolsp, czkfk, xjfk, createtime, czy) VALUES"
        u" ('000000000000', 1, ?, ?, ?, 'admin')"_s)
        .bind(Amount(5))
        .bind(Amount(10))
        .bind(Database::dt(QDateTime::currentDateTime()))
        .exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdMemtj"_s)->click();
    h.onModal([&](QDialog *d) {
        d->findChild<QPushButton *>(u"cmdSearch1"_s)->click();
        h.onModal([](QDialog *preview) { preview->reject(); }); // printed as it stands
        d->findChild<QPushButton *>(u"cmdPrint1"_s)->click();
        d->reject();
    });
    main->findChild<QToolButton *>(u"ImgReport_2"_s)->click();
    QTRY_COMPARE_WITH_TIMEOUT(device.finished(), 1, 60000);
    const QByteArray pdf = device.jobs().last();
    QVERIFY2(test::PrintCapture::pdfText(pdf).contains(u"日营业额统计报表"_s),
             qPrintable(test::PrintCapture::pdfText(pdf)));
    QTemporaryDir dir;
    QFile f(dir.filePath(u"job.pdf"_s));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(pdf) == pdf.size());
    f.close();
    QProcess images;
    images.start(u"pdfimages"_s, {u"-list"_s, f.fileName()});
    QVERIFY(images.waitForFinished(30000));
    // A heading, a rule, then one line per picture: the chart, at least
    // 800 pixels wide.
    const QList<QByteArray> lines = images.readAllStandardOutput().trimmed().split('\n');
    QVERIFY2(lines.size() >= 3, lines.join('\n').constData());
    const QList<QByteArray> fields = lines[2].simplified().split(' ');
    QVERIFY2(fields.size() > 4 && fields[3].toInt() >= 800, lines[2].constData());
    qunsetenv("PRINTER");
}

void TstExport::sheetRowLimit()
{
    // The last row a sheet holds is written there; one more would wrap onto
    // the top rows, so such a report is refused as a workbook of this kind,
    // and written whole as a CSV file.
    Report full{u"大报表"_s, {u"编号"_s}, {}};
    for (int k = 1; k <= kMaxReportRows; ++k)
        full.rows << QStringList{QString::number(k)};
    const std::optional<QByteArray> book = fillTemplate(defaultTemplate(), full);
    QVERIFY(book);
    const QList<Cell> cells = readCells(*book);
    const auto bottom = std::max_element(
        cells.begin(), cells.end(), [](const Cell &a, const Cell &b) { return a.row < b.row; });
    QVERIFY(bottom != cells.end());
    QCOMPARE(bottom->row, 65535);
    QCOMPARE(bottom->text, QString::number(kMaxReportRows));
    QCOMPARE(cells.size(), kMaxReportRows + 2); // the rows, the heading and the title
    full.rows << QStringList{u"太多"_s};
    QVERIFY(!fillTemplate(defaultTemplate(), full));

    Harness h;
    QVERIFY(h.login());
    QTreeWidget list;
    list.setHeaderLabels({u"编号"_s});
    QList<QTreeWidgetItem *> items;
    for (int k = 0; k <= kMaxReportRows; ++k)
        items << new QTreeWidgetItem(QStringList{QString::number(k)});
    list.addTopLevelItems(items);
    QTemporaryDir out;
    // Offered as an .xlsx workbook instead; declined, refused as before.
    h.onModal([&](QDialog *f) { saveAs(qobject_cast<QFileDialog *>(f), out.filePath(u"大"_s)); });
    h.answer(MsgAnswer::No);
    QVERIFY(!ExportReport(&list, u"大报表"_s, false));
    QCOMPARE(h.lastText(),
             u"报表共有65534行，超过了Excel表格最多65533行的限制，请缩小查询范围后再导出！"_s);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList());
    h.onModal(
        [&](QDialog *f) { saveAs(qobject_cast<QFileDialog *>(f), out.filePath(u"大.xls"_s)); });
    h.answer(MsgAnswer::Yes);
    QVERIFY(ExportReport(&list, u"大报表"_s, false));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{u"大.xlsx"_s});
    const QJsonArray sheets = xlsxSheets(out.filePath(u"大.xlsx"_s));
    QCOMPARE(sheets.size(), 1);
    QCOMPARE(sheets[0][u"rows"_s].toArray().size(), kMaxReportRows + 2);
    h.onModal(
        [&](QDialog *f) { saveAs(qobject_cast<QFileDialog *>(f), out.filePath(u"大.csv"_s)); });
    QVERIFY(ExportReport(&list, u"大报表"_s, false));
    QCOMPARE(h.unexpectedModals(), 0);
    const QList<QStringList> rows = csvRows(out.filePath(u"大.csv"_s));
    QCOMPARE(rows.size(), kMaxReportRows + 2);
    QCOMPARE(rows.first(), QStringList{u"编号"_s});
    QCOMPARE(rows.last(), QStringList{QString::number(kMaxReportRows)});
}

// Early today: the recharge report opens on today.
QDateTime rechargeTime()
{
    return QDateTime(QDate::currentDate(), QTime(0, 0, 30));
}

// Recharges with remarks that test a writer, one each, credited with
// `credited`, saved from the recharge report as `path`; the save dialog's
// kind chosen by `filter` (its index) when it is not -1, else by the name.
void exportRecharges(Harness &h, const QString &path, const QStringList &remarks,
                     const QString &credited = u"110.2549"_s, int filter = -1)
{
    for (int k = 0; k < remarks.size(); ++k)
        Sql(A(u"INSERT INTO czjl (mberid, mbername, mberlb, ssje, czje, yhsm, czy, ps, createtime)"
              u" VALUES (?, '张三', '金卡', {100.5}, {%1}, '', 'admin', ?, ?)"_s.arg(credited)))
            .bind(u"C%1"_s.arg(k))
            .bind(remarks[k])
            .bind(Database::dt(rechargeTime()))
            .exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    main->findChild<QPushButton *>(u"cmdMemtj"_s)->click();
    h.onModal([&](QDialog *d) {
        d->findChild<QPushButton *>(u"cmdSearch"_s)->click();
        h.onModal([&](QDialog *f) {
            auto *dlg = qobject_cast<QFileDialog *>(f);
            QVERIFY(dlg);
            if (filter >= 0)
                dlg->selectNameFilter(dlg->nameFilters().value(filter));
            saveAs(dlg, path);
        });
        d->findChild<QPushButton *>(u"cmdExcel"_s)->click();
        d->reject();
    });
    main->findChild<QToolButton *>(u"ImgReport_3"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
}

void TstExport::csvReport()
{
    // A money report as CSV: numbers without their unit, which goes into
    // the heading, dates as dates, texts whole whatever they hold, a totals
    // row; the file for its owner only; read back by Python's csv module.
    Harness h;
    QVERIFY(h.startProgram());
    QStringList remarks{
        u"普通"_s, u"有,逗号"_s, u"有\"引号\""_s, u"两\n行"_s, u"𠀀超出基本平面的字"_s, u"-3.5"_s};
    // Texts a spreadsheet would run as formulas stay texts behind an apostrophe.
    const QStringList formulas{u"=HYPERLINK(\"http://x\",\"点此\")"_s, u"+1+2"_s, u"-A1"_s,
                               u"@SUM(A1)"_s};
    remarks += formulas;
    QTemporaryDir out;
    const QString path = out.filePath(u"充值"_s);
    exportRecharges(h, path, remarks, u"110.25"_s, 2); // the CSV kind chosen, no ending typed
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(h.messages().isEmpty(), qPrintable(h.lastText()));
    const QString file = path + u".csv"_s;
    QCOMPARE(shown, QStringList{file});
    const QFile::Permissions mode = QFile::permissions(file);
    QVERIFY(mode & QFile::ReadOwner);
    QVERIFY(
        !(mode & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther)));
    QFile raw(file);
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QVERIFY(raw.read(3) == "\xEF\xBB\xBF");
    const QList<QStringList> rows = csvRows(file);
    QCOMPARE(rows.size(), remarks.size() + 2);
    const QStringList heading = rows.first();
    QCOMPARE(heading.value(0), u"充值时间"_s);
    const qsizetype paid = heading.indexOf(u"付款金额（元）"_s);
    const qsizetype credited = heading.indexOf(u"实际入账（元）"_s);
    const qsizetype remark = heading.indexOf(u"备注"_s);
    QVERIFY(paid > 0 && credited > 0 && remark > 0);
    QStringList remarksRead;
    for (int r = 1; r <= remarks.size(); ++r) {
        QCOMPARE(rows[r].value(0), rechargeTime().toString(u"yyyy-MM-dd HH:mm:ss"_s));
        QCOMPARE(rows[r].value(paid), u"100.5"_s);
        QCOMPARE(rows[r].value(credited), u"110.25"_s);
        remarksRead << rows[r].value(remark);
    }
    QStringList expected = remarks.first(remarks.size() - formulas.size());
    for (const QString &f : formulas)
        expected << u"'"_s + f;
    QCOMPARE(remarksRead, expected);
    QCOMPARE(rows.last().value(0), u"合计"_s);
    QCOMPARE(rows.last().value(paid), u"1005"_s);
    QCOMPARE(rows.last().value(credited), u"1102.5"_s);
}

void TstExport::wholeReportExported()
{
    // The list shows the rows scrolled to; the workbook gets every row of
    // the query, in the list's order.
    Harness h;
    QVERIFY(h.startProgram());
    write(QDir(h.folder()).filePath(u"m.xls"_s), defaultTemplate());
    const int n = ReportModel::kBlockRows * 2 + 3;
    const QVariant now = Database::dt(QDateTime::currentDateTime());
    for (int k = 1; k <= n; ++k)
        Sql(A(u"INSERT INTO czjl (mberid, mbername, mberlb, ssje, czje, czy, createtime)"
              u" VALUES (?, '张三', '金卡', {100}, {110}, 'admin', ?)"_s))
            .bind(u"C%1"_s.arg(k, 5, 10, QChar(u'0')))
            .bind(now)
            .exec();
    FrmMain *main = h.login();
    QVERIFY(main);
    QTemporaryDir out;
    const QString path = out.filePath(u"充值.xls"_s);
    main->findChild<QPushButton *>(u"cmdMemtj"_s)->click();
    h.onModal([&](QDialog *d) {
        d->findChild<QPushButton *>(u"cmdSearch"_s)->click();
        auto *list = d->findChild<QAbstractItemView *>(u"lvTb"_s);
        QVERIFY(list->model()->rowCount() < n);
        QVERIFY(list->model()->canFetchMore({}));
        h.onModal([&](QDialog *f) { saveAs(qobject_cast<QFileDialog *>(f), path); });
        d->findChild<QPushButton *>(u"cmdExcel"_s)->click();
        d->reject();
    });
    main->findChild<QToolButton *>(u"ImgReport_3"_s)->click();
    QCOMPARE(h.unexpectedModals(), 0);
    QVERIFY(h.messages().isEmpty());
    QCOMPARE(shown, QStringList{path});
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QStringList cards;
    for (const Cell &c : readCells(f.readAll()))
        if (c.column == 1 && c.row >= 3)
            cards << c.text;
    QCOMPARE(cards.size(), n);
    QCOMPARE(cards.first(), u"C00001"_s);
    QCOMPARE(cards.last(), u"C%1"_s.arg(n, 5, 10, QChar(u'0')));
}

void TstExport::xlsxReport()
{
    // The same report as an .xlsx workbook: numbers as numbers in the
    // shop's decimals, times as dates, texts whole, a totals row.
    Harness h;
    QVERIFY(h.startProgram());
    const QString longText = QString(kXlsxCellChars - 1, u'长') + u"𠀀"_s; // a pair at the limit
    const QStringList remarks{u"有,逗号"_s, u"两\n行"_s, longText};
    QTemporaryDir out;
    const QString path = out.filePath(u"充值.xlsx"_s);
    exportRecharges(h, path, remarks);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(h.messages().isEmpty(), qPrintable(h.lastText()));
    QCOMPARE(shown, QStringList{path});
    QVERIFY(!(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther)));
    const QJsonArray sheets = xlsxSheets(path);
    QCOMPARE(sheets.size(), 1);
    const QJsonArray rows = sheets[0].toObject()[u"rows"_s].toArray();
    QCOMPARE(rows.size(), remarks.size() + 2);
    QStringList heading;
    for (const QJsonValue &c : rows[0].toArray())
        heading << c.toArray()[1].toString();
    const qsizetype paid = heading.indexOf(u"付款金额（元）"_s);
    const qsizetype remark = heading.indexOf(u"备注"_s);
    QVERIFY(paid > 0 && remark > 0);
    const QJsonArray first = rows[1].toArray();
    QCOMPARE(first[0].toArray()[0].toString(), u"d"_s);
    QCOMPARE(first[0].toArray()[1].toString(), rechargeTime().toString(u"yyyy-MM-dd HH:mm:ss"_s));
    QCOMPARE(first[paid].toArray()[0].toString(), u"n"_s);
    QCOMPARE(first[paid].toArray()[1].toString(), u"100.5"_s);
    QCOMPARE(first[paid].toArray()[2].toString(), u"0.00"_s);
    QCOMPARE(rows[2].toArray()[remark].toArray()[1].toString(), u"两\n行"_s);
    // Cut at the format's limit, before the character that would not fit.
    QCOMPARE(rows[3].toArray()[remark].toArray()[1].toString(), longText.left(kXlsxCellChars - 1));
    const QJsonArray totals = rows.last().toArray();
    QCOMPARE(totals[0].toArray()[1].toString(), u"合计"_s);
    QCOMPARE(totals[paid].toArray()[1].toString(), u"301.5"_s);
}

void TstExport::xlsReport()
{
    // The legacy workbook too: amounts as numbers in the shop's decimals
    // under headings with their unit, times as dates, texts whole in the
    // shared strings (past one record, a pair of code units never split),
    // and a totals row that adds up exactly.
    LT_NEED_XLRD();
    Harness h;
    QVERIFY(h.startProgram());
    write(QDir(h.folder()).filePath(u"m.xls"_s), defaultTemplate());
    const QString straddling = QString(4111, u'长') + u"𠀀"_s + QString(20000, u'文');
    const QString atLimit = QString(kXlsxCellChars - 1, u'长') + u"𠀀"_s;
    const QStringList remarks{u"有,逗号"_s, straddling, atLimit};
    QTemporaryDir out;
    const QString path = out.filePath(u"充值.xls"_s);
    exportRecharges(h, path, remarks);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(h.messages().isEmpty(), qPrintable(h.lastText()));
    QCOMPARE(shown, QStringList{path});
    const QJsonObject got = readBack(path);
    QVERIFY(!got.isEmpty());
    const QJsonObject cells = got[u"cells"_s].toObject();
    const QJsonObject formats = got[u"formats"_s].toObject();
    QStringList heading;
    for (int c = 0; c < 9; ++c)
        heading << cell(got, 2, c);
    const int paid = int(heading.indexOf(u"付款金额（元）"_s));
    const int credited = int(heading.indexOf(u"实际入账（元）"_s));
    const int remark = int(heading.indexOf(u"备注"_s));
    QVERIFY2(paid > 0 && credited > 0 && remark > 0, qPrintable(heading.join(u'|')));
    auto at = [](int r, int c) { return u"%1,%2"_s.arg(r).arg(c); };
    QCOMPARE(cells[at(3, paid)].toDouble(), 100.5);
    QCOMPARE(formats[at(3, paid)].toString(), u"0.00"_s);
    QCOMPARE(cells[at(3, credited)].toDouble(), 110.2549); // exact; shown in two decimals
    const double serial = QDate(1899, 12, 30).daysTo(rechargeTime().date()) + 30.0 / 86400;
    QVERIFY(qAbs(cells[at(3, 0)].toDouble() - serial) < 1e-9);
    QCOMPARE(formats[at(3, 0)].toString(), u"yyyy-mm-dd hh:mm:ss"_s);
    QCOMPARE(cell(got, 4, remark), straddling);
    QCOMPARE(cell(got, 5, remark), atLimit.left(kXlsxCellChars - 1));
    QCOMPARE(cell(got, 6, 0), u"合计"_s);
    QCOMPARE(cells[at(6, paid)].toDouble(), 301.5);
    QCOMPARE(cells[at(6, credited)].toDouble(), 330.7647);
    QCOMPARE(cellCount(got), 1 + 9 + 3 * 8 + 3); // nothing else: 8 filled columns a row

    // The program's own reader sees the same.
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<Cell> own = readCells(f.readAll());
    const auto total = std::ranges::find_if(
        own, [&](const Cell &c) { return c.row == 6 && c.column == credited; });
    QVERIFY(total != own.end() && total->isNumber);
    QCOMPARE(total->number, 330.7647);
}

void TstExport::xlsxSheetsGoOn()
{
    // A list longer than a sheet holds goes on over further sheets, each
    // with the headings; nothing is left under the name when writing fails.
    ExportTable t;
    t.columns = {{u"编号"_s}, {u"金额"_s, Kind::Money}};
    t.rows = [](const std::function<bool(const Values &)> &row) {
        for (int k = 1; k <= 8; ++k)
            if (!row(Values{QString::number(k), QVariant::fromValue(Amount(k))}))
                return;
    };
    QTemporaryDir out;
    const QString path = out.filePath(u"长.xlsx"_s);
    QCOMPARE(writeXlsx(path, u"长报表"_s, t, 2, 3), QString());
    const QJsonArray sheets = xlsxSheets(path);
    QCOMPARE(sheets.size(), 3);
    QStringList names, firsts;
    qsizetype rows = 0;
    for (const QJsonValue &sheet : sheets) {
        names << sheet[u"name"_s].toString();
        const QJsonArray r = sheet[u"rows"_s].toArray();
        QCOMPARE(r[0].toArray()[1].toArray()[1].toString(), u"金额（元）"_s);
        firsts << r[1].toArray()[0].toArray()[1].toString();
        rows += r.size() - 1;
    }
    QCOMPARE(names, QStringList({u"报表"_s, u"报表2"_s, u"报表3"_s}));
    QCOMPARE(firsts, QStringList({u"1"_s, u"4"_s, u"7"_s}));
    QCOMPARE(rows, 9); // eight rows and the totals
    QCOMPARE(cutText(u"ab𠀀"_s, 3), u"ab"_s);
    QCOMPARE(cutText(u"ab𠀀"_s, 4), u"ab𠀀"_s);

    // A folder that is not there: the reason, and no file.
    const QString nowhere = out.filePath(u"无此文件夹/长.xlsx"_s);
    QVERIFY(!writeXlsx(nowhere, u"长报表"_s, t, 2).isEmpty());
    QVERIFY(!QFileInfo::exists(nowhere));
    QVERIFY(!writeCsv(out.filePath(u"无此文件夹/长.csv"_s), t).isEmpty());
}

// A folder of its own on a small file system, full or read-only (root only:
// it is mounted for the test and unmounted after).
struct SmallDisk {
    QTemporaryDir dir;
    bool mounted = false;
    explicit SmallDisk(const QString &options)
    {
        if (geteuid() == 0)
            mounted = QProcess::execute(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, options,
                                                     u"tmpfs"_s, dir.path()}) == 0;
    }
    ~SmallDisk()
    {
        if (mounted)
            QProcess::execute(u"umount"_s, {dir.path()});
    }
};

void TstExport::writeFailures_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<bool>("full");
    for (const QString &ending : {u".xls"_s, u".xlsx"_s, u".csv"_s}) {
        QTest::newRow(qPrintable(u"full disk, "_s + ending)) << ending << true;
        QTest::newRow(qPrintable(u"read-only folder, "_s + ending)) << ending << false;
    }
}

void TstExport::writeFailures()
{
    // A write that fails says why and leaves nothing under the name chosen,
    // nor any half-made file beside it.
    QFETCH(QString, ending);
    QFETCH(bool, full);
    if (ending == u".xls"_s)
        LT_NEED_XLRD();
    SmallDisk disk(full ? u"size=96k"_s : u"ro,size=1m"_s);
    if (!disk.mounted) {
        if (full)
            QSKIP("a full file system is made as root only");
        QFile::setPermissions(disk.dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    }
    Harness h;
    QVERIFY(h.startProgram());
    write(QDir(h.folder()).filePath(u"m.xls"_s), defaultTemplate());
    // Texts that do not compress: more than the disk holds in every format.
    QRandomGenerator random(7);
    QStringList remarks;
    for (int r = 0; r < 4; ++r) {
        QString text;
        for (int k = 0; k < 30000; ++k)
            text += QChar(char16_t(0x4E00 + random.bounded(0x5000)));
        remarks << text;
    }
    const QString path = disk.dir.filePath(u"充值"_s + ending);
    exportRecharges(h, path, remarks);
    QVERIFY(!h.messages().isEmpty());
    QVERIFY2(h.lastText().contains(u"充值"_s + ending), qPrintable(h.lastText()));
    QVERIFY(shown.isEmpty());
    QCOMPARE(
        QDir(disk.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList());
    // Nor a deleted file kept open there, whose space would stay taken.
    const QDir fds(u"/proc/self/fd"_s);
    for (const QString &fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        QVERIFY(!QFile::symLinkTarget(fds.filePath(fd)).startsWith(disk.dir.path()));
    if (!disk.mounted)
        QFile::setPermissions(disk.dir.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TstExport::bigWorkbook()
{
    // A workbook past the 109 sectors the file header lists (about 7 MB):
    // the rest of its allocation table is listed in further sectors, and
    // the whole file reads back in a reader of its own.
    LT_NEED_XLRD();
    Report big{u"大报表"_s, {}, {}};
    for (int c = 0; c < 8; ++c)
        big.headings << u"列%1"_s.arg(c);
    for (int r = 0; r < 30000; ++r) {
        QStringList row;
        for (int c = 0; c < 8; ++c)
            row << u"第%1行第%2列的一段文字"_s.arg(r).arg(c);
        big.rows << row;
    }
    const std::optional<QByteArray> book = fillTemplate(defaultTemplate(), big);
    QVERIFY(book);
    QVERIFY2(book->size() > 8 * 1024 * 1024, qPrintable(QString::number(book->size())));
    QTemporaryDir out;
    const QString path = out.filePath(u"大.xls"_s);
    write(path, *book);
    const QJsonObject got = readBack(path);
    QCOMPARE(cell(got, 2, 7), u"列7"_s);
    QCOMPARE(cell(got, 3, 0), u"第0行第0列的一段文字"_s);
    QCOMPARE(cell(got, 3 + 29999, 7), u"第29999行第7列的一段文字"_s);
    QCOMPARE(cellCount(got), 30000 * 8 + 8 + 1);

    // A long text with a character outside the Basic Multilingual Plane
    // where the older writer cut it: kept whole.
    const QString astral = QString(7999, u'长') + u"𠀀后面"_s;
    const std::optional<QByteArray> cut =
        fillTemplate(defaultTemplate(), Report{u"长文字"_s, {u"备注"_s}, {{astral}}});
    QVERIFY(cut);
    const QJsonObject read = readBack(write(out.filePath(u"长.xls"_s), *cut));
    QCOMPARE(cell(read, 3, 0), astral);
}

QTEST_MAIN(TstExport)
#include "tst_export.moc"
