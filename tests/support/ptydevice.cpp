#include "ptydevice.h"

#include <QSettings>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace lanting::test
{

Pty::Pty()
{
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    termios t{};
    tcgetattr(m_slave, &t);
    cfmakeraw(&t);
    tcsetattr(m_slave, TCSANOW, &t);
    m_slavePath = QString::fromLocal8Bit(name);
}

Pty::~Pty()
{
    close();
}

void Pty::write(const QByteArray &bytes)
{
    if (m_master >= 0)
        (void)::write(m_master, bytes.constData(), size_t(bytes.size()));
}

QByteArray Pty::read(int timeoutMs)
{
    QByteArray out;
    if (m_master < 0)
        return out;
    pollfd p{m_master, POLLIN, 0};
    while (::poll(&p, 1, out.isEmpty() ? timeoutMs : 50) > 0 && (p.revents & POLLIN)) {
        char buf[256];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, n);
    }
    return out;
}

void Pty::close()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_master = m_slave = -1;
}

void configureReaderPort(const QString &programFolder, int portNo, const QString &device)
{
    QSettings ini(programFolder + u"/lanting.ini"_s, QSettings::IniFormat);
    ini.setValue(u"reader/port%1"_s.arg(portNo), device);
}

void configureDrawerPort(const QString &programFolder, const QString &port, const QString &device)
{
    QSettings ini(programFolder + u"/lanting.ini"_s, QSettings::IniFormat);
    ini.setValue(u"drawer/"_s + port, device);
}

} // namespace lanting::test
