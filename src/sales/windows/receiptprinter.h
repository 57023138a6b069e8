#pragma once

#include <QString>

namespace lanting::sales
{

// Prints a receipt body on the receipt printer of the settings, framed and
// in the configured number of copies (one print job each). Problems are told
// to the cashier; the caller is never interrupted.
void PrintReceipt(const QString &body);

} // namespace lanting::sales
