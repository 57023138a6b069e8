#pragma once

// The two-line customer display (a VFD pole display on a serial port, with
// the command set most such displays share): the basket total while a sale
// is open, the amount and the change once paid, the shop's welcome when
// idle. A display that is not there is passed over without a word.

#include <QByteArray>
#include <QString>

namespace lanting::devices
{

// Twenty characters a line.
constexpr int kDisplayColumns = 20;

// The display's bytes for two lines: reset, clear, the first line, the
// cursor to the second line, the second line; GB18030, each line cut or
// padded to the display's width.
QByteArray displayBytes(const QString &top, const QString &bottom);
// A label on the left and an amount on the right of one line.
QString displayLine(const QString &label, const QString &amount);

// Shows the lines on the display of the settings, if there is one. Never
// waits for the device.
void showOnDisplay(const QString &top, const QString &bottom);
// The shop's welcome (the receipt's first title, else "欢迎光临").
void showWelcome();

} // namespace lanting::devices
