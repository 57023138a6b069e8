#include "serialcardreader.h"

#include "appstate.h"

#include <QFileInfo>
#include <QSettings>

using namespace Qt::Literals::StringLiterals;

namespace lanting::devices
{

namespace
{
// A line longer than this without an end is noise, not a card.
constexpr qsizetype kMaxLine = 1024;
} // namespace

SerialCardReader::SerialCardReader(QObject *parent) : CardReader(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialCardReader::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialCardReader::onError);
}

SerialCardReader::~SerialCardReader()
{
    CloseReader();
}

QString SerialCardReader::devicePath(int portNo)
{
    const QString ini = state().programFolder + u"/lanting.ini"_s;
    if (QFileInfo::exists(ini)) {
        const QString configured =
            QSettings(ini, QSettings::IniFormat).value(u"reader/port%1"_s.arg(portNo)).toString();
        if (!configured.isEmpty())
            return configured;
    }
    return portNo >= 1 ? u"/dev/ttyS%1"_s.arg(portNo - 1) : QString();
}

bool SerialCardReader::OpenReader()
{
    CloseReader();
    const QString path = devicePath(m_portNo);
    if (path.isEmpty())
        return false;
    m_port.setPortName(path);
    if (!m_port.open(QIODevice::ReadWrite))
        return false;
    m_port.setBaudRate(m_baud > 0 ? m_baud : 9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    forgetLine();
    return true;
}

void SerialCardReader::CloseReader()
{
    if (m_port.isOpen())
        m_port.close();
    forgetLine();
}

void SerialCardReader::forgetLine()
{
    m_partial.clear();
    m_afterCr = false;
    m_overflow = false;
}

void SerialCardReader::Beep(int)
{
    if (m_port.isOpen()) {
        m_port.write("\a", 1);
        m_port.flush(); // now, not when the event loop next runs
    }
}

void SerialCardReader::onReadyRead()
{
    const QByteArray bytes = m_port.readAll();
    for (char c : bytes) {
        if (c == '\n' && m_afterCr) { // the LF of a CR LF
            m_afterCr = false;
            continue;
        }
        m_afterCr = c == '\r';
        if (c == '\r' || c == '\n') {
            // The end of a line too long to be a card was told already.
            if (!m_overflow)
                takeLine(m_partial);
            m_overflow = false;
            m_partial.clear();
        } else if (m_overflow) {
            continue; // the rest of that line is noise as well
        } else if (m_partial.size() < kMaxLine) {
            m_partial.append(c);
        } else {
            hold(0, QString());
            m_partial.clear();
            m_overflow = true;
        }
    }
    deliver();
}

void SerialCardReader::takeLine(const QByteArray &line)
{
    QString text = QString::fromUtf8(line);
    text.removeIf([](QChar ch) { return ch.category() == QChar::Other_Control; });
    text = text.trimmed();
    hold(text.isEmpty() ? 0 : -1, text);
}

void SerialCardReader::onError(QSerialPort::SerialPortError error)
{
    // The reader went away (unplugged, or its line hung up). A hung-up line
    // reports a read error on every poll, so a read error ends the connection
    // as well; the cashier can connect again.
    if ((error == QSerialPort::ResourceError || error == QSerialPort::ReadError) &&
        m_port.isOpen()) {
        m_port.close();
        forgetLine();
        Q_EMIT Disconnected();
    }
}

} // namespace lanting::devices
