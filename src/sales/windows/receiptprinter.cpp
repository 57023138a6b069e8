#include "receiptprinter.h"

#include "appstate.h"
#include "messages.h"
#include "receipt.h"

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

// The receipt page: 4020 x 11175 twips (1/20 point each).
const QPageSize kReceiptPage(QSizeF(4020 / 20.0, 11175 / 20.0), QPageSize::Point, u"Receipt"_s,
                             QPageSize::ExactMatch);

void printOnce(const QPrinterInfo &info, const QString &text)
{
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setPageSize(kReceiptPage);
    printer.setPageMargins(QMarginsF(4, 4, 4, 4), QPageLayout::Point);
    printer.setFullPage(false);
    printer.setDocName(u"小票"_s);
    QPainter painter;
    if (!painter.begin(&printer))
        return; // a printer that refuses the job: the caller carries on
    const QFontMetrics fm(painter.font(), &printer);
    int y = fm.ascent();
    for (const QString &line : text.split(kCrLf)) {
        painter.drawText(0, y, line);
        y += fm.lineSpacing();
    }
    painter.end();
}

} // namespace

void PrintReceipt(const QString &body)
{
    const AppState &s = state();
    if (s.printer.isEmpty()) {
        msgNotice(u"您还没有设置小票打印机，请先在系统设置中设置小票打印机！"_s);
        return;
    }
    QPrinterInfo chosen;
    for (const QPrinterInfo &info : QPrinterInfo::availablePrinters())
        if (info.printerName() == s.printer) {
            chosen = info;
            break;
        }
    if (chosen.isNull()) {
        msgNotice(u"系统设置选择的打印机不存在，无法打印小票！"_s);
        return;
    }
    const QString text = composeReceipt(body, currentFrame(), QDateTime::currentDateTime());
    for (int i = 0; i < receiptCopies(); ++i)
        printOnce(chosen, text);
}

} // namespace lanting::sales
