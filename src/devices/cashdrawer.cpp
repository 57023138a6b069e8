#include "cashdrawer.h"

#include "appstate.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace lanting::devices
{

QByteArray drawerCommand()
{
    return QByteArray::fromRawData("\x1b\x70\x20\x00\x3c\xff", 6);
}

QString drawerDevice(const QString &port)
{
    static const QRegularExpression com(u"^COM([1-7])$"_s);
    const QRegularExpressionMatch m = com.match(port.trimmed().toUpper());
    if (!m.hasMatch())
        return {};
    const QString name = u"COM"_s + m.captured(1);
    const QString ini = state().programFolder + u"/lanting.ini"_s;
    if (QFileInfo::exists(ini)) {
        const QString configured =
            QSettings(ini, QSettings::IniFormat).value(u"drawer/"_s + name).toString();
        if (!configured.isEmpty())
            return configured;
    }
    return u"/dev/ttyS%1"_s.arg(m.captured(1).toInt() - 1);
}

bool OpenQx()
{
    const QString device = drawerDevice(state().drawerPort);
    if (device.isEmpty())
        return false;
    // Not blocking on the modem lines of a port with nothing attached.
    const int fd = ::open(QFile::encodeName(device).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    const QByteArray command = drawerCommand();
    const bool written = ::write(fd, command.constData(), size_t(command.size())) == command.size();
    ::close(fd);
    return written;
}

} // namespace lanting::devices
