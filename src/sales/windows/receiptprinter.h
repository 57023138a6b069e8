#pragma once

#include <QString>
#include <QStringList>

namespace lanting::sales
{

// Prints a receipt body on the receipt printer of the settings, framed and
// in the configured number of copies (one print job each). Problems are told
// to the cashier; the caller is never interrupted.
void PrintReceipt(const QString &body);
// Prints a slip of the program's own (the handover) on the receipt printer:
// the title centred, the lines under it. False when it could not be printed
// (the reason is told).
bool PrintSlip(const QString &title, const QStringList &lines);

} // namespace lanting::sales
