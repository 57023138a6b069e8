#include "exportreport.h"

#include "appstate.h"
#include "csvexport.h"
#include "database.h"
#include "frmmain.h"
#include "messages.h"
#include "mod1.h"
#include "programfolder.h"
#include "reportchart.h"
#include "reportmodel.h"
#include "reportwindows.h"
#include "shiftwindows.h"
#include "statementwindow.h"
#include "todaysummary.h"
#include "ui.h"
#include "xlsbook.h"
#include "xlsxexport.h"

#include <QBoxLayout>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSaveFile>
#include <QTextDocument>
#include <QTreeWidget>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace lanting::reports
{

namespace
{

std::function<bool(const QString &)> &viewer()
{
    static std::function<bool(const QString &)> v = ui::ShellOpen;
    return v;
}

// The saved file shown; where nothing takes it, the cashier is told where
// it is (not for the copy made for printing, which goes to the printer).
void show(const QString &path, bool printCopy)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (!printCopy)
        ui::tell(u"报表已保存：%1"_s.arg(shown));
    if (!viewer()(path) && !printCopy)
        msgSuccess(
            u"报表已保存到：\n%1\n\n本机没有可以打开它的表格程序，请把文件复制到装有表格软件的电脑上查看。"_s
                .arg(shown));
}

// The list's headings and rows as shown, read again from the database for a
// report (not only the rows scrolled to); nullopt, with the number of rows
// in `tooLong`, when it has more rows than a sheet holds.
std::optional<Report> reportOf(QAbstractItemView *list, const QString &title, qint64 *tooLong)
{
    Report r;
    r.title = title;
    QAbstractItemModel *model = list ? list->model() : nullptr;
    if (!model)
        return r;
    for (int c = 0; c < model->columnCount(); ++c)
        r.headings << model->headerData(c, Qt::Horizontal).toString();
    bool tooMany = false;
    qint64 count = 0;
    if (auto *report = qobject_cast<ReportModel *>(model)) {
        const ReportQuery &q = report->query();
        r.columns = q.columns;
        r.decimals = state().decimals;
        // The totals row takes a row of the sheet too.
        const qsizetype room = kMaxReportRows - (r.hasTotals() ? 1 : 0);
        forEachRow(q, [&](const Values &v) {
            if (r.values.size() == room) {
                tooMany = true;
                return false;
            }
            r.values << v.mid(0, q.columns.size()); // without the key after them
            return true;
        });
        if (tooMany)
            count = countRows(q);
    } else {
        while (model->canFetchMore({}))
            model->fetchMore({});
        count = model->rowCount();
        tooMany = count > kMaxReportRows;
        for (int i = 0; !tooMany && i < model->rowCount(); ++i) {
            QStringList row;
            for (int c = 0; c < model->columnCount(); ++c)
                row << model->index(i, c).data().toString();
            r.rows << row;
        }
    }
    if (tooMany) {
        *tooLong = count;
        return std::nullopt;
    }
    return r;
}

QString templatePath()
{
    const QString inFolder = QDir(state().programFolder).filePath(u"m.xls"_s);
    if (QFileInfo::exists(inFolder))
        return inFolder;
    return findDataFile(u"m.xls"_s);
}

// The sheet as a page: the title above a table of the headings and rows.
void printSheet(QPrinter *printer, const Report &r, const QImage &chart = {})
{
    // Wide lists go across the page; cells keep their text on one line.
    printer->setPageOrientation(QPageLayout::Landscape);
    QString html = u"<h2 align=center>"_s + r.title.toHtmlEscaped() +
                   u"</h2><table border=1 cellspacing=0 cellpadding=3 width=100%><tr>"_s;
    for (const QString &h : r.headings)
        html += u"<th nowrap>"_s + h.toHtmlEscaped() + u"</th>"_s;
    html += u"</tr>"_s;
    auto addRow = [&html](const QStringList &row) {
        html += u"<tr>"_s;
        for (const QString &cell : row)
            html += u"<td nowrap>"_s + cell.toHtmlEscaped() + u"</td>"_s;
        html += u"</tr>"_s;
    };
    for (const QStringList &row : r.rows)
        addRow(row);
    // A report's rows as the list shows them.
    for (const Values &v : r.values) {
        QStringList row;
        for (qsizetype c = 0; c < r.columns.size(); ++c)
            row << formatCell(r.columns[c].kind, v.value(c));
        addRow(row);
    }
    QTextDocument doc;
    doc.setDefaultStyleSheet(u"body, td, th { font-size: 9pt; }"_s);
    html += u"</table>"_s;
    // The report's chart after its list, as wide as the page.
    if (!chart.isNull()) {
        // An image's width is in pixels of 96 to the inch; the document keeps
        // 2 cm margins inside the printable area.
        const double inches =
            printer->pageLayout().paintRect(QPageLayout::Inch).width() - 2 * 2 / 2.54;
        doc.addResource(QTextDocument::ImageResource, QUrl(u"chart.png"_s), chart);
        html += u"<p align=center><img src=\"chart.png\" width=\"%1\"></p>"_s.arg(
            int(inches * 96 * 0.9));
    }
    doc.setHtml(html);
    doc.print(printer);
}

} // namespace

void setWorkbookViewer(std::function<bool(const QString &)> v)
{
    viewer() = v ? std::move(v) : ui::ShellOpen;
}

namespace
{

// The list as a table to export: a report's query, every row of it; else
// the rows the list holds, as shown.
ExportTable tableOf(QAbstractItemView *list)
{
    QAbstractItemModel *model = list ? list->model() : nullptr;
    if (!model)
        return {};
    if (auto *report = qobject_cast<ReportModel *>(model))
        return exportTable(report->query());
    ExportTable t;
    for (int c = 0; c < model->columnCount(); ++c)
        t.columns << Column{model->headerData(c, Qt::Horizontal).toString()};
    t.rows = [model](const std::function<bool(const Values &)> &row) {
        while (model->canFetchMore({}))
            model->fetchMore({});
        for (int i = 0; i < model->rowCount(); ++i) {
            Values v;
            for (int c = 0; c < model->columnCount(); ++c)
                v << model->index(i, c).data().toString();
            if (!row(v))
                return;
        }
    };
    return t;
}

const QString kXlsFilter = u"Excel 97-2003 工作簿 (*.xls)"_s;
const QString kXlsxFilter = u"Excel 工作簿，任意行数 (*.xlsx)"_s;
const QString kCsvFilter = u"CSV 文件，UTF-8 (*.csv)"_s;

// Writes the list as an .xlsx workbook or a CSV file (`kind`) at `target`,
// after the overwrite question; true when written.
bool writeOtherKind(QAbstractItemView *list, const QString &title, QString target,
                    const QString &kind)
{
    if (!target.endsWith(kind, Qt::CaseInsensitive))
        target += kind;
    if (QFileInfo::exists(target) && !askYesNo(u"此报表已经存在，是否覆盖？"_s, u"提示 "_s))
        return false;
    QString why;
    try {
        const ui::WaitScope wait(u"正在导出..."_s);
        why = kind == u".csv"_s ? writeCsv(target, tableOf(list))
                                : writeXlsx(target, title, tableOf(list), state().decimals);
    } catch (const DbError &e) {
        why = e.message();
    }
    if (!why.isEmpty()) {
        msgError(why);
        return false;
    }
    show(target, false);
    return true;
}

} // namespace

bool ExportReport(QAbstractItemView *list, const QString &title, bool print)
{
    if (!HasPer(Per::Export)) {
        NoPerMsg();
        return false;
    }
    QString target;
    if (!print) {
        QFileDialog dlg(list ? list->window() : nullptr, u"导出为Excel文档"_s);
        dlg.setObjectName(u"cdSaveExcel"_s);
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setNameFilters({kXlsFilter, kXlsxFilter, kCsvFilter});
        dlg.setOption(QFileDialog::DontUseNativeDialog);
        ui::makeRoomy(&dlg);
        // The overwrite question is ours.
        dlg.setOption(QFileDialog::DontConfirmOverwrite);
        if (ui::execModal(&dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return false;
        target = dlg.selectedFiles().first();
        if (target.isEmpty() || QFileInfo(target).isDir())
            return false;
        // The kind the name ends in, else the kind chosen: an .xlsx or CSV
        // file takes any list.
        QString kind = dlg.selectedNameFilter() == kXlsxFilter  ? u".xlsx"_s
                       : dlg.selectedNameFilter() == kCsvFilter ? u".csv"_s
                                                                : u".xls"_s;
        for (const QString &ending : {u".xls"_s, u".xlsx"_s, u".csv"_s})
            if (target.endsWith(ending, Qt::CaseInsensitive))
                kind = ending;
        if (kind != u".xls"_s)
            return writeOtherKind(list, title, target, kind);
    }
    std::optional<Report> read;
    qint64 tooLong = 0;
    try {
        read = reportOf(list, title, &tooLong);
    } catch (const DbError &e) {
        msgError(e.message());
        return false;
    }
    if (!read && tooLong > 0) {
        // Too long for a sheet of this kind: offered as a workbook that
        // takes any length rather than refused.
        const QString refusal =
            u"报表共有%1行，超过了Excel表格最多%2行的限制，请缩小查询范围后再导出！"_s.arg(tooLong)
                .arg(kMaxReportRows);
        if (print || !askYesNo(u"报表共有%1行，超过了Excel 97-2003 工作簿最多%2行的限制。"
                               u"是否改为导出为 .xlsx 工作簿（行数不限）？"_s.arg(tooLong)
                                   .arg(kMaxReportRows),
                               u"提示"_s)) {
            msgNotice(refusal);
            return false;
        }
        if (target.endsWith(u".xls"_s, Qt::CaseInsensitive))
            target.chop(4);
        return writeOtherKind(list, title, target, u".xlsx"_s);
    }
    if (!read)
        return false;
    const Report report = std::move(*read);
    if (print) {
        target = QDir(state().programFolder).filePath(u"print.xls"_s);
        QFile::remove(target);
    }
    if (!target.right(4).toLower().endsWith(u".xls"_s))
        target += u".xls"_s;
    const QString templ = templatePath();
    if (templ.isEmpty()) {
        msgNotice(u"模版文件不存在！"_s);
        return false;
    }
    if (QFileInfo::exists(target) && !askYesNo(u"此报表已经存在，是否覆盖？"_s, u"提示 "_s))
        return false;

    QFile in(templ);
    const QByteArray templateBytes = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    const std::optional<QByteArray> book = fillTemplate(templateBytes, report);
    bool written = false;
    if (book) {
        // Written whole or not at all: a half-written file never replaces one.
        QSaveFile out(target);
        written = out.open(QIODevice::WriteOnly) &&
                  out.setPermissions(QFile::ReadOwner | QFile::WriteOwner) &&
                  out.write(*book) == book->size() && out.commit();
        // Read back: the whole workbook, with its title where it belongs.
        QFile back(target);
        written = written && back.open(QIODevice::ReadOnly) && back.size() == book->size() &&
                  std::ranges::any_of(readCells(back.readAll()), [&](const Cell &c) {
                      return c.row == 0 && c.column == 2 && c.text == report.title;
                  });
    }
    if (!written) {
        msgError(u"无法写入文件："_s + QDir::toNativeSeparators(target));
        return false;
    }
    show(target, print);
    if (print) {
        const ReportChart *shown = ReportChart::of(list);
        const QImage chart = shown ? shown->picture() : QImage();
        const QPrinterInfo printerInfo = QPrinterInfo::defaultPrinter();
        QPrinter printer(printerInfo, QPrinter::HighResolution);
        QPrintPreviewDialog preview(&printer, list ? list->window() : nullptr);
        preview.setWindowTitle(title);
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                         [&report, &chart](QPrinter *p) { printSheet(p, report, chart); });
        // Printed from the preview: done. Closed: the sheet then goes to the
        // default printer as it stands. Never twice.
        const bool printedThere = ui::execModal(&preview) == QDialog::Accepted;
        if (!printedThere && !printerInfo.isNull()) {
            QPrinter out(printerInfo, QPrinter::HighResolution);
            out.setDocName(title);
            printSheet(&out, report, chart);
        }
    }
    return true;
}

void installReports(FrmMain &main)
{
    ui::setReportExporter([](QAbstractItemView *list, const QString &title, bool print) {
        ExportReport(list, title, print);
    });
    auto memberList = [&main] { return main.findChild<QTreeWidget *>(u"lvMber"_s); };
    main.setScreen(u"ExportMemberList"_s, [memberList](const QString &) {
        if (QTreeWidget *l = memberList())
            ExportReport(l, u"会员信息"_s, false);
    });
    main.setScreen(u"PrintMemberList"_s, [memberList](const QString &) {
        if (QTreeWidget *l = memberList())
            ExportReport(l, u"会员信息"_s, true);
    });
    // Today's figures open the reports panel, read afresh each time it is shown.
    if (auto *layout = qobject_cast<QBoxLayout *>(main.panelPage(FrmMain::PanelTj)->layout())) {
        auto *today = new TodaySummary(main.panelPage(FrmMain::PanelTj));
        layout->insertWidget(0, today, 1);
        QObject::connect(&main, &FrmMain::panelShown, today, [today](FrmMain::Panel panel) {
            if (panel == FrmMain::PanelTj)
                today->refresh();
        });
    }
    // A member's statement, from the member panel and the member list.
    main.setScreen(u"FrmStatement"_s, [&main](const QString &card) {
        FrmStatement dlg(&main, card);
        if (dlg.loaded())
            ui::execModal(&dlg);
    });
    // The handover, and the way out of the program through it.
    main.setToolAction(u"dcButton7"_s, [&main] {
        FrmChangeOp dlg(&main);
        ui::execModal(&dlg);
    });
    main.setCloseGuard([&main] {
        FrmChangeOp dlg(&main);
        dlg.setExitMode();
        ui::execModal(&dlg);
        return state().isJiaobanOK;
    });
    main.setReportAction(9, [&main] {
        FrmJbgl dlg(&main);
        ui::execModal(&dlg);
    });
    // The report icons, by index.
    auto report = [&main](int index, auto make) {
        main.setReportAction(index, [&main, make] {
            auto dlg = make(&main);
            ui::execModal(dlg.get());
        });
    };
    report(0, [](QWidget *p) { return std::make_unique<FrmMemXf>(p); });
    report(1, [](QWidget *p) { return std::make_unique<FrmGoodsXf>(p); });
    report(2, [](QWidget *p) { return std::make_unique<FrmYyqk>(p); });
    report(3, [](QWidget *p) { return std::make_unique<FrmCzjl>(p); });
    report(4, [](QWidget *p) { return std::make_unique<FrmYuee>(p); });
    report(5, [](QWidget *p) { return std::make_unique<FrmRizhi>(p); });
    report(6, [](QWidget *p) { return std::make_unique<FrmJfcx>(p); });
    report(7, [](QWidget *p) { return std::make_unique<FrmZgjl>(p); });
    report(8, [](QWidget *p) { return std::make_unique<FrmThjl>(p); });
    if (auto *print = main.panelPage(FrmMain::PanelXf)->findChild<QPushButton *>(u"cmdPrintCz"_s)) {
        QObject::connect(print, &QPushButton::clicked, &main, [&main] {
            auto *list = main.panelPage(FrmMain::PanelXf)->findChild<QTreeWidget *>(u"lvCz"_s);
            if (list && !main.NowMberID.isEmpty())
                ExportReport(list, u"卡号："_s + main.NowMberID + u" 充值记录报表"_s, true);
        });
    }
}

} // namespace lanting::reports
