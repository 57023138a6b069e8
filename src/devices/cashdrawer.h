#pragma once

// The cash drawer: six bytes written to the drawer port of the settings.

#include <QByteArray>
#include <QString>
#include <functional>

namespace lanting::devices
{

// The drawer port that means "through the ESC/POS receipt printer".
inline constexpr char16_t kDrawerOnPrinter[] = u"打印机";

// A device that failed on its own time (a printer off, a drawer that did
// not open) is told where the main window shows it.
void setProblemSink(std::function<void(const QString &)> sink);
void tellProblem(const QString &what);

// ESC p, a blank, 0, 60, 255: the pulse that opens the drawer.
QByteArray drawerCommand();

// The device of a drawer port "COM1" to "COM7": the one named for it in
// lanting.ini ([drawer] COM1=...), else the matching serial port
// (/dev/ttyS0 for COM1). Empty for any other text.
QString drawerDevice(const QString &port);

// Opens the drawer on the port of the settings. False when the command
// could not be written. Never waits for the device.
bool OpenQx();

} // namespace lanting::devices
