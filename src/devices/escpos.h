#pragma once

// ESC/POS thermal receipt printers (58 or 80 mm rolls), reached as a device
// file (/dev/usb/lp0), a network address (port 9100) or a CUPS queue used
// raw. Receipts go as GB18030 text with the printer's own commands; the
// cash drawer wired to the printer opens with the same pulse as a drawer
// on a port of its own.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace lanting::devices
{

struct EscposTarget {
    enum Kind { None, Tcp, File, Queue };
    Kind kind = None;
    QString host; // Tcp
    quint16 port = 9100;
    QString path; // File: the device; Queue: the CUPS queue's name
};

// "192.168.1.50", "192.168.1.50:9100" or "tcp://host:port" reach a network
// printer; a path ("/dev/usb/lp0") a device file; "cups:Name" (or any other
// name) a CUPS queue used raw. Empty: none.
EscposTarget escposTarget(const QString &address);

// Columns a text takes on the printer: a wide (Chinese) character two.
int printWidth(const QString &text);
// The text cut into pieces of at most `columns`, never inside a character.
QStringList wrapToWidth(const QString &text, int columns);
// Characters per line: 32 on 58 mm paper, 48 on 80 mm.
int paperColumns(int paperMillimetres);

// The printer's bytes for the lines: reset, GB18030 text wrapped at
// `columns`, the lines marked centred centred, a feed and a cut.
QByteArray escposDocument(const QStringList &lines, const QList<bool> &centred, int columns);

// Sends the bytes, giving up after `timeoutMs`; empty when sent, else why.
// Blocks for at most the time-out: call it off the user interface's thread.
QString sendEscpos(const EscposTarget &target, const QByteArray &bytes, int timeoutMs = 2000);

// Sends the bytes on a worker thread, so that a printer that is off never
// holds up the till; `failed` runs on this thread with the reason when the
// send failed.
void sendEscposLater(const EscposTarget &target, const QByteArray &bytes,
                     std::function<void(const QString &why)> failed);

// The printer of the settings (ESC/POS address, paper width), for receipts
// and the drawer wired to it.
EscposTarget receiptEscpos();
int receiptColumns();

} // namespace lanting::devices
