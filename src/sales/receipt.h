#pragma once

#include <QDateTime>
#include <QString>

namespace lanting::sales
{

// The receipt lines around a body: titles, separators, the date and time,
// footers and three line breaks to tear off. Lines end with CR LF.
struct ReceiptFrame {
    QString bt1, bt2, jz1, jz2;
};

inline constexpr char16_t kSeparator[] = u"----------------------------";
inline const QString kCrLf = QStringLiteral("\r\n");

QString composeReceipt(const QString &body, const ReceiptFrame &frame, const QDateTime &when);

// The frame and number of copies of the settings kept in memory.
ReceiptFrame currentFrame();
int receiptCopies();

} // namespace lanting::sales
