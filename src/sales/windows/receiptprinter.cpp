#include "receiptprinter.h"

#include "appstate.h"
#include "escpos.h"
#include "messages.h"
#include "receipt.h"
#include "ui.h"

#include <QFontMetrics>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

using namespace Qt::Literals::StringLiterals;

namespace lanting::sales
{

namespace
{

// The roll is 4020 twips (1/20 point each) wide; a receipt is as long as
// its lines.
constexpr qreal kRollWidth = 4020 / 20.0;
constexpr qreal kMargin = 4;

// Prints the lines, those marked centred across the roll. False when the
// printer refused the job.
bool printOnce(const QPrinterInfo &info, const QStringList &lines, const QList<bool> &centred,
               const QString &name)
{
    QPrinter printer(info, QPrinter::HighResolution);
    // The length follows from the font: measured at the printer's resolution.
    const QFontMetricsF measure(QFont(), &printer);
    const qreal perPoint = printer.resolution() / 72.0;
    const qreal length = lines.size() * measure.lineSpacing() / perPoint + 2 * kMargin + 2;
    printer.setPageSize(QPageSize(QSizeF(kRollWidth, std::max(length, 72.0)), QPageSize::Point,
                                  u"Receipt"_s, QPageSize::ExactMatch));
    printer.setPageMargins(QMarginsF(kMargin, kMargin, kMargin, kMargin), QPageLayout::Point);
    printer.setFullPage(false);
    printer.setDocName(name);
    QPainter painter;
    if (!painter.begin(&printer))
        return false; // a printer that refuses the job: the caller carries on
    const QFontMetrics fm(painter.font(), &printer);
    const int width = painter.viewport().width();
    int y = fm.ascent();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int x =
            centred.value(i) ? std::max(0, (width - fm.horizontalAdvance(lines[i])) / 2) : 0;
        painter.drawText(x, y, lines[i]);
        y += fm.lineSpacing();
    }
    return painter.end();
}

// The receipt printer of the settings; null, with the reason told, when
// there is none.
QPrinterInfo receiptPrinter()
{
    const AppState &s = state();
    if (s.printer.isEmpty()) {
        msgNotice(u"您还没有设置小票打印机，请先在系统设置中设置小票打印机！"_s);
        return {};
    }
    for (const QPrinterInfo &info : QPrinterInfo::availablePrinters())
        if (info.printerName() == s.printer)
            return info;
    msgNotice(u"系统设置选择的打印机不存在，无法打印小票！"_s);
    return {};
}

} // namespace

namespace
{

// On the ESC/POS printer of the settings, off the user interface's thread;
// a printer that is off or out of paper is told in the status bar.
void sendToEscpos(const QStringList &lines, const QList<bool> &centred, int copies)
{
    const devices::EscposTarget target = devices::receiptEscpos();
    if (target.kind == devices::EscposTarget::None) {
        msgNotice(u"您还没有设置ESC/POS小票打印机的地址，请先在系统设置中设置！"_s);
        return;
    }
    const QByteArray document = devices::escposDocument(lines, centred, devices::receiptColumns());
    QByteArray all;
    for (int i = 0; i < copies; ++i)
        all += document;
    if (all.isEmpty())
        return;
    devices::sendEscposLater(target, all,
                             [](const QString &why) { ui::tell(u"小票没有打印："_s + why); });
}

} // namespace

void PrintReceipt(const QString &body)
{
    const ReceiptFrame frame = currentFrame();
    const QStringList lines =
        composeReceipt(body, frame, QDateTime::currentDateTime()).split(kCrLf);
    // The shop's titles above the first rule and the closing lines after the
    // time are centred; the body keeps its columns.
    const QString rule = QString::fromUtf16(kSeparator);
    const qsizetype first = lines.indexOf(rule), last = lines.lastIndexOf(rule);
    QList<bool> centred(lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        centred[i] = i < first || (last >= 0 && i > last + 1);
    if (state().escposPrinter) {
        sendToEscpos(lines, centred, receiptCopies());
        return;
    }
    const QPrinterInfo chosen = receiptPrinter();
    if (chosen.isNull())
        return;
    for (int i = 0; i < receiptCopies(); ++i)
        printOnce(chosen, lines, centred, u"小票"_s);
}

bool PrintSlip(const QString &title, const QStringList &lines)
{
    QList<bool> centred(lines.size() + 1);
    centred[0] = true;
    // A few blank lines to tear it off by.
    const QStringList all = QStringList{title} + lines + QStringList{{}, {}, {}};
    if (state().escposPrinter) {
        sendToEscpos(QStringList{title} + lines, centred, 1);
        return true;
    }
    const QPrinterInfo chosen = receiptPrinter();
    if (chosen.isNull())
        return false;
    return printOnce(chosen, all, centred, title);
}

} // namespace lanting::sales
