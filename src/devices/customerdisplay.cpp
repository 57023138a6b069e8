#include "customerdisplay.h"

#include "appstate.h"
#include "cashdrawer.h"
#include "escpos.h"

#include <QFile>
#include <QStringEncoder>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace lanting::devices
{

namespace
{

// The text cut or padded to exactly the display's width.
QString fitted(const QString &text)
{
    const QString first = wrapToWidth(text, kDisplayColumns).constFirst();
    return first + QString(kDisplayColumns - printWidth(first), u' ');
}

} // namespace

QString displayLine(const QString &label, const QString &amount)
{
    const int room = kDisplayColumns - printWidth(label) - printWidth(amount);
    return label + QString(std::max(1, room), u' ') + amount;
}

QByteArray displayBytes(const QString &top, const QString &bottom)
{
    QStringEncoder gb18030("GB18030");
    QByteArray out("\x1B\x40\x0C", 3); // reset, clear
    out += QByteArray(gb18030.encode(fitted(top)));
    out += QByteArray("\x1F\x24\x01\x02", 4); // cursor to column 1 of line 2
    out += QByteArray(gb18030.encode(fitted(bottom)));
    return out;
}

void showOnDisplay(const QString &top, const QString &bottom)
{
    QString device = state().displayPort.trimmed();
    if (device.isEmpty())
        return;
    if (!device.startsWith(u'/'))
        device = drawerDevice(device); // "COM3" as for the drawer
    if (device.isEmpty())
        return;
    const int fd = ::open(QFile::encodeName(device).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return; // no display: nothing to tell
    termios t{};
    if (::tcgetattr(fd, &t) == 0) { // 9600 baud, 8 bits, as pole displays come
        ::cfmakeraw(&t);
        ::cfsetospeed(&t, B9600);
        ::cfsetispeed(&t, B9600);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    const QByteArray bytes = displayBytes(top, bottom);
    [[maybe_unused]] const ssize_t written = ::write(fd, bytes.constData(), size_t(bytes.size()));
    ::close(fd);
}

void showWelcome()
{
    const QString title = state().bt1.trimmed();
    showOnDisplay(title.isEmpty() ? u"欢迎光临"_s : title, QString());
}

} // namespace lanting::devices
