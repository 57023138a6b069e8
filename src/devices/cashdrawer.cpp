#include "cashdrawer.h"

#include "escpos.h"

#include "appstate.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace lanting::devices
{

namespace
{
std::function<void(const QString &)> g_problems;
}

void setProblemSink(std::function<void(const QString &)> sink)
{
    g_problems = std::move(sink);
}

void tellProblem(const QString &what)
{
    if (g_problems)
        g_problems(what);
}

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
    // A drawer wired to the ESC/POS receipt printer gets the pulse through it.
    if (state().drawerPort == kDrawerOnPrinter) {
        const EscposTarget target = receiptEscpos();
        if (target.kind == EscposTarget::None)
            return false;
        sendEscposLater(target, drawerCommand(),
                        [](const QString &why) { tellProblem(u"钱箱没有打开："_s + why); });
        return true;
    }
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
