#include "receipt.h"

#include "amounts.h"
#include "appstate.h"

namespace lanting::sales
{

QString composeReceipt(const QString &body, const ReceiptFrame &f, const QDateTime &when)
{
    const QString separator = QString::fromUtf16(kSeparator);
    QString t = separator + kCrLf + body + separator + kCrLf;
    if (!f.bt2.isEmpty())
        t = f.bt2 + kCrLf + t;
    if (!f.bt1.isEmpty())
        t = f.bt1 + kCrLf + t;
    t += FmtTime(when) + kCrLf;
    if (!f.jz1.isEmpty())
        t += f.jz1;
    if (!f.jz2.isEmpty())
        t += kCrLf + f.jz2;
    return t + kCrLf + kCrLf + kCrLf;
}

ReceiptFrame currentFrame()
{
    const AppState &s = state();
    return {s.bt1, s.bt2, s.jz1, s.jz2};
}

int receiptCopies()
{
    return state().copies;
}

} // namespace lanting::sales
